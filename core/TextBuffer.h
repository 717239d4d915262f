#pragma once
// Growable NUL-terminated text, and the two formatters of the programs.
#include <cstdint>
#include <initializer_list>

#include "core/BoundedFormat.h"
#include "core/Program.h"
#include "core/Status.h"

namespace grid {

// A string literal in the program's character type: TEXT_OF(Ch, "abc").
template <class Ch>
constexpr const Ch* pickText(const char* narrow, const char16_t* wide) {
    if constexpr (sizeof(Ch) == 1) {
        (void)wide;
        return narrow;
    } else {
        (void)narrow;
        return wide;
    }
}
#define TEXT_OF(Ch, literal) ::grid::pickText<Ch>(literal, u"" literal)

template <class Ch>
struct TextBuffer {
    // Characters the buffer can hold, NUL not counted; 0 when released, -1 for a cell text that
    // was never initialised.
    int32_t capacity = 0;
    Ch* data = nullptr;
    // Underneath the capacity: the content's length, and the characters actually reserved, so
    // that a long run of appends copies the text only a logarithmic number of times.
    int32_t length = 0;
    int32_t reserved = 0;

    bool live() const { return capacity > 0 && data != nullptr; }
    const Ch* text() const { return data; }
};

// Sets the capacity (100 for 0 or less) and allocates it; shows message 12 or 13 and returns 101
// on failure, leaving the buffer released (capacity 0, no storage), which every release skips.
template <class Ch> [[nodiscard]] StatusCode InitTextBuffer(TextBuffer<Ch>& buffer, int32_t requestedCapacity);
// Adds `extra` to the capacity; 101 with the buffer unchanged when storage cannot be had.
template <class Ch> [[nodiscard]] StatusCode GrowTextBuffer(TextBuffer<Ch>& buffer, int32_t extra);
// Appends the whole text or nothing: grows by its length + 500 when it does not fit; on failure
// shows message 13 and returns 101 with the content unchanged.
template <class Ch> [[nodiscard]] StatusCode AppendText(TextBuffer<Ch>& buffer, const Ch* text);
template <class Ch> [[nodiscard]] StatusCode AppendText(TextBuffer<Ch>& buffer, const Ch* text, int32_t count);

// One step of building markup: when it fails (it has shown its message), the step that runs it
// ends at once with 101. The writers' only way of stopping on failure.
#define APPEND(step)                                                  \
    do {                                                              \
        if ((step) != ::grid::kOk) return ::grid::kNoMemory;          \
    } while (0)
// Makes room underneath for `characters` without changing the capacity, so that later growth
// copies nothing; false, with nothing changed and no message, when the storage cannot be had.
template <class Ch> bool ReserveTextBuffer(TextBuffer<Ch>& buffer, int64_t characters);
// Room for a text of `rows` rows of about `perRow` characters each, with a margin (see above).
template <class Ch> bool ReserveForRows(TextBuffer<Ch>& buffer, int64_t perRow, int32_t rows);
template <class Ch> void FreeTextBuffer(TextBuffer<Ch>& buffer);
// Empties the content of a live buffer.
template <class Ch> void ClearTextBuffer(TextBuffer<Ch>& buffer);

// One argument of BoundedSprintf: a 32-bit integer or a string of the program's character type.
template <class Ch>
struct SprintfArg {
    SprintfArg(int32_t value) : number(value) {}
    SprintfArg(const Ch* value) : isText(true), text(value) {}
    bool isText = false;
    int32_t number = 0;
    const Ch* text = nullptr;
};

// Formats at most five arguments; every "%" of the format takes one argument. A sixth "%" shows
// message 99 and ends the process with exit code 0. Never writes past `size` characters.
template <class Ch>
int BoundedSprintf(Ch* destination, int32_t size, const Ch* format, std::initializer_list<SprintfArg<Ch>> args = {});

// "#rrggbb" of a 0xRRGGBB colour into 8 characters; bits 24 to 31 are ignored.
template <class Ch> void FormatColourCode(int32_t colour, Ch (&destination)[8]);

}  // namespace grid
