#pragma once
// Gridquill's own parts of the shared run: its templates and rewrites, and its wiki table writer.
#include "core/Program.h"
#include "wiki/WikiSettings.h"
#include "wiki/WikiWriter.h"

namespace grid {

inline constexpr ProgramParts<char> kGridquillParts{readWikiSettings, WriteWikiTable};

}  // namespace grid
