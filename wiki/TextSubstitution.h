#pragma once
// The rewrites of cell text that Gridquill's settings define (code_chenge_m/o/r 1 to 5).
#include "core/Status.h"
#include "core/TextBuffer.h"

namespace grid {

// Rewrites the text into `rewritten` with the substitution entries in use (parsed beforehand):
// each byte position where an entry's pattern begins gets that entry's replacement instead of its
// byte, and an "all" entry whose pattern occurs wraps the whole result in its replacement. The
// scan moves one byte at a time and looks at the source text only. 0; 101 after message 13.
[[nodiscard]] StatusCode RewriteCellText(TextBuffer<char>& rewritten, const char* text);

}  // namespace grid
