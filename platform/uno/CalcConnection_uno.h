#pragma once
// LibreOffice Calc as the automation server "com.sun.star.ServiceManager": found at start, reached
// through UNO when a run asks for it, and let go at the program's end.

#include <string>

namespace grid {

// Serves the ProgID when a LibreOffice installation is found (UNO_PATH, else soffice on the
// PATH); without one the ProgID stays unknown.
bool serveCalcThroughUno();

// The office's side of the connection, on a pipe of the user's own: what it accepts ("--accept="
// and this) and what is resolved ("uno:" and this).
std::string calcConnectionDescription();

// The folder of the soffice that serveCalcThroughUno found; empty before, or without one.
const std::string& calcOfficeDirectory();

// Closes the connection, if a run made one. The office goes on running.
void endCalcConnection();

}  // namespace grid
