#include "capture/HtmlStyle.h"

#include <cmath>
#include <cstring>

#include "capture/HtmlTokenizer.h"
#include "core/CellGrid.h"

namespace grid {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

// A piece of text, compared without regard to ASCII case as CSS compares keywords.
struct Span {
    const char* at = "";
    size_t length = 0;
    bool is(const char* word) const {
        const size_t n = std::strlen(word);
        if (n != length) return false;
        for (size_t i = 0; i < n; ++i)
            if (lower(at[i]) != word[i]) return false;
        return true;
    }
    bool startsWith(const char* word) const {
        const size_t n = std::strlen(word);
        return n <= length && Span{at, n}.is(word);
    }
    bool contains(const char* word) const {
        const size_t n = std::strlen(word);
        for (size_t i = 0; i + n <= length; ++i)
            if (Span{at + i, n}.is(word)) return true;
        return false;
    }
};

Span trimmed(const char* at, size_t length) {
    while (length && isHtmlSpace(*at)) ++at, --length;
    while (length && isHtmlSpace(at[length - 1])) --length;
    return {at, length};
}

// The words of a value, a parenthesised group ("rgb(1, 2, 3)") kept as one.
struct Words {
    const char* at;
    const char* end;
    bool next(Span& word) {
        while (at < end && (isHtmlSpace(*at) || *at == ',')) ++at;
        if (at == end) return false;
        const char* from = at;
        int depth = 0;
        while (at < end && (depth > 0 || (!isHtmlSpace(*at) && *at != ','))) {
            if (*at == '(') ++depth;
            else if (*at == ')' && depth > 0) --depth;
            ++at;
        }
        word = {from, size_t(at - from)};
        return true;
    }
};

// A number and its unit: false when the text does not start with a number.
bool readNumber(Span text, double& value, Span& unit) {
    size_t i = 0;
    bool negative = false;
    if (i < text.length && (text.at[i] == '+' || text.at[i] == '-')) negative = text.at[i++] == '-';
    value = 0;
    bool digits = false;
    while (i < text.length && text.at[i] >= '0' && text.at[i] <= '9') value = value * 10 + (text.at[i++] - '0'), digits = true;
    if (i < text.length && text.at[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.length && text.at[i] >= '0' && text.at[i] <= '9'; ++i, scale /= 10)
            value += (text.at[i] - '0') * scale, digits = true;
    }
    if (!digits || value > 1e6) return false;
    if (negative) value = -value;
    unit = {text.at + i, text.length - i};
    return true;
}

// An absolute length in points; false for relative units and everything else.
bool absolutePoints(Span text, double& points) {
    double value;
    Span unit;
    if (!readNumber(text, value, unit)) return false;
    if (unit.is("pt")) points = value;
    else if (unit.is("px")) points = value * 0.75;
    else if (unit.is("in")) points = value * 72;
    else if (unit.is("cm")) points = value * 72 / 2.54;
    else if (unit.is("mm")) points = value * 72 / 25.4;
    else if (unit.is("pc")) points = value * 12;
    else if (unit.length == 0 && value == 0) points = 0;
    else return false;
    return true;
}

// A line's width in 1/100 mm, the unit of Calc's widths: keywords as browsers draw them.
bool lineWidth(Span word, int32_t& width) {
    double points;
    if (word.is("thin")) points = 0.75;
    else if (word.is("medium")) points = 2.25;
    else if (word.is("thick")) points = 3.75;
    else if (!absolutePoints(word, points) || points < 0) return false;
    width = static_cast<int32_t>(std::lround(points * 2540.0 / 72.0));
    return true;
}

// Line styles: Excel's own ("hairline", "dot-dash") are lines as well.
bool lineStyle(Span word, int8_t& style) {
    if (word.is("none")) style = kLineNone;
    else if (word.is("hidden")) style = kLineHidden;
    else if (word.is("double")) style = kLineDouble;
    else if (word.is("solid") || word.is("dashed") || word.is("dotted") || word.is("groove") || word.is("ridge") ||
             word.is("inset") || word.is("outset") || word.is("hairline") || word.is("dot-dash") ||
             word.is("dot-dot-dash") || word.is("slash-dot-dash"))
        style = kLineSingle;
    else return false;
    return true;
}

struct NamedColour {
    const char* name;
    int32_t value;
};
constexpr NamedColour kNamedColours[] = {
    {"aliceblue", 0xF0F8FF}, {"antiquewhite", 0xFAEBD7}, {"aqua", 0x00FFFF}, {"aquamarine", 0x7FFFD4},
    {"azure", 0xF0FFFF}, {"beige", 0xF5F5DC}, {"bisque", 0xFFE4C4}, {"black", 0x000000},
    {"blanchedalmond", 0xFFEBCD}, {"blue", 0x0000FF}, {"blueviolet", 0x8A2BE2}, {"brown", 0xA52A2A},
    {"burlywood", 0xDEB887}, {"cadetblue", 0x5F9EA0}, {"chartreuse", 0x7FFF00}, {"chocolate", 0xD2691E},
    {"coral", 0xFF7F50}, {"cornflowerblue", 0x6495ED}, {"cornsilk", 0xFFF8DC}, {"crimson", 0xDC143C},
    {"cyan", 0x00FFFF}, {"darkblue", 0x00008B}, {"darkcyan", 0x008B8B}, {"darkgoldenrod", 0xB8860B},
    {"darkgray", 0xA9A9A9}, {"darkgreen", 0x006400}, {"darkgrey", 0xA9A9A9}, {"darkkhaki", 0xBDB76B},
    {"darkmagenta", 0x8B008B}, {"darkolivegreen", 0x556B2F}, {"darkorange", 0xFF8C00}, {"darkorchid", 0x9932CC},
    {"darkred", 0x8B0000}, {"darksalmon", 0xE9967A}, {"darkseagreen", 0x8FBC8F}, {"darkslateblue", 0x483D8B},
    {"darkslategray", 0x2F4F4F}, {"darkslategrey", 0x2F4F4F}, {"darkturquoise", 0x00CED1}, {"darkviolet", 0x9400D3},
    {"deeppink", 0xFF1493}, {"deepskyblue", 0x00BFFF}, {"dimgray", 0x696969}, {"dimgrey", 0x696969},
    {"dodgerblue", 0x1E90FF}, {"firebrick", 0xB22222}, {"floralwhite", 0xFFFAF0}, {"forestgreen", 0x228B22},
    {"fuchsia", 0xFF00FF}, {"gainsboro", 0xDCDCDC}, {"ghostwhite", 0xF8F8FF}, {"gold", 0xFFD700},
    {"goldenrod", 0xDAA520}, {"gray", 0x808080}, {"green", 0x008000}, {"greenyellow", 0xADFF2F},
    {"grey", 0x808080}, {"honeydew", 0xF0FFF0}, {"hotpink", 0xFF69B4}, {"indianred", 0xCD5C5C},
    {"indigo", 0x4B0082}, {"ivory", 0xFFFFF0}, {"khaki", 0xF0E68C}, {"lavender", 0xE6E6FA},
    {"lavenderblush", 0xFFF0F5}, {"lawngreen", 0x7CFC00}, {"lemonchiffon", 0xFFFACD}, {"lightblue", 0xADD8E6},
    {"lightcoral", 0xF08080}, {"lightcyan", 0xE0FFFF}, {"lightgoldenrodyellow", 0xFAFAD2}, {"lightgray", 0xD3D3D3},
    {"lightgreen", 0x90EE90}, {"lightgrey", 0xD3D3D3}, {"lightpink", 0xFFB6C1}, {"lightsalmon", 0xFFA07A},
    {"lightseagreen", 0x20B2AA}, {"lightskyblue", 0x87CEFA}, {"lightslategray", 0x778899},
    {"lightslategrey", 0x778899}, {"lightsteelblue", 0xB0C4DE}, {"lightyellow", 0xFFFFE0}, {"lime", 0x00FF00},
    {"limegreen", 0x32CD32}, {"linen", 0xFAF0E6}, {"magenta", 0xFF00FF}, {"maroon", 0x800000},
    {"mediumaquamarine", 0x66CDAA}, {"mediumblue", 0x0000CD}, {"mediumorchid", 0xBA55D3},
    {"mediumpurple", 0x9370DB}, {"mediumseagreen", 0x3CB371}, {"mediumslateblue", 0x7B68EE},
    {"mediumspringgreen", 0x00FA9A}, {"mediumturquoise", 0x48D1CC}, {"mediumvioletred", 0xC71585},
    {"midnightblue", 0x191970}, {"mintcream", 0xF5FFFA}, {"mistyrose", 0xFFE4E1}, {"moccasin", 0xFFE4B5},
    {"navajowhite", 0xFFDEAD}, {"navy", 0x000080}, {"oldlace", 0xFDF5E6}, {"olive", 0x808000},
    {"olivedrab", 0x6B8E23}, {"orange", 0xFFA500}, {"orangered", 0xFF4500}, {"orchid", 0xDA70D6},
    {"palegoldenrod", 0xEEE8AA}, {"palegreen", 0x98FB98}, {"paleturquoise", 0xAFEEEE}, {"palevioletred", 0xDB7093},
    {"papayawhip", 0xFFEFD5}, {"peachpuff", 0xFFDAB9}, {"peru", 0xCD853F}, {"pink", 0xFFC0CB},
    {"plum", 0xDDA0DD}, {"powderblue", 0xB0E0E6}, {"purple", 0x800080}, {"rebeccapurple", 0x663399},
    {"red", 0xFF0000}, {"rosybrown", 0xBC8F8F}, {"royalblue", 0x4169E1}, {"saddlebrown", 0x8B4513},
    {"salmon", 0xFA8072}, {"sandybrown", 0xF4A460}, {"seagreen", 0x2E8B57}, {"seashell", 0xFFF5EE},
    {"sienna", 0xA0522D}, {"silver", 0xC0C0C0}, {"skyblue", 0x87CEEB}, {"slateblue", 0x6A5ACD},
    {"slategray", 0x708090}, {"slategrey", 0x708090}, {"snow", 0xFFFAFA}, {"springgreen", 0x00FF7F},
    {"steelblue", 0x4682B4}, {"tan", 0xD2B48C}, {"teal", 0x008080}, {"thistle", 0xD8BFD8},
    {"tomato", 0xFF6347}, {"turquoise", 0x40E0D0}, {"violet", 0xEE82EE}, {"wheat", 0xF5DEB3},
    {"white", 0xFFFFFF}, {"whitesmoke", 0xF5F5F5}, {"yellow", 0xFFFF00}, {"yellowgreen", 0x9ACD32},
    // System colours Excel writes, as a light desktop theme draws them.
    {"windowtext", 0x000000}, {"window", 0xFFFFFF}, {"buttontext", 0x000000}, {"canvastext", 0x000000},
    {"canvas", 0xFFFFFF},
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lower(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// The channels of rgb()/rgba(): numbers or percentages, commas or spaces, an alpha after '/' or
// as the fourth.
bool functionalColour(Span text, int32_t& colour) {
    const char* open = static_cast<const char*>(std::memchr(text.at, '(', text.length));
    if (!open || text.at[text.length - 1] != ')') return false;
    Words words{open + 1, text.at + text.length - 1};
    double channels[4] = {0, 0, 0, 1};
    int count = 0;
    Span word;
    while (words.next(word)) {
        if (word.is("/")) continue;
        if (count == 4) return false;
        double value;
        Span unit;
        if (!readNumber(word, value, unit)) return false;
        if (unit.is("%")) value = count == 3 ? value / 100 : value * 255 / 100;
        else if (unit.length) return false;
        channels[count++] = value;
    }
    if (count < 3) return false;
    if (channels[3] <= 0) {
        colour = kTransparent;
        return true;
    }
    colour = 0;
    for (int i = 0; i < 3; ++i) {
        const double c = channels[i] < 0 ? 0 : channels[i] > 255 ? 255 : channels[i];
        colour = colour * 256 + static_cast<int32_t>(std::lround(c));
    }
    return true;
}

}  // namespace

bool readColour(const char* at, size_t length, int32_t& colour) {
    const Span text = trimmed(at, length);
    if (text.length == 0) return false;
    if (text.at[0] == '#') {
        const size_t n = text.length - 1;
        if (n != 3 && n != 4 && n != 6 && n != 8) return false;
        int digits[8];
        for (size_t i = 0; i < n; ++i)
            if ((digits[i] = hexDigit(text.at[1 + i])) < 0) return false;
        const bool shortForm = n <= 4;
        const int alpha = n == 4 ? digits[3] : n == 8 ? digits[6] * 16 + digits[7] : -1;
        if (alpha == 0) {
            colour = kTransparent;
            return true;
        }
        colour = 0;
        for (int i = 0; i < 3; ++i)
            colour = colour * 256 + (shortForm ? digits[i] * 17 : digits[2 * i] * 16 + digits[2 * i + 1]);
        return true;
    }
    if (text.startsWith("rgb(") || text.startsWith("rgba(")) return functionalColour(text, colour);
    if (text.is("transparent")) {
        colour = kTransparent;
        return true;
    }
    if (text.is("currentcolor")) {
        colour = kCurrentColour;
        return true;
    }
    for (const NamedColour& named : kNamedColours)
        if (text.is(named.name)) {
            colour = named.value;
            return true;
        }
    return false;
}

namespace {

constexpr int kCssSide[4] = {2, 1, 3, 0};  // top, right, bottom, left in the grid's order

// One side's shorthand ("border-top: .5pt solid windowtext"): what it leaves out is reset.
bool lineShorthand(Span value, StyleDelta::Line& line) {
    StyleDelta::Line read;
    read.width = 79;  // medium
    Words words{value.at, value.at + value.length};
    Span word;
    while (words.next(word)) {
        int32_t colour;
        if (lineStyle(word, read.style)) continue;
        if (lineWidth(word, read.width)) continue;
        if (readColour(word.at, word.length, colour)) {
            read.colour = colour;
            continue;
        }
        return false;
    }
    line = read;
    return true;
}

void setLine(StyleDelta& d, int side, const StyleDelta::Line& line) {
    d.lines[side] = line;
    d.lineSet[side] = StyleDelta::kWidth | StyleDelta::kStyle | StyleDelta::kLineColour;
}

// border-width / -style / -color with one to four values, top, right, bottom, left.
void lineFourValues(StyleDelta& d, Span value, uint8_t field) {
    Span words[4];
    int count = 0;
    Words reader{value.at, value.at + value.length};
    Span word;
    while (reader.next(word)) {
        if (count == 4) return;
        words[count++] = word;
    }
    if (count == 0) return;
    const int pick[4][4] = {{0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 2, 1}, {0, 1, 2, 3}};
    StyleDelta::Line read[4];
    for (int i = 0; i < 4; ++i) {
        const Span w = words[pick[count - 1][i]];
        StyleDelta::Line& line = read[i];
        if (field == StyleDelta::kWidth && !lineWidth(w, line.width)) return;
        if (field == StyleDelta::kStyle && !lineStyle(w, line.style)) return;
        if (field == StyleDelta::kLineColour && !readColour(w.at, w.length, line.colour)) return;
    }
    for (int i = 0; i < 4; ++i) {
        StyleDelta::Line& line = d.lines[kCssSide[i]];
        if (field == StyleDelta::kWidth) line.width = read[i].width;
        if (field == StyleDelta::kStyle) line.style = read[i].style;
        if (field == StyleDelta::kLineColour) line.colour = read[i].colour;
        d.lineSet[kCssSide[i]] |= field;
    }
}

int sideNamed(Span name) {
    if (name.is("top")) return kTop;
    if (name.is("right")) return kRight;
    if (name.is("bottom")) return kBottom;
    if (name.is("left")) return kLeft;
    return -1;
}

void fontSize(StyleDelta& d, Span value) {
    static const struct {
        const char* name;
        float pixels;
    } keywords[] = {{"xx-small", 9}, {"x-small", 10}, {"small", 13}, {"medium", 16},
                    {"large", 18},   {"x-large", 24}, {"xx-large", 32}, {"xxx-large", 48}};
    for (const auto& k : keywords)
        if (value.is(k.name)) {
            d.size = k.pixels * 0.75f, d.sizeRelative = false, d.set |= StyleDelta::kSize;
            return;
        }
    if (value.is("smaller") || value.is("larger")) {
        d.size = value.is("smaller") ? 1 / 1.2f : 1.2f, d.sizeRelative = true, d.set |= StyleDelta::kSize;
        return;
    }
    double points, number;
    Span unit;
    if (absolutePoints(value, points) && points >= 0) {
        d.size = float(points), d.sizeRelative = false;
    } else if (readNumber(value, number, unit) && number >= 0 && (unit.is("em") || unit.is("%") || unit.is("rem"))) {
        if (unit.is("rem")) d.size = float(number * 12), d.sizeRelative = false;
        else d.size = float(unit.is("%") ? number / 100 : number), d.sizeRelative = true;
    } else {
        return;
    }
    d.set |= StyleDelta::kSize;
}

void textAlign(StyleDelta& d, Span value) {
    int8_t align;
    if (value.is("general") || value.is("auto")) align = kHoriStandard;
    else if (value.is("left") || value.is("start") || value.is("-webkit-left") || value.is("-moz-left")) align = kHoriLeft;
    else if (value.is("center") || value.is("-webkit-center") || value.is("-moz-center") || value.is("middle") ||
             value.is("center-across") || value.is("centre"))
        align = kHoriCenter;
    else if (value.is("right") || value.is("end") || value.is("-webkit-right") || value.is("-moz-right")) align = kHoriRight;
    else if (value.is("justify") || value.is("distributed")) align = kHoriBlock;
    else if (value.is("fill")) align = kHoriRepeat;
    else return;
    d.align = align, d.set |= StyleDelta::kAlign;
}

void verticalAlign(StyleDelta& d, Span value) {
    int8_t align;
    // The bottom is a spreadsheet's standard, which Calc's cells report as standard too.
    if (value.is("bottom") || value.is("baseline") || value.is("text-bottom")) align = kVertStandard;
    else if (value.is("top") || value.is("text-top")) align = kVertTop;
    else if (value.is("middle") || value.is("center")) align = kVertCenter;
    else return;
    d.verticalAlign = align, d.set |= StyleDelta::kVerticalAlign;
}

void decoration(StyleDelta& d, Span value) {
    uint8_t lines = 0;
    Words words{value.at, value.at + value.length};
    Span word;
    bool understood = false;
    while (words.next(word)) {
        if (word.is("underline")) lines |= kUnderline, understood = true;
        else if (word.is("line-through")) lines |= kLineThrough, understood = true;
        else if (word.is("none") || word.is("overline") || word.is("blink")) understood = true;
        else if (word.is("double")) d.doubleUnderline = true, d.set |= StyleDelta::kDoubleUnderline;
    }
    if (understood) d.decoration = lines, d.set |= StyleDelta::kDecoration;
}

void declaration(StyleDelta& d, Span name, Span value) {
    if (value.length >= 10 && Span{value.at + value.length - 10, 10}.is("!important"))
        value = trimmed(value.at, value.length - 10);
    if (value.length == 0) return;
    int32_t colour;
    if (name.is("color")) {
        if (readColour(value.at, value.length, colour) && colour != kCurrentColour) d.colour = colour, d.set |= StyleDelta::kColour;
    } else if (name.is("background-color") || name.is("background")) {
        // The shorthand's colour is one of its words; "none" alone leaves no colour.
        Words words{value.at, value.at + value.length};
        Span word;
        int32_t found = kTransparent;
        while (words.next(word))
            if (readColour(word.at, word.length, colour) && colour != kCurrentColour) found = colour;
        if (found != kTransparent || name.is("background") || value.is("transparent"))
            d.background = found, d.set |= StyleDelta::kBackground;
    } else if (name.is("font-size")) {
        fontSize(d, value);
    } else if (name.is("font-weight")) {
        double number;
        Span unit;
        if (value.is("bold")) d.weight = 700;
        else if (value.is("normal")) d.weight = 400;
        else if (value.is("bolder")) d.weight = -1;
        else if (value.is("lighter")) d.weight = -2;
        else if (readNumber(value, number, unit) && !unit.length && number >= 1 && number <= 1000) d.weight = int16_t(number);
        else return;
        d.set |= StyleDelta::kWeight;
    } else if (name.is("font-style")) {
        if (value.is("italic") || value.startsWith("oblique")) d.italic = true;
        else if (value.is("normal")) d.italic = false;
        else return;
        d.set |= StyleDelta::kItalic;
    } else if (name.is("text-decoration") || name.is("text-decoration-line")) {
        decoration(d, value);
    } else if (name.is("text-decoration-style") || name.is("text-underline-style")) {
        d.doubleUnderline = value.startsWith("double"), d.set |= StyleDelta::kDoubleUnderline;
    } else if (name.is("text-align")) {
        textAlign(d, value);
    } else if (name.is("vertical-align")) {
        verticalAlign(d, value);
    } else if (name.is("white-space")) {
        if (value.is("normal") || value.is("nowrap")) d.whiteSpace = kCollapse;
        else if (value.is("pre") || value.is("pre-wrap") || value.is("break-spaces")) d.whiteSpace = kPreserve;
        else if (value.is("pre-line")) d.whiteSpace = kPreserveBreaks;
        else return;
        d.set |= StyleDelta::kWhiteSpace;
    } else if (name.is("mso-ignore")) {
        if (value.contains("colspan")) d.ignoreColspan = true, d.set |= StyleDelta::kIgnoreColspan;
    } else if (name.is("display")) {
        d.hidden = value.is("none"), d.set |= StyleDelta::kHidden;
    } else if (name.is("border")) {
        StyleDelta::Line line;
        if (lineShorthand(value, line))
            for (int side = 0; side < 4; ++side) setLine(d, side, line);
    } else if (name.startsWith("border-")) {
        const Span rest{name.at + 7, name.length - 7};
        if (rest.is("width")) return lineFourValues(d, value, StyleDelta::kWidth);
        if (rest.is("style")) return lineFourValues(d, value, StyleDelta::kStyle);
        if (rest.is("color")) return lineFourValues(d, value, StyleDelta::kLineColour);
        const char* dash = static_cast<const char*>(std::memchr(rest.at, '-', rest.length));
        const int side = sideNamed(dash ? Span{rest.at, size_t(dash - rest.at)} : rest);
        if (side < 0) return;
        StyleDelta::Line& line = d.lines[side];
        if (!dash) {
            StyleDelta::Line read;
            if (lineShorthand(value, read)) setLine(d, side, read);
            return;
        }
        const Span part{dash + 1, size_t(rest.at + rest.length - dash - 1)};
        if (part.is("width") && lineWidth(value, line.width)) d.lineSet[side] |= StyleDelta::kWidth;
        else if (part.is("style") && lineStyle(value, line.style)) d.lineSet[side] |= StyleDelta::kStyle;
        else if (part.is("color") && readColour(value.at, value.length, line.colour))
            d.lineSet[side] |= StyleDelta::kLineColour;
    }
}

}  // namespace

void readDeclaration(const char* property, const char* value, size_t valueLength, StyleDelta& delta) {
    declaration(delta, Span{property, std::strlen(property)}, trimmed(value, valueLength));
}

void readDeclarations(const char* text, size_t length, StyleDelta& delta) {
    const char* p = text;
    const char* end = text + length;
    while (p < end) {
        // One declaration up to a ';' outside quotes and parentheses.
        const char* from = p;
        char quote = 0;
        int depth = 0;
        for (; p < end; ++p) {
            if (quote) {
                if (*p == quote) quote = 0;
            } else if (*p == '"' || *p == '\'') {
                quote = *p;
            } else if (*p == '(') {
                ++depth;
            } else if (*p == ')' && depth > 0) {
                --depth;
            } else if (*p == ';' && depth == 0) {
                break;
            }
        }
        const char* colon = static_cast<const char*>(std::memchr(from, ':', size_t(p - from)));
        if (colon) declaration(delta, trimmed(from, size_t(colon - from)), trimmed(colon + 1, size_t(p - colon - 1)));
        if (p < end) ++p;
    }
}

ComputedStyle ComputedStyle::inherited() const {
    ComputedStyle child;
    child.colour = colour, child.size = size, child.weight = weight, child.italic = italic;
    child.align = align, child.verticalAlign = verticalAlign, child.whiteSpace = whiteSpace;
    child.doubleUnderline = doubleUnderline;
    return child;
}

void ComputedStyle::apply(const StyleDelta& d, float parentSize) {
    const uint32_t set = d.set;
    if (set & StyleDelta::kColour) colour = d.colour;
    if (set & StyleDelta::kBackground) background = d.background;
    if (set & StyleDelta::kSize) size = d.sizeRelative ? parentSize * d.size : d.size;
    if (set & StyleDelta::kWeight) weight = d.weight == -1 ? (weight < 600 ? 700 : 900) : d.weight == -2 ? 400 : d.weight;
    if (set & StyleDelta::kItalic) italic = d.italic;
    if (set & StyleDelta::kDecoration) decoration = d.decoration;
    if (set & StyleDelta::kDoubleUnderline) doubleUnderline = d.doubleUnderline;
    if (set & StyleDelta::kAlign) align = d.align;
    if (set & StyleDelta::kVerticalAlign) verticalAlign = d.verticalAlign;
    if (set & StyleDelta::kWhiteSpace) whiteSpace = d.whiteSpace;
    if (set & StyleDelta::kIgnoreColspan) ignoreColspan = d.ignoreColspan;
    if (set & StyleDelta::kHidden) hidden = d.hidden;
    for (int side = 0; side < 4; ++side) {
        const uint8_t lineSet = d.lineSet[side];
        if (lineSet & StyleDelta::kWidth) lines[side].width = d.lines[side].width;
        if (lineSet & StyleDelta::kStyle) lines[side].style = d.lines[side].style;
        if (lineSet & StyleDelta::kLineColour) lines[side].colour = d.lines[side].colour;
    }
}

bool StyleSheet::addRule(const char* selector, size_t length, uint32_t delta) {
    Span s = trimmed(selector, length);
    // Excel's links ("a:link") are every link: only that state of a link is taken.
    if (s.length > 5 && Span{s.at + s.length - 5, 5}.is(":link")) s.length -= 5;
    if (s.length == 0) return true;
    Rule rule;
    rule.delta = delta;
    size_t i = 0;
    rule.elementAt = uint32_t(names_.size());
    while (i < s.length && s.at[i] != '.') {
        const char c = s.at[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return true;  // combinators, ids, attributes, pseudo-classes: not for these sources' cells
        if (!names_.push(lower(c))) return false;
        ++i;
    }
    rule.elementLength = uint32_t(i);
    if (i < s.length) {
        rule.classesAt = uint32_t(names_.size());
        for (++i; i < s.length; ++i) {
            const char c = s.at[i];
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                  c == '.' || uint8_t(c) >= 0x80))
                return true;
            if (!names_.push(lower(c))) return false;
        }
        rule.classesLength = uint32_t(names_.size() - rule.classesAt);
        if (rule.classesLength == 0) return true;
    }
    int classes = 0;
    for (uint32_t k = 0; k < rule.classesLength; ++k) classes += names_[rule.classesAt + k] == '.';
    if (rule.classesLength) ++classes;
    rule.specificity = classes * 256 + (rule.elementLength ? 1 : 0);
    if (dropElementLines_ && rule.classesLength == 0 && rule.elementLength) {
        StyleDelta copy = deltas_[delta];
        for (uint8_t& side : copy.lineSet) side = 0;
        if (!deltas_.push(copy)) return false;
        rule.delta = uint32_t(deltas_.size() - 1);
    }
    return rules_.push(rule);
}

bool StyleSheet::add(const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    while (p < end) {
        if (isHtmlSpace(*p)) {
            ++p;
        } else if (end - p >= 2 && p[0] == '/' && p[1] == '*') {
            const char* close = p + 2;
            while (close + 1 < end && !(close[0] == '*' && close[1] == '/')) ++close;
            p = close + 1 < end ? close + 2 : end;
        } else if (end - p >= 4 && std::memcmp(p, "<!--", 4) == 0) {
            p += 4;
        } else if (end - p >= 3 && std::memcmp(p, "-->", 3) == 0) {
            p += 3;
        } else {
            // A rule, or an at-rule with its block: the prelude up to '{' (or ';'), the block to
            // its matching '}'.
            const char* prelude = p;
            while (p < end && *p != '{' && *p != ';') ++p;
            if (p == end) break;
            if (*p == ';') {
                ++p;
                continue;
            }
            const char* block = ++p;
            int depth = 1;
            char quote = 0;
            for (; p < end && depth > 0; ++p) {
                if (quote) quote = *p == quote ? 0 : quote;
                else if (*p == '"' || *p == '\'') quote = *p;
                else if (*p == '{') ++depth;
                else if (*p == '}') --depth;
            }
            const size_t blockLength = size_t(p - block) - (depth == 0 ? 1 : 0);
            if (*prelude == '@') continue;
            StyleDelta delta;
            readDeclarations(block, blockLength, delta);
            if (!deltas_.push(delta)) return false;
            const uint32_t index = uint32_t(deltas_.size() - 1);
            const char* selector = prelude;
            for (const char* q = prelude; q <= block - 1; ++q)
                if (q == block - 1 || *q == ',') {
                    if (!addRule(selector, size_t(q - selector), index)) return false;
                    selector = q + 1;
                }
        }
    }
    return true;
}

namespace {

// Whether every '.'-separated class of a rule is among the element's (space-separated) classes.
bool hasClasses(const char* wanted, size_t wantedLength, const char* classes, size_t classesLength) {
    const char* w = wanted;
    const char* wantedEnd = wanted + wantedLength;
    while (w < wantedEnd) {
        const char* dot = static_cast<const char*>(std::memchr(w, '.', size_t(wantedEnd - w)));
        const char* nameEnd = dot ? dot : wantedEnd;
        const size_t n = size_t(nameEnd - w);
        bool found = false;
        for (size_t i = 0; i < classesLength && !found;) {
            while (i < classesLength && isHtmlSpace(classes[i])) ++i;
            size_t j = i;
            while (j < classesLength && !isHtmlSpace(classes[j])) ++j;
            if (j - i == n) {
                found = true;
                for (size_t k = 0; k < n && found; ++k) found = lower(classes[i + k]) == w[k];
            }
            i = j;
        }
        if (!found) return false;
        w = dot ? dot + 1 : wantedEnd;
    }
    return true;
}

}  // namespace

void StyleSheet::applyTo(ComputedStyle& style, const char* element, size_t elementLength, const char* classes,
                         size_t classesLength, float parentSize) const {
    // The matching rules in order of specificity, then of the text: a short list, sorted in place.
    uint32_t matched[64];
    size_t count = 0;
    for (size_t i = 0; i < rules_.size() && count < 64; ++i) {
        const Rule& rule = rules_[i];
        if (rule.elementLength &&
            (rule.elementLength != elementLength || std::memcmp(&names_[rule.elementAt], element, elementLength) != 0))
            continue;
        if (rule.classesLength && !hasClasses(&names_[rule.classesAt], rule.classesLength, classes, classesLength))
            continue;
        size_t at = count++;
        while (at > 0 && rules_[matched[at - 1]].specificity > rule.specificity) matched[at] = matched[at - 1], --at;
        matched[at] = uint32_t(i);
    }
    for (size_t i = 0; i < count; ++i) style.apply(deltas_[rules_[matched[i]].delta], parentSize);
}

}  // namespace grid
