#pragma once
// Gridweave's own parts of the shared run: its options and its HTML table writer.
#include "core/Program.h"
#include "html/HtmlOptions.h"
#include "html/HtmlWriter.h"

namespace grid {

inline constexpr ProgramParts<char16_t> kGridweaveParts{readHtmlOptions, WriteHtmlTable};

}  // namespace grid
