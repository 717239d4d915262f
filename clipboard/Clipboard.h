#pragma once
// The clipboard at both ends of a run: what the user copied, and the markup put in its place.
#include <cstdint>

#include "core/Allocation.h"
#include "core/Status.h"

namespace grid {

// Clipboard kinds: nothing usable, text (8-bit or Unicode format winning), text with the SYLK data
// of Calc or Excel.
inline constexpr int32_t kNothingUsable = 0;
inline constexpr int32_t kEightBitText = 1;
inline constexpr int32_t kUnicodeText = 2;
inline constexpr int32_t kSpreadsheetData = 3;

// Classifies the clipboard: a kind (messages 23 and 24 shown for kind 0), or 101/120 after a
// reported failure.
template <class Ch> [[nodiscard]] int32_t probeClipboard();
// A private copy of the clipboard text in the program's own format, allocated through the
// allocation port; on 0 the caller owns *copy. 101 or 120 after a reported failure.
template <class Ch> [[nodiscard]] StatusCode readClipboardText(Ch** copy);
// Replaces the clipboard's contents with the text; 0, or 101/120 after a reported failure.
template <class Ch> [[nodiscard]] StatusCode writeClipboard(const Ch* text);

// The bytes of `count` formats known by name, each copied whole into `contents`, read without a
// word to the user: false when the clipboard cannot be opened, a format is not there, cannot be
// had or is larger than `most` bytes. The clipboard's contents stay as they are.
template <class Ch>
[[nodiscard]] bool readNamedFormats(const char* const* names, OwnedBytes* contents, size_t count, size_t most);

}  // namespace grid
