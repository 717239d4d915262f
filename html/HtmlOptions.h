#pragma once
// Gridweave's options: the keys of the section Param, read once at start-up in this order, each
// into its own array of 101 characters. Flags (_yn) are on only for exactly "ON".
#include "core/Settings.h"

namespace grid {

void readHtmlOptions(const char16_t* path, Settings<char16_t>& settings);

// The style and the flags as the writers use them, read once per table.
struct HtmlFlags {
    bool html5, lineWidth, lineColour, background, fontColour, fontSize, bold, underline, italic, strike, alignH,
        alignV;
};
HtmlFlags currentHtmlFlags();

}  // namespace grid
