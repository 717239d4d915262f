#include "capture/HtmlTokenizer.h"

#include <cstring>

namespace grid {
namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlphanumeric(char c) { return isLetter(c) || isDigit(c); }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

// Elements whose content is text up to their own end tag; the last two decode references.
constexpr const char* kRawTextElements[] = {"style", "script", "xmp", "iframe", "noembed", "noframes", "plaintext",
                                            "title", "textarea"};
constexpr int kFirstDecodedRawText = 7;
constexpr int kPlainText = 6;

// Named references: the legacy ones, which also stand without their semicolon, and then the more
// common of those that need it.
struct NamedReference {
    const char* name;
    uint32_t codePoint;
};
constexpr NamedReference kLegacyReferences[] = {
    {"AElig", 198}, {"AMP", 38}, {"Aacute", 193}, {"Acirc", 194}, {"Agrave", 192}, {"Aring", 197},
    {"Atilde", 195}, {"Auml", 196}, {"COPY", 169}, {"Ccedil", 199}, {"ETH", 208}, {"Eacute", 201},
    {"Ecirc", 202}, {"Egrave", 200}, {"Euml", 203}, {"GT", 62}, {"Iacute", 205}, {"Icirc", 206},
    {"Igrave", 204}, {"Iuml", 207}, {"LT", 60}, {"Ntilde", 209}, {"Oacute", 211}, {"Ocirc", 212},
    {"Ograve", 210}, {"Oslash", 216}, {"Otilde", 213}, {"Ouml", 214}, {"QUOT", 34}, {"REG", 174},
    {"THORN", 222}, {"Uacute", 218}, {"Ucirc", 219}, {"Ugrave", 217}, {"Uuml", 220}, {"Yacute", 221},
    {"aacute", 225}, {"acirc", 226}, {"acute", 180}, {"aelig", 230}, {"agrave", 224}, {"amp", 38},
    {"aring", 229}, {"atilde", 227}, {"auml", 228}, {"brvbar", 166}, {"ccedil", 231}, {"cedil", 184},
    {"cent", 162}, {"copy", 169}, {"curren", 164}, {"deg", 176}, {"divide", 247}, {"eacute", 233},
    {"ecirc", 234}, {"egrave", 232}, {"eth", 240}, {"euml", 235}, {"frac12", 189}, {"frac14", 188},
    {"frac34", 190}, {"gt", 62}, {"iacute", 237}, {"icirc", 238}, {"iexcl", 161}, {"igrave", 236},
    {"iquest", 191}, {"iuml", 239}, {"laquo", 171}, {"lt", 60}, {"macr", 175}, {"micro", 181},
    {"middot", 183}, {"nbsp", 160}, {"not", 172}, {"ntilde", 241}, {"oacute", 243}, {"ocirc", 244},
    {"ograve", 242}, {"ordf", 170}, {"ordm", 186}, {"oslash", 248}, {"otilde", 245}, {"ouml", 246},
    {"para", 182}, {"plusmn", 177}, {"pound", 163}, {"quot", 34}, {"raquo", 187}, {"reg", 174},
    {"sect", 167}, {"shy", 173}, {"sup1", 185}, {"sup2", 178}, {"sup3", 179}, {"szlig", 223},
    {"thorn", 254}, {"times", 215}, {"uacute", 250}, {"ucirc", 251}, {"ugrave", 249}, {"uml", 168},
    {"uuml", 252}, {"yacute", 253}, {"yen", 165}, {"yuml", 255},
};
constexpr NamedReference kReferences[] = {
    {"apos", 39}, {"euro", 8364}, {"hellip", 8230}, {"mdash", 8212}, {"ndash", 8211}, {"lsquo", 8216},
    {"rsquo", 8217}, {"sbquo", 8218}, {"ldquo", 8220}, {"rdquo", 8221}, {"bdquo", 8222}, {"bull", 8226},
    {"trade", 8482}, {"larr", 8592}, {"uarr", 8593}, {"rarr", 8594}, {"darr", 8595}, {"harr", 8596},
    {"hearts", 9829}, {"spades", 9824}, {"clubs", 9827}, {"diams", 9830}, {"notin", 8713}, {"infin", 8734},
    {"ne", 8800}, {"le", 8804}, {"ge", 8805}, {"minus", 8722}, {"prime", 8242}, {"Prime", 8243},
    {"dagger", 8224}, {"Dagger", 8225}, {"permil", 8240}, {"lsaquo", 8249}, {"rsaquo", 8250},
    {"thinsp", 8201}, {"ensp", 8194}, {"emsp", 8195}, {"zwnj", 8204}, {"zwj", 8205}, {"lrm", 8206},
    {"rlm", 8207}, {"Tab", 9}, {"NewLine", 10}, {"circ", 710}, {"tilde", 732}, {"OElig", 338},
    {"oelig", 339}, {"Scaron", 352}, {"scaron", 353}, {"Yuml", 376}, {"fnof", 402}, {"Alpha", 913},
    {"Omega", 937}, {"alpha", 945}, {"beta", 946}, {"gamma", 947}, {"delta", 948}, {"pi", 960},
    {"sigma", 963}, {"omega", 969}, {"check", 10003}, {"star", 9734}, {"starf", 9733}, {"sum", 8721},
    {"radic", 8730}, {"asymp", 8776}, {"equiv", 8801}, {"and", 8743}, {"or", 8744}, {"cap", 8745},
    {"cup", 8746}, {"int", 8747}, {"there4", 8756}, {"sim", 8764}, {"empty", 8709}, {"nabla", 8711},
    {"isin", 8712}, {"ni", 8715}, {"prod", 8719}, {"lowast", 8727}, {"prop", 8733}, {"ang", 8736},
    {"sub", 8834}, {"sup", 8835}, {"nsub", 8836}, {"sube", 8838}, {"supe", 8839}, {"oplus", 8853},
    {"otimes", 8855}, {"perp", 8869}, {"sdot", 8901}, {"lceil", 8968}, {"rceil", 8969}, {"lfloor", 8970},
    {"rfloor", 8971}, {"lang", 10216}, {"rang", 10217}, {"loz", 9674}, {"crarr", 8629}, {"lArr", 8656},
    {"uArr", 8657}, {"rArr", 8658}, {"dArr", 8659}, {"hArr", 8660}, {"forall", 8704}, {"part", 8706},
    {"exist", 8707}, {"oline", 8254}, {"frasl", 8260}, {"weierp", 8472}, {"image", 8465}, {"real", 8476},
    {"alefsym", 8501},
};

// What a numeric reference to 0x80-0x9F stands for: the character of Windows-1252 there (0 where
// that code page has none, and the number stands).
constexpr uint16_t kWindows1252[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

// The length of `name` when the text at `at` starts with it, else 0.
size_t startsWithName(const char* at, const char* to, const char* name) {
    if (at == to || *at != *name) return 0;
    const size_t length = std::strlen(name);
    return size_t(to - at) >= length && std::memcmp(at, name, length) == 0 ? length : 0;
}

}  // namespace

bool HtmlTokenizer::isTag(const char* name) const {
    return std::strlen(name) == nameLength_ && std::memcmp(this->name(), name, nameLength_) == 0;
}

const char* HtmlTokenizer::attribute(const char* name, size_t& length) const {
    const size_t wanted = std::strlen(name);
    for (size_t i = 0; i < attributes_.size(); ++i) {
        const HtmlAttribute& a = attributes_[i];
        if (a.nameLength == wanted && std::memcmp(&store_[a.nameAt], name, wanted) == 0) {
            length = a.valueLength;
            return a.valueLength ? &store_[a.valueAt] : "";
        }
    }
    length = 0;
    return nullptr;
}

bool HtmlTokenizer::appendCodePoint(uint32_t c) {
    char bytes[4];
    return store_.append(bytes, utf8Of(c, bytes));
}

// The reference at `at` (its '&'), or the '&' itself where none stands there.
bool HtmlTokenizer::appendReference(const char*& at, const char* to, bool inAttribute) {
    const char* p = at + 1;
    if (p < to && *p == '#') {
        ++p;
        const bool hex = p < to && (*p == 'x' || *p == 'X');
        if (hex) ++p;
        const char* digits = p;
        uint32_t value = 0;
        for (; p < to; ++p) {
            int digit;
            if (isDigit(*p)) digit = *p - '0';
            else if (hex && lower(*p) >= 'a' && lower(*p) <= 'f') digit = lower(*p) - 'a' + 10;
            else break;
            value = value * (hex ? 16 : 10) + uint32_t(digit);
            if (value > 0x10FFFF) value = 0x110000;
        }
        if (p == digits) {
            ++at;
            return store_.push('&');
        }
        if (p < to && *p == ';') ++p;
        at = p;
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) value = 0xFFFD;
        else if (value >= 0x80 && value <= 0x9F && kWindows1252[value - 0x80]) value = kWindows1252[value - 0x80];
        return appendCodePoint(value);
    }
    size_t best = 0;
    uint32_t codePoint = 0;
    bool withSemicolon = false;
    for (const NamedReference& r : kLegacyReferences)
        if (const size_t length = startsWithName(p, to, r.name); length > best) {
            best = length, codePoint = r.codePoint;
            withSemicolon = p + length < to && p[length] == ';';
        }
    for (const NamedReference& r : kReferences)
        if (const size_t length = startsWithName(p, to, r.name);
            length > best && p + length < to && p[length] == ';')
            best = length, codePoint = r.codePoint, withSemicolon = true;
    // Without its semicolon, a name followed by '=' or a letter or digit in an attribute's value
    // is text: such values are addresses' queries more often than references.
    if (best == 0 || (!withSemicolon && inAttribute && p + best < to && (p[best] == '=' || isAlphanumeric(p[best])))) {
        ++at;
        return store_.push('&');
    }
    at = p + best + (withSemicolon ? 1 : 0);
    return appendCodePoint(codePoint);
}

bool HtmlTokenizer::appendDecoded(const char* from, const char* to, bool inAttribute) {
    if (!decoding_) return store_.append(from, size_t(to - from));
    while (from < to) {
        const char* stop = from;
        while (stop < to && *stop != '&' && *stop != '\r') ++stop;
        if (!store_.append(from, size_t(stop - from))) return false;
        from = stop;
        if (from == to) break;
        if (*from == '\r') {
            if (!store_.push('\n')) return false;
            from += (from + 1 < to && from[1] == '\n') ? 2 : 1;
        } else if (!appendReference(from, to, inAttribute)) {
            return false;
        }
    }
    return true;
}

void HtmlTokenizer::skipComment() {
    const char* p = at_ + 4;
    if (p < end_ && *p == '>') {
        at_ = p + 1;
        return;
    }
    if (p + 1 < end_ && p[0] == '-' && p[1] == '>') {
        at_ = p + 2;
        return;
    }
    for (; p + 2 < end_; ++p) {
        if (p[0] != '-' || p[1] != '-') continue;
        if (p[2] == '>') {
            at_ = p + 3;
            return;
        }
        if (p + 3 < end_ && p[2] == '!' && p[3] == '>') {
            at_ = p + 4;
            return;
        }
    }
    at_ = end_;
}

void HtmlTokenizer::skipDeclaration() {
    const void* close = std::memchr(at_, '>', size_t(end_ - at_));
    at_ = close ? static_cast<const char*>(close) + 1 : end_;
}

bool HtmlTokenizer::readAttribute() {
    HtmlAttribute a;
    a.nameAt = uint32_t(store_.size());
    const char* p = at_;
    // The first character may be '=' (a name of its own); the rest end at '='.
    do {
        if (!store_.push(lower(*p))) return false;
        ++p;
    } while (p < end_ && !isHtmlSpace(*p) && *p != '/' && *p != '>' && *p != '=');
    a.nameLength = uint32_t(store_.size() - a.nameAt);
    const char* afterName = p;
    while (p < end_ && isHtmlSpace(*p)) ++p;
    a.valueAt = uint32_t(store_.size());
    if (p < end_ && *p == '=') {
        ++p;
        while (p < end_ && isHtmlSpace(*p)) ++p;
        const char* from = p;
        const char* to;
        if (p < end_ && (*p == '"' || *p == '\'')) {
            const void* close = std::memchr(p + 1, *p, size_t(end_ - p - 1));
            if (!close) {
                at_ = end_;  // a tag cut short is no tag
                return true;
            }
            from = p + 1, to = static_cast<const char*>(close), p = to + 1;
        } else {
            while (p < end_ && !isHtmlSpace(*p) && *p != '>') ++p;
            to = p;
        }
        if (!appendDecoded(from, to, true)) return false;
    } else {
        p = afterName;
    }
    a.valueLength = uint32_t(store_.size() - a.valueAt);
    at_ = p;
    // A repeated name is dropped, as browsers drop it.
    const char* name = &store_[a.nameAt];
    for (size_t i = 0; i < attributes_.size(); ++i)
        if (attributes_[i].nameLength == a.nameLength && std::memcmp(&store_[attributes_[i].nameAt], name, a.nameLength) == 0)
            return true;
    return attributes_.push(a);
}

HtmlTokenKind HtmlTokenizer::readTag(bool endTag) {
    store_.resize(0);
    attributes_.resize(0);
    selfClosing_ = false;
    const char* p = at_ + (endTag ? 2 : 1);
    nameAt_ = 0;
    while (p < end_ && !isHtmlSpace(*p) && *p != '/' && *p != '>') {
        if (!store_.push(lower(*p))) return HtmlTokenKind::noMemory;
        ++p;
    }
    nameLength_ = uint32_t(store_.size());
    at_ = p;
    for (;;) {
        while (at_ < end_ && isHtmlSpace(*at_)) ++at_;
        if (at_ == end_) return HtmlTokenKind::end;  // a tag cut short is no tag
        if (*at_ == '>') {
            ++at_;
            break;
        }
        if (*at_ == '/') {
            ++at_;
            if (at_ < end_ && *at_ == '>') {
                selfClosing_ = true;
                ++at_;
                break;
            }
            continue;
        }
        if (!readAttribute()) return HtmlTokenKind::noMemory;
        if (at_ == end_) return HtmlTokenKind::end;
    }
    if (!endTag) {
        for (int i = 0; i < int(sizeof kRawTextElements / sizeof *kRawTextElements); ++i)
            if (isTag(kRawTextElements[i])) rawElement_ = i;
    }
    return endTag ? HtmlTokenKind::endTag : HtmlTokenKind::startTag;
}

HtmlTokenKind HtmlTokenizer::readRawText() {
    const int element = rawElement_;
    rawElement_ = -1;
    const char* name = kRawTextElements[element];
    const size_t length = std::strlen(name);
    const char* from = at_;
    const char* p = from;
    if (element != kPlainText) {
        for (; p < end_; ++p) {
            if (*p != '<' || p + 1 >= end_ || p[1] != '/' || size_t(end_ - p - 2) < length) continue;
            bool same = true;
            for (size_t i = 0; i < length && same; ++i) same = lower(p[2 + i]) == name[i];
            const char* after = p + 2 + length;
            if (same && (after == end_ || isHtmlSpace(*after) || *after == '/' || *after == '>')) break;
        }
    } else {
        p = end_;
    }
    at_ = p;
    if (element >= kFirstDecodedRawText) {
        store_.resize(0);
        if (!appendDecoded(from, p, false)) return HtmlTokenKind::noMemory;
        textAt_ = store_.size() ? &store_[0] : "", textLength_ = store_.size();
    } else {
        textAt_ = from, textLength_ = size_t(p - from);
    }
    return HtmlTokenKind::rawText;
}

HtmlTokenKind HtmlTokenizer::next() {
    if (rawElement_ >= 0) return readRawText();
    while (at_ < end_) {
        if (*at_ == '<' && at_ + 1 < end_) {
            const char c = at_[1];
            if (isLetter(c)) return readTag(false);
            if (c == '/') {
                if (at_ + 2 < end_ && isLetter(at_[2])) return readTag(true);
                if (at_ + 2 < end_ && at_[2] == '>') {
                    at_ += 3;
                    continue;
                }
                if (at_ + 2 < end_) {
                    skipDeclaration();
                    continue;
                }
            } else if (c == '!') {
                if (end_ - at_ >= 4 && at_[2] == '-' && at_[3] == '-') skipComment();
                else skipDeclaration();
                continue;
            } else if (c == '?') {
                skipDeclaration();
                continue;
            }
        }
        // Text up to the next '<' that may start markup; a '<' that starts none is text.
        const char* from = at_;
        const void* open = std::memchr(at_ + 1, '<', size_t(end_ - at_ - 1));
        const char* to = open ? static_cast<const char*>(open) : end_;
        at_ = to;
        if (!decoding_ || (!std::memchr(from, '&', size_t(to - from)) && !std::memchr(from, '\r', size_t(to - from)))) {
            textAt_ = from, textLength_ = size_t(to - from);
            return HtmlTokenKind::text;
        }
        store_.resize(0);
        if (!appendDecoded(from, to, false)) return HtmlTokenKind::noMemory;
        textAt_ = store_.size() ? &store_[0] : "", textLength_ = store_.size();
        return HtmlTokenKind::text;
    }
    return HtmlTokenKind::end;
}

}  // namespace grid
