#include "wiki/WholeCharacters.h"

#include <cstring>

#include "platform/SettingsFile.h"

namespace grid {

void loadLeadBytes() {
    leadbytes::any = false;
    for (int byte = 0; byte < 256; ++byte) {
        leadbytes::isLead[byte] = byte != 0 && settingsFilePort().isLeadByte(static_cast<char>(byte));
        leadbytes::any = leadbytes::any || leadbytes::isLead[byte];
    }
}

void clearLeadBytes() {
    std::memset(leadbytes::isLead, 0, sizeof leadbytes::isLead);
    leadbytes::any = false;
}

bool endsOnCharacter(const char* at, size_t length) {
    size_t covered = 0;
    while (covered < length) covered += characterLength(at + covered);
    return covered == length;
}

}  // namespace grid
