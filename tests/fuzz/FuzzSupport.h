#pragma once
// What every fuzz target shares: quiet ports (message boxes answered OK and forgotten, an end of
// the process turned into an exception), a reader of the fuzz input, and the reading of Gridweave's
// escaped text back as a browser reads it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/Ports.h"
#include "platform/fake/FakeProcessExit.h"

namespace grid::fuzz {

struct QuietMessageBox final : MessageBoxPort {
    int32_t show(WindowHandle, const char*, const char*, uint32_t) override { return kAnswerOk; }
};

inline void installQuietPorts() {
    static QuietMessageBox boxes;
    static FakeProcessExit exits;
    setMessageBoxPort(&boxes);
    (void)exits;
}

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    int32_t integer() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 8 | byte();
        return int32_t(value);
    }
    // Text up to a NUL byte or the end, of at most `limit` units.
    template <class Ch>
    std::basic_string<Ch> text(size_t limit = SIZE_MAX) {
        std::basic_string<Ch> out;
        while (!empty() && out.size() < limit) {
            Ch unit = Ch(byte());
            if constexpr (sizeof(Ch) == 2) unit = Ch(unit | (byte() << 8));
            if (unit == 0) break;
            out.push_back(unit);
        }
        return out;
    }
    // Everything left, as units of the type.
    template <class Ch>
    std::basic_string<Ch> rest() {
        std::basic_string<Ch> out;
        while (!empty()) {
            Ch unit = Ch(byte());
            if constexpr (sizeof(Ch) == 2) unit = Ch(unit | (byte() << 8));
            if (unit != 0) out.push_back(unit);
        }
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// A finding: the target stops at once, which libFuzzer and the corpus replay both report.
[[noreturn]] inline void fail() { __builtin_trap(); }

// Escaped cell text read back: a line break for "<BR>", the character of each entity Gridweave
// writes. Anything else a browser would read as markup (a tag, an entity, a bare ">", quote, space
// or line break, which the escaping must have replaced) is a finding.
inline std::u16string unescapeHtmlText(const std::u16string& html) {
    static const struct {
        const char16_t* markup;
        char16_t character;
    } entities[] = {{u"<BR>", u'\n'}, {u"&nbsp;", u' '}, {u"&quot;", u'"'}, {u"&amp;", u'&'}, {u"&lt;", u'<'},
                    {u"&gt;", u'>'}};
    std::u16string text;
    for (size_t at = 0; at < html.size();) {
        const char16_t unit = html[at];
        if (unit != u'<' && unit != u'&') {
            if (unit == u'>' || unit == u'"' || unit == u' ' || unit == u'\n') fail();
            text.push_back(unit);
            ++at;
            continue;
        }
        size_t length = 0;
        for (const auto& entity : entities) {
            const std::u16string markup = entity.markup;
            if (html.compare(at, markup.size(), markup) == 0) {
                text.push_back(entity.character);
                length = markup.size();
                break;
            }
        }
        if (length == 0) fail();
        at += length;
    }
    return text;
}

}  // namespace grid::fuzz
