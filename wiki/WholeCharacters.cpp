#include "wiki/WholeCharacters.h"

#include <cstring>

#include "platform/SettingsFile.h"

namespace grid {
namespace {

bool leadBytes[256];
bool anyLeadByte = false;

}  // namespace

void loadLeadBytes() {
    anyLeadByte = false;
    for (int byte = 0; byte < 256; ++byte) {
        leadBytes[byte] = byte != 0 && settingsFilePort().isLeadByte(static_cast<char>(byte));
        anyLeadByte = anyLeadByte || leadBytes[byte];
    }
}

void clearLeadBytes() {
    std::memset(leadBytes, 0, sizeof leadBytes);
    anyLeadByte = false;
}

bool hasLeadBytes() { return anyLeadByte; }

size_t characterLength(const char* at) {
    return leadBytes[static_cast<unsigned char>(at[0])] && at[1] != 0 ? 2 : 1;
}

bool matchesWholeCharacters(const char* at, const char* pattern, size_t patternLength) {
    if (std::strncmp(at, pattern, patternLength) != 0) return false;
    if (!anyLeadByte) return true;
    size_t covered = 0;
    while (covered < patternLength) covered += characterLength(at + covered);
    return covered == patternLength;
}

}  // namespace grid
