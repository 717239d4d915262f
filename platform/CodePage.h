#pragma once
// 8-bit text of a code page to UTF-16 and back, giving what MultiByteToWideChar and
// WideCharToMultiByte give without flags: bytes and characters that have no counterpart become the
// code page's default character instead of failing the conversion.
#include <cstddef>
#include <string>

namespace grid {

struct CodePage {
    virtual ~CodePage() = default;
    virtual std::u16string toUtf16(const char* bytes, size_t length) const = 0;
    // Appends whole characters only and at most maxBytes bytes; returns false when not all fit.
    virtual bool fromUtf16(const char16_t* text, size_t length, size_t maxBytes, std::string& bytes) const = 0;
};

// UTF-8; malformed sequences become U+FFFD, characters outside UTF-16's range likewise.
const CodePage& utf8CodePage();
// Code page 932 (Shift-JIS as Windows defines it), with Windows' best-fit mappings.
const CodePage& codePage932();
// The code page of 8-bit text in files and on the clipboard: the ANSI code page on Windows,
// UTF-8 elsewhere.
const CodePage& systemCodePage();

// UTF-16 to UTF-8 and back for paths and messages; lone surrogates become U+FFFD.
std::string utf16ToUtf8(const char16_t* text, size_t length);
std::string utf16ToUtf8(const char16_t* text);  // up to its NUL
// The same into storage of the caller's: the bytes the text takes in UTF-8, written to `out` unless
// it is nullptr (measured first, then converted into room of that size).
size_t utf16ToUtf8(const char16_t* text, size_t length, char* out);

// The text copied into buffer, cut to size - 1 characters and terminated; returns what was copied.
template <class Ch>
size_t copyCut(const std::basic_string<Ch>& text, Ch* buffer, size_t size) {
    if (size == 0) return 0;
    size_t n = text.size() < size ? text.size() : size - 1;
    text.copy(buffer, n);
    buffer[n] = 0;
    return n;
}
std::u16string utf8ToUtf16(const char* text, size_t length);

}  // namespace grid
