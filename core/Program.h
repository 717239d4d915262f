#pragma once
// The two programs share their code; the character type selects the program:
// Gridweave holds its text as UTF-16, Gridquill as 8-bit text of the system code page.
#include <cstddef>

#include "core/Settings.h"
#include "core/Status.h"

namespace grid {

template <class Ch> struct Program;

template <> struct Program<char16_t> {
    static constexpr const char* name = "Gridweave";
    static constexpr const char* command = "gridweave";  // the Linux program's file name
    static constexpr const char* caption = "Gridweave for Windows";
    static constexpr const char* linuxCaption = "Gridweave for Linux";
    static constexpr const char* settingsFileName = "Gridweave.ini";
};

template <> struct Program<char> {
    static constexpr const char* name = "Gridquill";
    static constexpr const char* command = "gridquill";
    static constexpr const char* caption = "Gridquill for Windows";
    static constexpr const char* linuxCaption = "Gridquill for Linux";
    static constexpr const char* settingsFileName = "Gridquill.ini";
};

// The caption of the progress window and of every message box: the catalogue's, which the Windows
// programs show; the Linux shell names its own desktop before start-up.
template <class Ch>
inline const char* theCaption = Program<Ch>::caption;

template <class Ch>
const char* programCaption() {
    return theCaption<Ch>;
}

template <class Ch>
void setProgramCaption(const char* caption) {
    theCaption<Ch> = caption;
}

// What a program adds to the shared run: the reader of its own Param keys, which readSettings calls
// between the common keys and the Locale key, and the writer that fills the run's output buffer.
// The program's entry installs its own before start-up (html/HtmlProgram.h, wiki/WikiProgram.h),
// so that each program carries its own writer alone.
template <class Ch>
struct ProgramParts {
    void (*readParamKeys)(const Ch* path, Settings<Ch>& settings) = nullptr;
    StatusCode (*writeMarkup)() = nullptr;
};

template <class Ch>
inline ProgramParts<Ch> theProgramParts{};

template <class Ch>
const ProgramParts<Ch>& programParts() {
    return theProgramParts<Ch>;
}

template <class Ch>
void setProgramParts(const ProgramParts<Ch>& parts) {
    theProgramParts<Ch> = parts;
}

template <class Ch>
inline size_t textLength(const Ch* text) {
    size_t n = 0;
    while (text[n] != Ch(0)) ++n;
    return n;
}

}  // namespace grid
