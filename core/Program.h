#pragma once
// The two programs share their code; the character type selects the program:
// Gridweave holds its text as UTF-16, Gridquill as 8-bit text of the system code page.
#include <cstddef>

namespace grid {

template <class Ch> struct Program;

template <> struct Program<char16_t> {
    static constexpr const char* name = "Gridweave";
    static constexpr const char* caption = "Gridweave for Windows";
    static constexpr const char* settingsFileName = "Gridweave.ini";
};

template <> struct Program<char> {
    static constexpr const char* name = "Gridquill";
    static constexpr const char* caption = "Gridquill for Windows";
    static constexpr const char* settingsFileName = "Gridquill.ini";
};

template <class Ch>
inline size_t textLength(const Ch* text) {
    size_t n = 0;
    while (text[n] != Ch(0)) ++n;
    return n;
}

}  // namespace grid
