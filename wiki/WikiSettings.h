#pragma once
// Gridquill's vocabulary: the control character, the eighteen templates and the five text rewrites
// of the section Param, read once at start-up in this order.
#include "core/Settings.h"

namespace grid {

void readWikiSettings(const char* path, Settings<char>& settings);

}  // namespace grid
