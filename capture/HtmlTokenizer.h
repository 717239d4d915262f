#pragma once
// A tolerant pull tokenizer of HTML as browsers read it: tags with their attributes (quoted,
// unquoted or without a value), comments, Excel's conditional comments and every other markup
// declaration skipped, character references decoded, and the raw text of `<style>`, `<script>`
// and their like kept whole. It builds no tree: the reader of the table decides what a tag means.
// The input is UTF-8 and checked by the caller; nothing is read beyond its end.
#include <cstddef>
#include <cstdint>

#include "core/Growing.h"

namespace grid {

// HTML's white space: space, tab, line feed, carriage return and form feed.
inline bool isHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
// A code point (at most U+10FFFF) as UTF-8: its length, 1 to 4 bytes.
inline size_t utf8Of(uint32_t c, char (&out)[4]) {
    if (c < 0x80) return out[0] = char(c), 1;
    if (c < 0x800) return out[0] = char(0xC0 | (c >> 6)), out[1] = char(0x80 | (c & 0x3F)), 2;
    if (c < 0x10000)
        return out[0] = char(0xE0 | (c >> 12)), out[1] = char(0x80 | ((c >> 6) & 0x3F)), out[2] = char(0x80 | (c & 0x3F)), 3;
    out[0] = char(0xF0 | (c >> 18)), out[1] = char(0x80 | ((c >> 12) & 0x3F));
    out[2] = char(0x80 | ((c >> 6) & 0x3F)), out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

enum class HtmlTokenKind { startTag, endTag, text, rawText, end, noMemory };

struct HtmlAttribute {
    uint32_t nameAt = 0, nameLength = 0;    // in the token's store, lower case
    uint32_t valueAt = 0, valueLength = 0;  // references decoded
};

class HtmlTokenizer {
public:
    HtmlTokenizer(const char* utf8, size_t size) : at_(utf8), end_(utf8 + size) {}

    // The next token. A tag's name (lower case), a text's characters (references decoded, line
    // ends made line feeds) and the raw text of an element such as `<style>` stay valid until the
    // next call.
    HtmlTokenKind next();

    const char* name() const { return store_.size() ? &store_[nameAt_] : ""; }
    size_t nameLength() const { return nameLength_; }
    bool selfClosing() const { return selfClosing_; }
    size_t attributeCount() const { return attributes_.size(); }
    // The attribute's value, or nullptr when the tag has none of that (lower-case) name.
    const char* attribute(const char* name, size_t& length) const;
    const char* text() const { return textLength_ ? textAt_ : ""; }
    size_t textLength() const { return textLength_; }
    bool isTag(const char* name) const;
    // Texts and attributes' values as they stand, references and line ends left: for a look at the
    // document's elements alone.
    void leaveUndecoded() { decoding_ = false; }

private:
    HtmlTokenKind readTag(bool endTag);
    bool readAttribute();
    void skipComment();
    void skipDeclaration();
    HtmlTokenKind readRawText();
    bool appendDecoded(const char* from, const char* to, bool inAttribute);
    bool appendReference(const char*& at, const char* to, bool inAttribute);
    bool appendCodePoint(uint32_t codePoint);

    const char* at_;
    const char* end_;
    Growing<char> store_;
    Growing<HtmlAttribute> attributes_;
    uint32_t nameAt_ = 0, nameLength_ = 0;
    bool selfClosing_ = false;
    const char* textAt_ = nullptr;
    size_t textLength_ = 0;
    // The element whose raw text comes next (`style`, `script`, ...), by its index in the table.
    int rawElement_ = -1;
    bool decoding_ = true;
};

}  // namespace grid
