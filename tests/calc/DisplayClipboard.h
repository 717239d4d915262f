#pragma once
// What Calc's copy put on the X display's clipboard (DISPLAY): its package and its link, for the
// tools that read a real office's copy directly.
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/DirectCapture.h"
#include "platform/x11/SelectionReader_x11.h"

namespace grid::test {

struct CopiedFormats {
    std::string package, link;
};

inline CopiedFormats copiedFormatsOnDisplay() {
    CopiedFormats formats;
    SelectionReader reader(std::getenv("DISPLAY"), std::chrono::seconds(10), [] { return false; });
    std::vector<std::string> targets;
    reader.targets(targets);
    for (const std::string& target : targets) {
        std::string type;
        if (target.find("windows_formatname=\"" CALC_PACKAGE_FORMAT "\"") != std::string::npos)
            reader.read(target, formats.package, type);
        else if (target.find("windows_formatname=\"" CALC_LINK_FORMAT "\"") != std::string::npos)
            reader.read(target, formats.link, type);
    }
    return formats;
}

}  // namespace grid::test
