#pragma once
// The table a spreadsheet or a web page puts on the clipboard as HTML, read without an office: the
// cells as a browser draws them (texts, merged areas, colours, fonts, alignment and lines from the
// style sheet, the inline styles and the presentational attributes), in the form of Calc's cell
// properties, so that the grid is filled from them as from Calc's own copy.
#include <cstddef>
#include <cstdint>

#include "capture/CalcPackage.h"

namespace grid {

// The largest HTML taken from the clipboard.
inline constexpr size_t kLargestHtml = size_t(64) << 20;

// The cells of the one table the HTML holds: Windows' "HTML Format" (its header, UTF-8), or the
// HTML itself in UTF-8 or UTF-16 with a byte-order mark. No table, several tables, a table in a
// table, text beside the table or anything else not understood gives notUnderstood, unreported.
PackageResult readHtmlTable(const uint8_t* bytes, size_t size, PackageCells& cells);

}  // namespace grid
