#pragma once
// Where the characters of Gridquill's 8-bit text begin. Under a double-byte code page (932 on
// Japanese Windows) a lead byte and the byte after it are one character, and the second byte may
// equal an ASCII character such as "|"; the control character and every pattern must match whole
// characters only. UTF-8 and single-byte code pages have no lead bytes, and there every byte
// starts a character, as before.
#include <cstddef>

namespace grid {

// Asks the platform once which bytes lead a double-byte character under the character-type
// locale (the one the cell texts were converted with). Until then no byte leads one.
void loadLeadBytes();
// Forgets them again (every byte starts a character).
void clearLeadBytes();

namespace leadbytes {
// Filled by loadLeadBytes; read for every byte of every cell text, so looked up inline.
inline bool isLead[256];
inline bool any = false;
}  // namespace leadbytes

// True when some byte leads a double-byte character.
inline bool hasLeadBytes() { return leadbytes::any; }

// The length of the character at `at`: 2 for a lead byte followed by a byte other than NUL, else 1.
inline size_t characterLength(const char* at) {
    return leadbytes::isLead[static_cast<unsigned char>(at[0])] && at[1] != 0 ? 2 : 1;
}

// True when the text at `at` ends where a character ends after `length` bytes.
bool endsOnCharacter(const char* at, size_t length);

// True when `pattern` (its length given) occurs at `at` and ends where a character of the text ends.
inline bool matchesWholeCharacters(const char* at, const char* pattern, size_t patternLength) {
    for (size_t i = 0; i < patternLength; ++i)
        if (at[i] != pattern[i]) return false;
    return !leadbytes::any || endsOnCharacter(at, patternLength);
}

}  // namespace grid
