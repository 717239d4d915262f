#include <windows.h>

#include <climits>
#include <vector>

#include "platform/CodePage.h"

#include "platform/Ports.h"

namespace grid {

bool utf8ToCodePage932(const std::string& utf8, std::string& cp932) {
    cp932.clear();
    if (utf8.empty()) return true;
    int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (wideLength <= 0) return false;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wideLength) != wideLength)
        return false;
    BOOL lossy = FALSE;
    int length = WideCharToMultiByte(932, 0, wide.data(), wideLength, nullptr, 0, nullptr, &lossy);
    if (length <= 0) return false;
    cp932.resize(static_cast<size_t>(length));
    if (WideCharToMultiByte(932, 0, wide.data(), wideLength, cp932.data(), length, nullptr, &lossy) != length) return false;
    return !lossy;
}

}  // namespace grid

namespace grid {
namespace {

// A code page as Windows itself converts it.
class WindowsCodePage final : public CodePage {
public:
    explicit WindowsCodePage(UINT codePage) : codePage_(codePage) {}
    std::u16string toUtf16(const char* bytes, size_t length) const override {
        std::u16string out;
        if (length == 0 || length > INT_MAX) return out;
        int n = MultiByteToWideChar(codePage_, 0, bytes, static_cast<int>(length), nullptr, 0);
        if (n <= 0) return out;
        out.resize(static_cast<size_t>(n));
        n = MultiByteToWideChar(codePage_, 0, bytes, static_cast<int>(length), reinterpret_cast<wchar_t*>(out.data()), n);
        out.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return out;
    }
    bool fromUtf16(const char16_t* text, size_t length, size_t maxBytes, std::string& bytes) const override {
        size_t written = 0;
        for (size_t i = 0; i < length; ++i) {
            char sequence[8];
            int n = WideCharToMultiByte(codePage_, 0, reinterpret_cast<const wchar_t*>(text + i), 1, sequence,
                                        sizeof sequence, nullptr, nullptr);
            if (n <= 0) sequence[0] = '?', n = 1;
            if (written + static_cast<size_t>(n) > maxBytes) return false;
            bytes.append(sequence, static_cast<size_t>(n));
            written += static_cast<size_t>(n);
        }
        return true;
    }

private:
    UINT codePage_;
};

}  // namespace

const CodePage& codePage932() {
    static const WindowsCodePage page(932);
    return page;
}

const CodePage& systemCodePage() {
    static const WindowsCodePage page(CP_ACP);
    return page;
}

}  // namespace grid
