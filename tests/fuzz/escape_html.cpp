// EscapeHtmlText on arbitrary UTF-16 text, into a buffer of any starting size.
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
        // Nothing of the text survives unescaped.
        for (int32_t i = 0; buffer.data[i]; ++i)
            if (buffer.data[i] == u'<' && buffer.data[i + 1] != u'B') __builtin_trap();
    }
    grid::FreeTextBuffer(buffer);
    return 0;
}
