#pragma once
// Gridquill's vocabulary: the control character, the eighteen templates and the five text rewrites
// of the section Param, read once at start-up in this order; then the keys of the table's
// structure (lines of their own, row frames, the header row, the rule line, spans, covered cells,
// line breaks) and the escapes, all empty unless the file sets them.
#include "core/Settings.h"

namespace grid {

void readWikiSettings(const char* path, Settings<char>& settings);

}  // namespace grid
