#pragma once
// Gridweave's writer: the whole grid as one HTML table, UTF-16 with CR LF line ends, into the
// run's output buffer. HTML5 mode puts borders, backgrounds and underlining into style classes
// and a style element after the table; legacy mode writes them as attributes and U elements.
#include "core/Status.h"

namespace grid {

// 0 when the output buffer holds the complete markup; 101 when memory ran out.
[[nodiscard]] StatusCode WriteHtmlTable();

}  // namespace grid
