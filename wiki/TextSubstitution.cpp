#include "wiki/TextSubstitution.h"

#include <cstring>

#include "core/Messages.h"
#include "core/Settings.h"
#include "wiki/MarkupTemplate.h"
#include "wiki/WholeCharacters.h"

namespace grid {
namespace {

bool isAllMode(const MarkupTemplate& mode) { return std::strcmp(mode.text, "all") == 0; }

bool startsWith(const char* text, const char* pattern) {
    for (; *pattern; ++pattern, ++text)
        if (*text != *pattern) return false;
    return true;
}

// True when the single-byte character is one that escape_chars lists (its double-byte characters
// list nothing).
bool isListed(char character, const char* list) {
    for (const char* c = list; *c != 0; c += characterLength(c))
        if (*c == character && characterLength(c) == 1) return true;
    return false;
}

// Puts `around` before and after the content: built apart, then copied back.
[[nodiscard]] StatusCode wrap(TextBuffer<char>& rewritten, const char* around) {
    const int32_t aroundLength = static_cast<int32_t>(std::strlen(around));
    TextBuffer<char> combined;
    if (InitTextBuffer(combined, rewritten.length + 202) != kOk) {
        showMessage<char>(kMessageMemoryFailed);
        return kNoMemory;
    }
    StatusCode status = AppendText(combined, around, aroundLength);
    if (status == kOk) status = AppendText(combined, rewritten.data, rewritten.length);
    if (status == kOk) status = AppendText(combined, around, aroundLength);
    if (status == kOk) {
        ClearTextBuffer(rewritten);
        status = AppendText(rewritten, combined.data, combined.length);
    }
    FreeTextBuffer(combined);
    return status == kOk ? kOk : kNoMemory;
}

}  // namespace

StatusCode RewriteCellText(TextBuffer<char>& rewritten, const char* text) {
    const Settings<char>& s = settings<char>();
    const int32_t entries = s.substitutionCount < 0 ? 0 : s.substitutionCount > 5 ? 5 : s.substitutionCount;
    bool found[5] = {false, false, false, false, false};
    const bool escaping = s.escape_chars[0] != 0 && s.escape_code.hasOpening != 0;
    // Read once: the appends below write through char pointers, which the compiler must otherwise
    // assume to change the table's flag.
    const bool wholeCharacters = hasLeadBytes();
    bool anyFound = false;
    ClearTextBuffer(rewritten);

    // Characters that no replace entry matches are copied in runs. Matches begin and end on whole
    // characters, and a replaced character goes whole.
    const char* run = text;
    for (const char* p = text; *p != 0;) {
        const size_t length = wholeCharacters ? characterLength(p) : 1;
        bool replaced = false;
        for (int32_t n = 0; n < entries; ++n) {
            const SubstitutionEntry& entry = s.substitutions[n];
            if (!startsWith(p, entry.pattern.text) ||
                (wholeCharacters && !endsOnCharacter(p, std::strlen(entry.pattern.text))))
                continue;
            if (isAllMode(entry.mode)) {
                found[n] = anyFound = true;
                continue;
            }
            if (!replaced && p > run && AppendText(rewritten, run, static_cast<int32_t>(p - run)) != kOk)
                return kNoMemory;
            replaced = true;
            if (AppendText(rewritten, entry.replacement.text) != kOk) return kNoMemory;
        }
        if (!replaced && escaping && length == 1 && isListed(*p, s.escape_chars)) {
            if (p > run && AppendText(rewritten, run, static_cast<int32_t>(p - run)) != kOk) return kNoMemory;
            replaced = true;
            char formatted[kFormattedPartSize];
            const char* escape = FormattedPartText(s.escape_code, kIntegerValue, static_cast<unsigned char>(*p),
                                                   kOpeningPart, formatted);
            if (AppendText(rewritten, escape) != kOk) return kNoMemory;
        }
        p += length;
        if (replaced) run = p;
        if (*p == 0 && p > run && AppendText(rewritten, run, static_cast<int32_t>(p - run)) != kOk) return kNoMemory;
    }
    if (!anyFound) return kOk;

    // An "all" entry whose replacement an earlier one already wraps with adds nothing.
    for (int32_t n = 0; n < entries; ++n)
        for (int32_t earlier = 0; earlier < n && found[n]; ++earlier)
            if (found[earlier] &&
                std::strcmp(s.substitutions[earlier].replacement.text, s.substitutions[n].replacement.text) == 0)
                found[n] = false;
    for (int32_t n = 0; n < entries; ++n)
        if (found[n] && wrap(rewritten, s.substitutions[n].replacement.text) != kOk) return kNoMemory;
    return kOk;
}

}  // namespace grid
