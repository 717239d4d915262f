// RewriteCellText with up to five arbitrary entries (pattern, replacement, mode) and any escapes on
// any text, with or without the lead bytes of code page 932.
#include <cstring>

#include "core/Settings.h"
#include "platform/fake/FakeSettingsFile.h"
#include "wiki/MarkupTemplate.h"
#include "wiki/TextSubstitution.h"
#include "wiki/WholeCharacters.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

void fill(grid::MarkupTemplate& markup, const std::string& text) {
    markup = {};
    std::memcpy(markup.text, text.data(), text.size());
    markup.text[text.size()] = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grid::fuzz::installQuietPorts();
    grid::fuzz::Input input(data, size);
    grid::Settings<char>& settings = grid::settings<char>();
    // The first byte's low part counts the entries; above it are the switches, so that inputs of
    // entries alone keep their meaning.
    const uint8_t first = input.byte();
    const int count = first % 6;
    grid::FakeSettingsFile files;  // installed while it lives
    files.doubleByteLocale = (first / 6) & 1;
    grid::loadLeadBytes();
    settings.escape_chars[0] = 0;
    settings.escape_code = {};
    if ((first / 12) & 1) {
        const std::string chars = input.text<char>(100), code = input.text<char>(100);
        std::memcpy(settings.escape_chars, chars.c_str(), chars.size() + 1);
        fill(settings.escape_code, code);
        grid::ParseTemplate(settings.escape_code, "@");
    }
    settings.substitutionCount = 0;
    for (int i = 0; i < count; ++i) {
        grid::SubstitutionEntry& entry = settings.substitutions[i];
        fill(entry.pattern, input.text<char>(100));
        fill(entry.replacement, input.text<char>(100));
        fill(entry.mode, input.byte() & 1 ? "all" : "");
        if (entry.pattern.text[0] == 0) break;
        settings.substitutionCount = i + 1;
    }
    const std::string text = input.rest<char>();
    grid::TextBuffer<char> rewritten{};
    if (grid::InitTextBuffer(rewritten, 100) != grid::kOk) return 0;
    (void)grid::RewriteCellText(rewritten, text.c_str());  // whatever it gives, it stays in its buffer
    if (rewritten.data && int32_t(std::strlen(rewritten.data)) > rewritten.capacity) __builtin_trap();
    grid::FreeTextBuffer(rewritten);
    return 0;
}
