#pragma once
#include <cstdint>
namespace grid {
// One already collected argument of a bounded format call.
struct FormatArg {
    bool isText = false;       // true: `text` points to a NUL-terminated string of the call's character type
    int32_t number = 0;        // used when !isText
    const void* text = nullptr;
};
// Formats `format` into `dest` (room for `destSize` characters including the terminating NUL).
// Supports the conversions d i u x X o c s and %% with the flags - + space # 0, a decimal width,
// a decimal precision (".", ".N") and the length modifiers hh and h (applied as C does to an int).
// Each real conversion consumes the next argument in order (%% consumes none). Anything else
// (an unknown conversion such as %n, %p, %f, %*d, %ld, a format ending in the middle of a conversion,
// a conversion whose argument is missing, or whose argument kind does not fit: %s given a number,
// a numeric conversion given text) is copied to the output literally, character for character,
// from its "%" to its last character, and consumes no argument.
// Never reads past argCount arguments, never writes past dest[destSize-1]; output is truncated to
// destSize-1 characters and always NUL-terminated when destSize > 0; destSize <= 0 writes nothing.
// Returns the number of characters written (not counting the NUL).
template <class Ch>
int formatBounded(Ch* dest, int32_t destSize, const Ch* format, const FormatArg* args, int argCount);
}
