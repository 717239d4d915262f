#pragma once
// The rewrites of cell text that Gridquill's settings define (code_chenge_m/o/r 1 to 5).
#include "core/Status.h"
#include "core/TextBuffer.h"

namespace grid {

// Rewrites the text into `rewritten` with the substitution entries in use (parsed beforehand):
// each character where an entry's pattern begins gets that entry's replacement instead of the
// character, and an "all" entry whose pattern occurs wraps the whole result in its replacement.
// A character that escape_chars lists and no entry replaces is written through escape_code
// (parsed beforehand), formatted with its byte. The scan moves one character at a time (one byte
// but under a double-byte code page, wiki/WholeCharacters.h) and looks at the source text only.
// 0; 101 after message 13.
[[nodiscard]] StatusCode RewriteCellText(TextBuffer<char>& rewritten, const char* text);

}  // namespace grid
