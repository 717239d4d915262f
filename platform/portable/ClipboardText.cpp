#include "platform/portable/ClipboardText.h"

#include <algorithm>
#include <cstring>

#include "platform/Clipboard.h"
#include "platform/CodePage.h"

namespace grid {

bool utf8TextOfBlock(uint32_t format, const void* bytes, size_t size, OwnedBytes& text) {
    text.reset();
    if (format == kFormatUnicodeText) {
        const auto* units = static_cast<const char16_t*>(bytes);
        const size_t count = size / sizeof(char16_t);
        const size_t length = size_t(std::find(units, units + count, u'\0') - units);
        if (!text.allocate(utf16ToUtf8(units, length, nullptr))) return false;
        utf16ToUtf8(units, length, reinterpret_cast<char*>(text.data()));
        return true;
    }
    if (format == kFormatText) {
        const auto* chars = static_cast<const char*>(bytes);
        const size_t length = size_t(std::find(chars, chars + size, '\0') - chars);
        if (!text.allocate(length)) return false;
        if (length > 0) std::memcpy(text.data(), chars, length);
        return true;
    }
    return false;
}

}  // namespace grid
