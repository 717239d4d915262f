// EscapeHtmlText on arbitrary UTF-16 text, into a buffer of any starting size: the escaped text,
// read back as a browser reads it, is the text again, with nothing of it left as markup.
#include "html/HtmlText.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grid::fuzz::installQuietPorts();
    grid::fuzz::Input input(data, size);
    const int32_t capacity = input.byte() * 3;
    const std::u16string text = input.rest<char16_t>();
    grid::TextBuffer<char16_t> buffer{};
    if (grid::InitTextBuffer(buffer, capacity) != grid::kOk) return 0;
    if (grid::EscapeHtmlText(buffer, text.c_str()) == grid::kOk) {
        if (grid::fuzz::unescapeHtmlText(std::u16string(buffer.data, size_t(buffer.length))) != text) grid::fuzz::fail();
    }
    grid::FreeTextBuffer(buffer);
    return 0;
}
