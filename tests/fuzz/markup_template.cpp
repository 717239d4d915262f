// Gridquill's templates as a user may write them: any text (cut to the settings' 100 bytes), any
// control character, any value, both parts, literally and formatted, with or without the lead
// bytes of code page 932.
#include <cstring>

#include "platform/fake/FakeSettingsFile.h"
#include "wiki/MarkupTemplate.h"
#include "wiki/WholeCharacters.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grid::fuzz::installQuietPorts();
    grid::fuzz::Input input(data, size);
    const char control[2] = {char(input.byte()), 0};
    const int32_t value = input.integer();
    const uint8_t switches = input.byte();
    const grid::TemplateValue kind = switches & 1 ? grid::kColourValue : grid::kIntegerValue;
    grid::FakeSettingsFile files;  // the lead bytes of code page 932, or none; installed while it lives
    files.doubleByteLocale = switches & 2;
    grid::loadLeadBytes();
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
