#pragma once
// A reader of Windows initialisation files that gives the values GetPrivateProfileStringW/A and
// GetPrivateProfileIntW/A give for the same file, for the builds that have no such functions.
//
// How Windows reads such a file:
// - Lines end at any run of CR and LF characters; a missing final line end is no matter.
// - Blanks (ASCII blanks and the DOS end-of-file mark) around a line are dropped. A line that
//   starts with "[" and holds a "]" names a section: the text between the "[" and the last "]",
//   without surrounding blanks. Any other line is a key: the name
//   before the first "=" (trailing blanks dropped) and the value after it (leading blanks dropped).
//   A line without "=" is a key without a value, which gives the default when asked for.
//   Comment lines need no rule of their own: ";Time=ON" is merely a key named ";Time".
// - Names compare without case. Only the first section of a name is searched, and in it only the
//   first key of a name.
// - A value that starts and ends with the same quote (' or ") loses the pair.
// - A file with the UTF-16 or UTF-8 byte-order mark is read in that encoding (an odd last byte of
//   UTF-16 as a unit of its own), any other file as 8-bit text of the ANSI code page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/CodePage.h"

namespace grid {

class ProfileFile {
public:
    // Reads the bytes of a whole file. Never fails: bytes that mean nothing in the encoding become
    // the encoding's replacement character, as Windows decodes them.
    ProfileFile(const char* bytes, size_t length, const CodePage& ansiCodePage);

    // The value of section/key, or nullptr when the section or key is missing or the key has
    // no "=". The text ends at its first NUL.
    const char16_t* find(const char16_t* section, const char16_t* key) const;

private:
    struct Key {
        std::u16string name;
        bool hasValue;
        std::u16string value;
    };
    struct Section {
        std::u16string name;
        std::vector<Key> keys;
    };
    std::vector<Section> sections_;
};

// GetPrivateProfileStringW: copies the value (or the default) into buffer, cut to size - 1
// characters, and returns the number of characters copied. `file` nullptr is a missing file.
size_t profileString(const ProfileFile* file, const char16_t* section, const char16_t* key,
                     const char16_t* defaultValue, char16_t* buffer, size_t size);

// GetPrivateProfileStringA: the names and the default are text of the ANSI code page; the value is
// converted to it and cut to whole characters within size - 1 bytes.
size_t profileString(const ProfileFile* file, const char* section, const char* key, const char* defaultValue,
                     char* buffer, size_t size, const CodePage& ansiCodePage);

// GetPrivateProfileIntW/A: the default when the value is missing or empty, else the number at the
// start of its first 29 characters (blanks, a sign, "0x", "0o" or "0b", digits), in 32 bits.
uint32_t profileInt(const ProfileFile* file, const char16_t* section, const char16_t* key, int32_t defaultValue);
uint32_t profileInt(const ProfileFile* file, const char* section, const char* key, int32_t defaultValue,
                    const CodePage& ansiCodePage);

}  // namespace grid
