#pragma once
// The cells read from the copy itself, without an office (Param direct_capture_yn=ON): when Calc
// copied them, the clipboard holds the package of the copied cells and the link that names their
// range, and the grid is filled from these as the office would fill it; when Excel, a sheet in a
// browser or a web page copied them, from the one table of the HTML on the clipboard.
#include <cstddef>
#include <cstdint>

#include "core/Status.h"

namespace grid {

// The clipboard formats Calc offers with a copy, by the names it registers them under.
#define CALC_PACKAGE_FORMAT "Star Embed Source (XML)"
#define CALC_LINK_FORMAT "Link"
// Windows' format of HTML on the clipboard (text/html elsewhere).
#define HTML_FORMAT "HTML Format"
// The largest package taken from the clipboard.
inline constexpr size_t kLargestPackage = size_t(64) << 20;

// `filled` tells whether this way took the cells: Calc's formats first, else the HTML. When the
// formats are not there or their content is not understood, nothing is shown, released or changed and `filled` is false: the caller
// goes on with the office. Once taken, the grid is filled with the outcomes of the office's way:
// 0, 101 or 120 for a text (message shown), 102 for a cancel seen before or between rows.
template <class Ch> [[nodiscard]] StatusCode captureFromClipboard(bool& filled);
// The same from the formats' bytes.
template <class Ch>
[[nodiscard]] StatusCode captureFromPackage(const uint8_t* package, size_t packageSize, const uint8_t* link,
                                            size_t linkSize, bool& filled);
// The same from the bytes of the clipboard's HTML.
template <class Ch> [[nodiscard]] StatusCode captureFromHtml(const uint8_t* html, size_t size, bool& filled);

}  // namespace grid
