#pragma once
// Settings files that trip up readers of initialisation files, and a record of what both programs
// read from a file: every stored value, byte for byte.
#include <string>
#include <vector>

namespace grid::test {

struct SettingsCase {
    std::string name;   // one word, used in the record
    std::string bytes;  // the file as it lies on disk
};

const std::vector<SettingsCase>& trickySettingsFiles();

// Reads the file at path with readSettings of both programs, through the settings port in use,
// and writes every value as hexadecimal (UTF-16 units for Gridweave, bytes for Gridquill).
std::string recordOfSettings(const std::string& path);

// The record of every case, as the Windows functions read them (tests/data).
std::string recordedWindowsValues();

}  // namespace grid::test
