#include <windows.h>

#include <vector>

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
