// Gridquill's templates as a user may write them: any text (cut to the settings' 100 bytes), any
// control character, any value, both parts, literally and formatted.
#include <cstring>

#include "wiki/MarkupTemplate.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grid::fuzz::installQuietPorts();
    grid::fuzz::Input input(data, size);
    const char control[2] = {char(input.byte()), 0};
    const int32_t value = input.integer();
    const grid::TemplateValue kind = input.byte() & 1 ? grid::kColourValue : grid::kIntegerValue;
    const std::string text = input.text<char>(100);
    grid::MarkupTemplate markup{};
    std::memcpy(markup.text, text.data(), text.size());
    markup.text[text.size()] = 0;
    grid::ParseTemplate(markup, control);
    grid::TextBuffer<char> buffer{};
    if (grid::InitTextBuffer(buffer, 10) != grid::kOk) return 0;
    for (grid::TemplatePart part : {grid::kOpeningPart, grid::kClosingPart}) {
        // A part that cannot be appended leaves the buffer as it was, which is checked all the same.
        (void)grid::AppendTemplatePart(markup, buffer, part);
        (void)grid::AppendFormattedPart(markup, kind, value, buffer, part);
    }
    if (int32_t(std::strlen(buffer.data)) > buffer.capacity) __builtin_trap();
    grid::FreeTextBuffer(buffer);
    return 0;
}
