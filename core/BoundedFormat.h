#pragma once
#include <cstdint>
namespace grid {
struct FormatArg {
    bool isText = false;
    int32_t number = 0;
    const void* text = nullptr;
};
template <class Ch>
int formatBounded(Ch* dest, int32_t destSize, const Ch* format, const FormatArg* args, int argCount);
}
