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
// True when some byte leads a double-byte character.
bool hasLeadBytes();

// The length of the character at `at`: 2 for a lead byte followed by a byte other than NUL, else 1.
size_t characterLength(const char* at);
// True when `pattern` (not empty) occurs at `at` and ends where a character of the text ends.
bool matchesWholeCharacters(const char* at, const char* pattern, size_t patternLength);

}  // namespace grid
