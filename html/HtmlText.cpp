#include "html/HtmlText.h"

namespace grid {

const HtmlEntity htmlEntityTable[6] = {
    {u"\n", u"<BR>"}, {u" ", u"&nbsp;"}, {u"\"", u"&quot;"}, {u"&", u"&amp;"}, {u"<", u"&lt;"}, {u">", u"&gt;"},
};

const char16_t cssPropertyTable[6][50] = {
    u"color:", u"font-size:%dpt", u"font-weight:bold", u"font-style:italic", u" underline", u" line-through",
};

namespace {

// The characters below 64 that start a pattern, and whether any later one does: most characters
// of a text are then passed over with one test.
uint64_t patternStarts(bool& laterStarts) {
    uint64_t starts = 0;
    laterStarts = false;
    for (const HtmlEntity& entity : htmlEntityTable) {
        if (entity.pattern[0] < 64)
            starts |= uint64_t(1) << entity.pattern[0];
        else
            laterStarts = true;
    }
    return starts;
}
bool laterPatternStarts = false;
const uint64_t kPatternStarts = patternStarts(laterPatternStarts);

// The entry whose pattern the text starts with, or nullptr.
const HtmlEntity* entityAt(const char16_t* text) {
    if (*text < 64 ? !(kPatternStarts >> *text & 1) : !laterPatternStarts) return nullptr;
    for (const HtmlEntity& entity : htmlEntityTable) {
        size_t n = 0;
        while (entity.pattern[n] != 0 && text[n] == entity.pattern[n]) ++n;
        if (n > 0 && entity.pattern[n] == 0) return &entity;
    }
    return nullptr;
}

}  // namespace

StatusCode EscapeHtmlText(TextBuffer<char16_t>& destination, const char16_t* text) {
    ClearTextBuffer(destination);
    // Characters without an entity are copied in runs, each run and replacement appended whole.
    const char16_t* run = text;
    const char16_t* p = text;
    while (*p != 0) {
        const HtmlEntity* entity = entityAt(p);
        if (!entity) {
            ++p;
            continue;
        }
        if ((p > run && AppendText(destination, run, static_cast<int32_t>(p - run)) != kOk) ||
            AppendText(destination, entity->replacement) != kOk) {
            ClearTextBuffer(destination);
            return kNoMemory;
        }
        p += textLength(entity->pattern);
        run = p;
    }
    if (p > run && AppendText(destination, run, static_cast<int32_t>(p - run)) != kOk) {
        ClearTextBuffer(destination);
        return kNoMemory;
    }
    return kOk;
}

}  // namespace grid
