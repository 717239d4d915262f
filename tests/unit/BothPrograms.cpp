// The unit tests hold both programs in one binary: each program's own parts are installed before
// any test runs, as each program's entry installs its own.
#include "html/HtmlProgram.h"
#include "wiki/WikiProgram.h"

namespace {

const bool bothProgramsInstalled = [] {
    grid::setProgramParts(grid::kGridweaveParts);
    grid::setProgramParts(grid::kGridquillParts);
    return true;
}();

}  // namespace
