#pragma once
// The text of a block written to a clipboard that keeps text as UTF-8, as the Linux clipboard
// does; the test clipboard takes it the same way, so that the tests reach its memory.
#include <cstddef>
#include <cstdint>

#include "core/Allocation.h"

namespace grid {

// The text of a block of CF_UNICODETEXT or CF_TEXT, up to its NUL, as UTF-8: UTF-16 converted
// (lone surrogates become U+FFFD), 8-bit text as it is, UTF-8 being the system code page there.
// The bytes come from the allocation port; false, with `text` empty, when they cannot be had or
// the format is not one of text.
bool utf8TextOfBlock(uint32_t format, const void* bytes, size_t size, OwnedBytes& text);

}  // namespace grid
