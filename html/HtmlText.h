#pragma once
// Gridweave's HTML vocabulary: the escaping of cell text and the CSS property texts.
#include "core/Status.h"
#include "core/TextBuffer.h"

namespace grid {

struct HtmlEntity {
    char16_t pattern[101];
    char16_t replacement[101];
};

// Searched in this order; every pattern is one character.
extern const HtmlEntity htmlEntityTable[6];
// The paragraph class properties, by slot: colour, size, bold, italic, underline, line-through.
extern const char16_t cssPropertyTable[6][50];

// Replaces the destination's content with the text made HTML: line feed to "<BR>", space to
// "&nbsp;", and the entities of '"', '&', '<' and '>'. The destination grows as needed; 101 after
// message 13 when it cannot, with the destination empty.
[[nodiscard]] StatusCode EscapeHtmlText(TextBuffer<char16_t>& destination, const char16_t* text);

}  // namespace grid
