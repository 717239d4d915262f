#include "platform/CodePage.h"

#include <cstdint>

namespace grid {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void appendCodePoint(std::u16string& out, uint32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out.push_back(char16_t(0xD800 + (c >> 10)));
        out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(char16_t(c));
    }
}

// One UTF-8 sequence at p (with n bytes left): its code point and length, or length of the
// malformed part that becomes one U+FFFD (at least 1).
uint32_t decodeUtf8(const unsigned char* p, size_t n, size_t& used) {
    unsigned char b = p[0];
    used = 1;
    if (b < 0x80) return b;
    size_t need;
    uint32_t c;
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1, c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2, c = b & 0x0F;
        if (b == 0xE0) low = 0xA0;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3, c = b & 0x07;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return kReplacement;
    }
    for (size_t i = 1; i <= need; ++i) {
        if (i >= n) return kReplacement;
        unsigned char t = p[i];
        if (t < low || t > high) return kReplacement;
        low = 0x80, high = 0xBF;
        c = (c << 6) | (t & 0x3F);
        used = i + 1;
    }
    // Surrogate code points are not characters; the sequence counts as malformed.
    if (c >= 0xD800 && c <= 0xDFFF) return kReplacement;
    return c;
}

// Code point of the UTF-16 unit(s) at p, or U+FFFD for a lone surrogate.
uint32_t decodeUtf16(const char16_t* p, size_t n, size_t& used) {
    used = 1;
    char16_t u = p[0];
    if (u >= 0xD800 && u <= 0xDBFF && n > 1 && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
        used = 2;
        return 0x10000 + ((uint32_t(u) - 0xD800) << 10) + (p[1] - 0xDC00);
    }
    if (u >= 0xD800 && u <= 0xDFFF) return kReplacement;
    return u;
}

size_t encodeUtf8(uint32_t c, char (&out)[4]) {
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6)), out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12)), out[1] = char(0x80 | ((c >> 6) & 0x3F)), out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (c >> 18)), out[1] = char(0x80 | ((c >> 12) & 0x3F));
    out[2] = char(0x80 | ((c >> 6) & 0x3F)), out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

struct Utf8CodePage final : CodePage {
    std::u16string toUtf16(const char* bytes, size_t length) const override {
        std::u16string out;
        out.reserve(length);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes);
        for (size_t i = 0; i < length;) {
            size_t used;
            appendCodePoint(out, decodeUtf8(p + i, length - i, used));
            i += used;
        }
        return out;
    }
    bool fromUtf16(const char16_t* text, size_t length, size_t maxBytes, std::string& bytes) const override {
        size_t written = 0;
        for (size_t i = 0; i < length;) {
            size_t used;
            char sequence[4];
            size_t n = encodeUtf8(decodeUtf16(text + i, length - i, used), sequence);
            if (written + n > maxBytes) return false;
            bytes.append(sequence, n);
            written += n;
            i += used;
        }
        return true;
    }
};

}  // namespace

const CodePage& utf8CodePage() {
    static const Utf8CodePage page;
    return page;
}

size_t utf16ToUtf8(const char16_t* text, size_t length, char* out) {
    size_t bytes = 0;
    for (size_t i = 0; i < length;) {
        size_t used;
        char sequence[4];
        const size_t n = encodeUtf8(decodeUtf16(text + i, length - i, used), sequence);
        if (out)
            for (size_t k = 0; k < n; ++k) out[bytes + k] = sequence[k];
        bytes += n;
        i += used;
    }
    return bytes;
}

std::string utf16ToUtf8(const char16_t* text, size_t length) {
    // Measured first, so that a long text is converted into storage of its size at once instead of
    // through the copies of a growing string.
    std::string out(utf16ToUtf8(text, length, nullptr), '\0');
    utf16ToUtf8(text, length, out.data());
    return out;
}

std::string utf16ToUtf8(const char16_t* text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return utf16ToUtf8(text, n);
}

std::u16string utf8ToUtf16(const char* text, size_t length) { return utf8CodePage().toUtf16(text, length); }

}  // namespace grid
