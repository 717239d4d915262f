#include "wiki/MarkupTemplate.h"

#include <cstring>

#include "wiki/WholeCharacters.h"

namespace grid {
namespace {

bool isConversion(const char* at) {
    return at[0] == '%' && (at[1] == 'd' || at[1] == 'c' || at[1] == 's' || at[1] == 'x');
}

// Conversions within text[begin, end): a sequence that would run past the end does not count.
int32_t countConversions(const char* text, size_t begin, size_t end) {
    int32_t count = 0;
    for (size_t i = begin; i + 1 < end; ++i)
        if (isConversion(text + i)) ++count;
    return count;
}

const char* partText(const MarkupTemplate& markup, TemplatePart part) {
    return part == kOpeningPart ? markup.text : markup.text + markup.closeStart;
}

// The one way a user's part is formatted: a single "%", and it starts the conversion that fits.
bool formatsSafely(const char* part, TemplateValue kind) {
    const char* percent = std::strchr(part, '%');
    if (!percent || std::strchr(percent + 1, '%')) return false;
    const char c = percent[1];
    return kind == kColourValue ? c == 's' : (c == 'd' || c == 'c' || c == 'x');
}

}  // namespace

void ParseTemplate(MarkupTemplate& markup, const char* control) {
    const size_t length = std::strlen(markup.text);
    if (length == 0) {
        markup.closeStart = markup.hasOpening = markup.hasClosing = 0;
        markup.openingConversions = markup.closingConversions = 0;
        return;
    }
    markup.hasOpening = markup.hasClosing = 1;
    // The control character is looked for at the start of each character only: a double-byte
    // character never splits.
    const char mark = control[0];
    size_t at = 0;
    while (at < length && (mark == 0 || markup.text[at] != mark || characterLength(markup.text + at) != 1))
        at += characterLength(markup.text + at);
    if (mark != 0 && at < length) {
        markup.text[at] = 0;
        markup.closeStart = static_cast<int32_t>(at + 1);
        if (at == 0) markup.hasOpening = 0;
        if (at == length - 1) markup.hasClosing = 0;
        markup.openingConversions = countConversions(markup.text, 0, at);
        markup.closingConversions = countConversions(markup.text, at + 1, length);
    } else {
        markup.closeStart = static_cast<int32_t>(length);
        markup.hasClosing = 0;
        markup.closingConversions = 0;
        markup.openingConversions = countConversions(markup.text, 0, length);
    }
}

StatusCode AppendTemplatePart(const MarkupTemplate& markup, TextBuffer<char>& buffer, TemplatePart part) {
    return AppendText(buffer, partText(markup, part)) == kNoMemory ? kNoMemory : kOk;
}

const char* FormattedPartText(const MarkupTemplate& markup, TemplateValue kind, int32_t value, TemplatePart part,
                              char (&formatted)[kFormattedPartSize]) {
    const char* text = partText(markup, part);
    const int32_t conversions = part == kOpeningPart ? markup.openingConversions : markup.closingConversions;
    if (conversions == 0 || !formatsSafely(text, kind)) return text;
    if (kind == kColourValue) {
        char colour[8];
        FormatColourCode(value, colour);
        BoundedSprintf<char>(formatted, sizeof formatted, text, {static_cast<const char*>(colour)});
    } else {
        BoundedSprintf<char>(formatted, sizeof formatted, text, {value});
    }
    return formatted;
}

StatusCode AppendFormattedPart(const MarkupTemplate& markup, TemplateValue kind, int32_t value,
                               TextBuffer<char>& buffer, TemplatePart part) {
    if ((part == kOpeningPart ? markup.hasOpening : markup.hasClosing) == 0) return kOk;
    char formatted[kFormattedPartSize];
    return AppendText(buffer, FormattedPartText(markup, kind, value, part, formatted)) == kNoMemory ? kNoMemory : kOk;
}

}  // namespace grid
