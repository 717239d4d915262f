#include "capture/HtmlTable.h"

#include <cstring>

#include "capture/HtmlStyle.h"
#include "capture/HtmlTokenizer.h"
#include "core/CellGrid.h"
#include "core/Growing.h"

namespace grid {
namespace {

constexpr int32_t kMostColumnSpan = 1000;
constexpr int32_t kMostRowSpan = 65534;
constexpr int32_t kMostColumns = 16384;
constexpr size_t kMostTextUnits = size_t(64) << 20;
constexpr size_t kMostOpenElements = 512;
constexpr int32_t kLinkColour = 0x0000EE;  // a browser's, where the body names none


// Characters that show nothing of a text's look: white space, Unicode's spaces among them.
bool isBlank(uint32_t c) {
    return c <= ' ' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
           c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

bool sameText(const char* a, size_t length, const char* b) {
    return std::strlen(b) == length && std::memcmp(a, b, length) == 0;
}
// A whole number as HTML reads a span: leading digits, anything after them ignored; `fallback`
// where none.
int32_t spanValue(const char* text, size_t length, int32_t fallback, int32_t most) {
    size_t i = 0;
    while (i < length && isHtmlSpace(text[i])) ++i;
    const bool negative = i < length && text[i] == '-';
    if (i < length && (text[i] == '+' || text[i] == '-')) ++i;
    int64_t value = 0;
    const size_t first = i;
    while (i < length && text[i] >= '0' && text[i] <= '9' && value <= most) value = value * 10 + (text[i++] - '0');
    if (i == first || (negative && value != 0)) return fallback;
    return value > most ? most : int32_t(value);
}

// UTF-8 as a browser takes it: shortest forms, no surrogates, nothing beyond U+10FFFF.
bool validUtf8(const uint8_t* s, size_t n) {
    for (size_t i = 0; i < n;) {
        const uint8_t c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t count;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) count = 1, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) count = 2, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) count = 3, cp = c & 0x07;
        else return false;
        if (n - i <= count) return false;
        for (size_t k = 1; k <= count; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if ((count == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (count == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += count + 1;
    }
    return true;
}

// A decimal field of Windows' HTML header ("StartHTML:0000000105"); -1 where it is not there.
int64_t headerField(const char* header, size_t length, const char* name) {
    const size_t n = std::strlen(name);
    for (size_t i = 0; i + n < length; ++i) {
        if ((i == 0 || header[i - 1] == '\n' || header[i - 1] == '\r') && std::memcmp(header + i, name, n) == 0) {
            size_t k = i + n;
            bool negative = k < length && header[k] == '-';
            if (negative) ++k;
            int64_t value = 0;
            const size_t first = k;
            while (k < length && header[k] >= '0' && header[k] <= '9' && value < (int64_t(1) << 40))
                value = value * 10 + (header[k++] - '0');
            return (k == first || negative) ? -1 : value;
        }
    }
    return -1;
}

// The HTML of the clipboard's bytes as UTF-8: Windows' header read, a byte-order mark followed.
bool htmlText(const uint8_t* bytes, size_t size, Growing<char>& converted, const char*& html, size_t& length) {
    if (const void* nul = std::memchr(bytes, 0, size); nul && !(size >= 2 && (bytes[0] == 0xFF || bytes[0] == 0xFE || bytes[1] == 0)))
        size = size_t(static_cast<const uint8_t*>(nul) - bytes);
    const bool littleEndian = size >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] != 0 && bytes[1] == 0));
    const bool bigEndian = size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
    if (littleEndian || bigEndian) {
        const size_t skip = (bytes[0] == 0xFF || bytes[0] == 0xFE) ? 2 : 0;
        for (size_t i = skip; i + 1 < size; i += 2) {
            uint32_t unit = littleEndian ? bytes[i] | (bytes[i + 1] << 8) : (bytes[i] << 8) | bytes[i + 1];
            if (unit == 0) break;
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                if (i + 3 >= size) return false;
                const uint32_t low = littleEndian ? bytes[i + 2] | (bytes[i + 3] << 8) : (bytes[i + 2] << 8) | bytes[i + 3];
                if (low < 0xDC00 || low > 0xDFFF) return false;
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                return false;
            }
            char out[4];
            if (!converted.append(out, utf8Of(unit, out))) return false;
        }
        html = converted.size() ? &converted[0] : "", length = converted.size();
        return true;
    }
    html = reinterpret_cast<const char*>(bytes), length = size;
    if (length >= 3 && std::memcmp(html, "\xEF\xBB\xBF", 3) == 0) html += 3, length -= 3;
    if (length >= 8 && std::memcmp(html, "Version:", 8) == 0) {
        // Windows' header: the document from StartHTML to EndHTML, else the fragment alone.
        const size_t headerLength = length < 1024 ? length : 1024;
        int64_t from = headerField(html, headerLength, "StartHTML:"), to = headerField(html, headerLength, "EndHTML:");
        if (from < 0 || to < from) {
            from = headerField(html, headerLength, "StartFragment:"), to = headerField(html, headerLength, "EndFragment:");
            if (from < 0 || to < from) return false;
        }
        if (size_t(from) > length) return false;
        if (size_t(to) > length) to = int64_t(length);
        html += from, length = size_t(to - from);
    }
    return validUtf8(reinterpret_cast<const uint8_t*>(html), length);
}

enum class Kind : uint8_t { other, table, group, row, cell, block };

struct OpenElement {
    char name[12];
    uint8_t nameLength;
    Kind kind;
    uint8_t decorations;  // the box's own and its ancestors', as text shows them
    ComputedStyle style;
};

struct ParsedCell {
    int32_t row, column, columnSpan, rowSpan, group;
    uint32_t textAt;
    int32_t textLength;
    bool ignoreColspan;
    CalcCellFormat format;  // lines on every side of the cell's box
};

// Elements that end a line in a cell's text before and after them; `p` leaves an empty line.
int linesAround(const char* name, size_t length) {
    if (sameText(name, length, "p")) return 2;
    static const char* const blocks[] = {"div", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol", "li", "blockquote",
                                         "pre", "dl", "dt", "dd", "address", "center", "section", "article",
                                         "header", "footer", "nav", "aside", "figure", "hr", "main", "form"};
    for (const char* b : blocks)
        if (sameText(name, length, b)) return 1;
    return 0;
}

bool isVoid(const char* name, size_t length) {
    static const char* const voids[] = {"br", "img", "wbr", "hr", "input", "meta", "link", "col", "area", "base",
                                        "embed", "param", "source", "track", "keygen"};
    for (const char* v : voids)
        if (sameText(name, length, v)) return true;
    return false;
}

// A format's fields hashed, so that equal formats share one entry.
uint32_t hashOf(const CalcCellFormat& f) {
    static_assert(sizeof f % 4 == 0);
    uint32_t words[sizeof f / 4];
    std::memcpy(words, &f, sizeof f);
    uint32_t h = 2166136261u;
    for (uint32_t w : words) h = (h ^ w) * 16777619u;
    return h ^ (h >> 15);
}

}  // namespace

class HtmlTableReader {
public:
    explicit HtmlTableReader(PackageCells& out) : out_(out) {}
    PackageResult read(const char* html, size_t length);

private:
    bool fail(PackageResult result = PackageResult::notUnderstood) {
        if (result_ == PackageResult::ok) result_ = result;
        return false;
    }
    bool readStyleSheets(const char* html, size_t length);
    bool startTag(HtmlTokenizer& t);
    bool endTag(const char* name, size_t length);
    bool text(const char* utf8, size_t length);
    bool push(const char* name, size_t length, Kind kind, const ComputedStyle& style);
    void popTo(size_t depth);
    int64_t find(Kind kind) const;
    int64_t findNamed(const char* name, size_t length) const;
    const ComputedStyle& top() const { return open_[open_.size() - 1].style; }
    ComputedStyle styleOf(HtmlTokenizer& t, const ComputedStyle& parent, Kind kind);
    bool startRow(HtmlTokenizer* t);
    bool startGroup(HtmlTokenizer* t);
    bool endGroup();
    void endRow();
    bool startCell(HtmlTokenizer& t);
    bool endCell();
    bool appendUnit(char16_t unit);
    bool flushPending();
    bool placeCells();
    int32_t formatIndex(const CalcCellFormat& format);
    CalcCellFormat formatOf(const ComputedStyle& cell, const ComputedStyle& text, uint8_t decorations) const;

    PackageCells& out_;
    PackageResult result_ = PackageResult::ok;
    StyleSheet sheet_;
    bool sheetsOrigin_ = false;   // Google Sheets' copy: its gridlines are no lines of the cells
    int32_t linkColour_ = kLinkColour;
    int tables_ = 0;
    bool inTable_ = false;
    int tableBorder_ = 0;         // the table's border attribute, which draws the cells' lines
    Growing<OpenElement> open_;
    Growing<ParsedCell> cells_;
    Growing<char16_t> texts_;
    Growing<int32_t> busyUntil_;  // per column: the first row not covered by a span from above
    Growing<int32_t> rowFormats_; // per row: the format of a slot no cell covers
    Growing<CalcCellFormat> formats_;
    Growing<int32_t> formatTable_;  // open addressing over formats_, -1 free
    int32_t rows_ = 0, columns_ = 0, nextColumn_ = 0, group_ = 0, groupFirstRow_ = 0;
    bool rowOpen_ = false, groupOpen_ = false, rowHidden_ = false, rowHasCells_ = false;
    // The cell being read.
    bool inCell_ = false, pendingSpace_ = false;
    bool endsWithBreak_ = false;  // the text ends with a <br>'s line feed
    bool textStyled_ = false;     // the style of the cell's first visible character is taken
    bool afterPre_ = false;       // a line feed right after <pre> is no text
    int pendingLines_ = 0;
    ComputedStyle textStyle_;
    uint8_t textDecorations_ = 0;
};

bool HtmlTableReader::push(const char* name, size_t length, Kind kind, const ComputedStyle& style) {
    if (open_.size() >= kMostOpenElements) return fail();
    OpenElement e;
    e.nameLength = uint8_t(length < sizeof e.name ? length : 0);  // a longer name is never closed by name
    std::memcpy(e.name, name, e.nameLength);
    e.kind = kind;
    e.decorations = uint8_t((open_.size() ? open_[open_.size() - 1].decorations : 0) | style.decoration);
    e.style = style;
    return open_.push(e) || fail(PackageResult::noMemory);
}

void HtmlTableReader::popTo(size_t depth) {
    if (depth < open_.size()) open_.resize(depth);
}

int64_t HtmlTableReader::find(Kind kind) const {
    for (size_t i = open_.size(); i-- > 0;) {
        if (open_[i].kind == kind) return int64_t(i);
        if (open_[i].kind == Kind::table) return -1;
    }
    return -1;
}

int64_t HtmlTableReader::findNamed(const char* name, size_t length) const {
    for (size_t i = open_.size(); i-- > 0;) {
        if (open_[i].nameLength == length && std::memcmp(open_[i].name, name, length) == 0) return int64_t(i);
        if (open_[i].kind != Kind::other && open_[i].kind != Kind::block) return -1;  // not past a table's parts
    }
    return -1;
}

// An element's style: inherited, then what the element itself means, its attributes, the rules
// that match it and its own style attribute, in that order of precedence.
ComputedStyle HtmlTableReader::styleOf(HtmlTokenizer& t, const ComputedStyle& parent, Kind kind) {
    ComputedStyle s = parent.inherited();
    StyleDelta hints;
    size_t length;
    const char* value;
    if (kind == Kind::table) {
        // Without a doctype, as these copies come, a table does not inherit the page's font.
        s.size = 12, s.weight = 400, s.italic = false, s.whiteSpace = kCollapse, s.align = kHoriStandard;
    }
    if (kind == Kind::group) s.verticalAlign = kVertCenter;
    if (t.isTag("th")) hints.weight = 700, hints.align = kHoriCenter, hints.set |= StyleDelta::kWeight | StyleDelta::kAlign;
    if (t.isTag("b") || t.isTag("strong")) hints.weight = -1, hints.set |= StyleDelta::kWeight;
    if (t.isTag("i") || t.isTag("em") || t.isTag("cite") || t.isTag("var") || t.isTag("dfn") || t.isTag("address"))
        hints.italic = true, hints.set |= StyleDelta::kItalic;
    if (t.isTag("u") || t.isTag("ins")) hints.decoration = kUnderline, hints.set |= StyleDelta::kDecoration;
    if (t.isTag("s") || t.isTag("strike") || t.isTag("del")) hints.decoration = kLineThrough, hints.set |= StyleDelta::kDecoration;
    if (t.isTag("a") && t.attribute("href", length))
        hints.colour = linkColour_, hints.decoration = kUnderline, hints.set |= StyleDelta::kColour | StyleDelta::kDecoration;
    if (t.isTag("pre") || t.isTag("listing") || t.isTag("xmp"))
        hints.whiteSpace = kPreserve, hints.set |= StyleDelta::kWhiteSpace;
    // A browser draws monospace text of the medium size at 13px, not 16px.
    if ((t.isTag("pre") || t.isTag("code") || t.isTag("kbd") || t.isTag("samp") || t.isTag("tt") || t.isTag("listing") ||
         t.isTag("xmp")) &&
        parent.size == 12)
        hints.size = 9.75f, hints.set |= StyleDelta::kSize;
    if (t.isTag("center")) hints.align = kHoriCenter, hints.set |= StyleDelta::kAlign;
    // The attributes tables and old pages use for alignment, read as the properties they stand for.
    if ((kind == Kind::cell || kind == Kind::row || kind == Kind::group || t.isTag("div") || t.isTag("p")) &&
        (value = t.attribute("align", length)))
        readDeclaration("text-align", value, length, hints);
    if ((kind == Kind::cell || kind == Kind::row || kind == Kind::group) && (value = t.attribute("valign", length)))
        readDeclaration("vertical-align", value, length, hints);
    if (kind != Kind::other && kind != Kind::block) {
        int32_t colour;
        if ((value = t.attribute("bgcolor", length)) && readColour(value, length, colour))
            hints.background = colour, hints.set |= StyleDelta::kBackground;
    }
    if (kind == Kind::cell && tableBorder_ > 0) {
        for (int side = 0; side < 4; ++side) {
            hints.lines[side] = {26, kLineSingle, kCurrentColour};
            hints.lineSet[side] = StyleDelta::kWidth | StyleDelta::kStyle | StyleDelta::kLineColour;
        }
    }
    if (t.isTag("font")) {
        int32_t colour;
        if ((value = t.attribute("color", length)) && readColour(value, length, colour) && colour >= 0)
            hints.colour = colour, hints.set |= StyleDelta::kColour;
        if ((value = t.attribute("size", length))) {
            static const float pixels[] = {10, 13, 16, 18, 24, 32, 48};
            int32_t size = spanValue(value, length, -1, 100);
            if (length && (value[0] == '+' || value[0] == '-')) {
                const int32_t step = spanValue(value + 1, length - 1, -1, 100);
                size = step < 0 ? -1 : value[0] == '+' ? 3 + step : 3 - step;
            }
            if (size >= 0) {
                size = size < 1 ? 1 : size > 7 ? 7 : size;
                hints.size = pixels[size - 1] * 0.75f, hints.set |= StyleDelta::kSize;
            }
        }
    }
    s.apply(hints, parent.size);
    const char* classes = t.attribute("class", length);
    sheet_.applyTo(s, t.name(), t.nameLength(), classes ? classes : "", classes ? length : 0, parent.size);
    if ((value = t.attribute("style", length))) {
        StyleDelta inlineStyle;
        readDeclarations(value, length, inlineStyle);
        s.apply(inlineStyle, parent.size);
    }
    return s;
}

bool HtmlTableReader::startGroup(HtmlTokenizer* t) {
    if (!endGroup()) return false;
    const int64_t table = find(Kind::table);
    popTo(size_t(table + 1));
    ComputedStyle s;
    if (t) {
        s = styleOf(*t, top(), Kind::group);
    } else {
        s = top().inherited();
        s.verticalAlign = kVertCenter;
    }
    groupOpen_ = true;
    groupFirstRow_ = rows_;
    ++group_;
    return push(t ? t->name() : "tbody", t ? t->nameLength() : 5, Kind::group, s);
}

// A row ends. One with no cell that no area crosses shows nothing in a browser and is left out.
void HtmlTableReader::endRow() {
    if (rowOpen_ && !rowHidden_) {
        bool crossed = rowHasCells_;
        for (size_t c = 0; c < busyUntil_.size() && !crossed; ++c) crossed = busyUntil_[c] > rows_;
        if (crossed) ++rows_;
        else rowFormats_.resize(rowFormats_.size() - 1);
    }
    rowOpen_ = false;
}

// A row group ends: spans reaching beyond it end with its last row, as browsers end them.
bool HtmlTableReader::endGroup() {
    endRow();
    if (!groupOpen_) return true;
    groupOpen_ = false;
    for (size_t i = cells_.size(); i-- > 0 && cells_[i].group == group_;)
        if (cells_[i].row + cells_[i].rowSpan > rows_) cells_[i].rowSpan = rows_ - cells_[i].row;
    for (size_t c = 0; c < busyUntil_.size(); ++c)
        if (busyUntil_[c] > rows_) busyUntil_[c] = rows_;
    return true;
}

bool HtmlTableReader::startRow(HtmlTokenizer* t) {
    if (find(Kind::group) < 0 && !startGroup(nullptr)) return false;
    popTo(size_t(find(Kind::group) + 1));
    endRow();
    ComputedStyle s = t ? styleOf(*t, top(), Kind::row) : top().inherited();
    rowOpen_ = true;
    rowHasCells_ = false;
    rowHidden_ = s.hidden;
    if (rowHidden_) {
        // A row the source hides (Excel's hidden rows): left out, unless a span crosses it.
        for (size_t c = 0; c < busyUntil_.size(); ++c)
            if (busyUntil_[c] > rows_) return fail();
    }
    nextColumn_ = 0;
    if (!push(t ? t->name() : "tr", t ? t->nameLength() : 2, Kind::row, s)) return false;
    // What a slot no cell covers shows: a cell's box without text, as the row's rules give it.
    ComputedStyle bare = s.inherited();
    sheet_.applyTo(bare, "td", 2, "", 0, s.size);
    if (bare.background == kTransparent) bare.background = s.background;
    if (bare.background == kTransparent) bare.background = open_[size_t(find(Kind::group))].style.background;
    if (bare.background == kTransparent) bare.background = open_[size_t(find(Kind::table))].style.background;
    if (!rowHidden_ && !rowFormats_.push(formatIndex(formatOf(bare, bare, open_[open_.size() - 1].decorations))))
        return fail(PackageResult::noMemory);
    return result_ == PackageResult::ok;
}

bool HtmlTableReader::startCell(HtmlTokenizer& t) {
    if (find(Kind::row) < 0 && !startRow(nullptr)) return false;
    popTo(size_t(find(Kind::row) + 1));
    const ComputedStyle s = styleOf(t, top(), Kind::cell);
    size_t length;
    const char* value;
    int32_t columnSpan = (value = t.attribute("colspan", length)) ? spanValue(value, length, 1, kMostColumnSpan) : 1;
    int32_t rowSpan = (value = t.attribute("rowspan", length)) ? spanValue(value, length, 1, kMostRowSpan) : 1;
    if (columnSpan < 1) columnSpan = 1;
    if (rowSpan == 0) rowSpan = kMostRowSpan;  // to the end of the row group
    if (rowHidden_) {
        if (rowSpan > 1 || s.hidden) return fail();
        inCell_ = false;
        return push(t.name(), t.nameLength(), Kind::cell, s);
    }
    if (s.hidden) return fail();
    rowHasCells_ = true;
    // The first slot no span from above covers, and room for the whole span.
    while (nextColumn_ < int32_t(busyUntil_.size()) && busyUntil_[size_t(nextColumn_)] > rows_) ++nextColumn_;
    const int32_t last = nextColumn_ + columnSpan;
    if (last > kMostColumns || int64_t(rows_ + 1) * (last > columns_ ? last : columns_) > kMostPackageCells) return fail();
    while (int32_t(busyUntil_.size()) < last)
        if (!busyUntil_.push(0)) return fail(PackageResult::noMemory);
    for (int32_t c = nextColumn_; c < last; ++c) {
        if (busyUntil_[size_t(c)] > rows_) return fail();  // spans that overlap
        busyUntil_[size_t(c)] = rows_ + rowSpan;
    }
    if (last > columns_) columns_ = last;
    ParsedCell cell{};
    cell.row = rows_, cell.column = nextColumn_, cell.columnSpan = columnSpan, cell.rowSpan = rowSpan;
    cell.group = group_;
    cell.ignoreColspan = s.ignoreColspan && columnSpan > 1 && rowSpan == 1;
    nextColumn_ = last;
    cell.textAt = uint32_t(texts_.size());
    if (!cells_.push(cell) || !push(t.name(), t.nameLength(), Kind::cell, s)) return fail(PackageResult::noMemory);
    inCell_ = true, pendingSpace_ = false, pendingLines_ = 0, endsWithBreak_ = false;
    textStyled_ = false;
    textStyle_ = s, textDecorations_ = open_[open_.size() - 1].decorations;
    return true;
}

bool HtmlTableReader::endCell() {
    const int64_t at = find(Kind::cell);
    if (at < 0) return true;
    if (inCell_) {
        inCell_ = false;
        const ComputedStyle& s = open_[size_t(at)].style;
        ComputedStyle box = s;
        // The background shows the row's, the group's or the table's where the cell has none.
        for (Kind k : {Kind::row, Kind::group, Kind::table})
            if (box.background == kTransparent) box.background = open_[size_t(find(k))].style.background;
        ParsedCell& cell = cells_[cells_.size() - 1];
        // A <br> that ends the text ends its last line and starts none.
        if (endsWithBreak_ && texts_.size() > cell.textAt) texts_.resize(texts_.size() - 1);
        cell.textLength = int32_t(texts_.size() - cell.textAt);
        cell.format = formatOf(box, textStyle_, textDecorations_);
        if (!texts_.push(0)) return fail(PackageResult::noMemory);
    }
    popTo(size_t(at));
    return true;
}

CalcCellFormat HtmlTableReader::formatOf(const ComputedStyle& cell, const ComputedStyle& text, uint8_t decorations) const {
    CalcCellFormat f;
    f.horiJustify = cell.align;
    f.vertJustify = cell.verticalAlign;
    f.charColor = text.colour;
    // Whole points as the capture keeps them; a little more so that 13.333px stays 10pt.
    f.charHeight = text.size + 0.001f;
    f.charWeight = text.weight >= 700 ? 150.0f : 100.0f;
    f.underline = (decorations & kUnderline) ? (text.doubleUnderline ? 2 : 1) : 0;
    f.strikeout = (decorations & kLineThrough) ? 1 : 0;
    f.posture = text.italic ? 2 : 0;
    f.backColor = cell.background;
    for (int side = 0; side < 4; ++side) {
        const StyleDelta::Line& line = cell.lines[side];
        CalcCellFormat::Line& to = f.lines[side];
        if (line.style == kLineNone || line.style == kLineHidden || line.width <= 0) continue;
        const int32_t width = line.width;
        if (line.style == kLineDouble) to.inner = to.outer = width / 3 > 0 ? width / 3 : 1;
        else to.outer = width;
        to.color = line.colour == kCurrentColour ? cell.colour : line.colour;
    }
    return f;
}

int32_t HtmlTableReader::formatIndex(const CalcCellFormat& format) {
    if (formatTable_.size() == 0 || formats_.size() * 2 >= formatTable_.size()) {
        // Grown and filled again, at most half full.
        const size_t size = formatTable_.size() ? formatTable_.size() * 2 : 64;
        Growing<int32_t> grown;
        if (!grown.reserve(size)) return fail(PackageResult::noMemory), 0;
        grown.resize(size);
        for (size_t i = 0; i < size; ++i) grown[i] = -1;
        for (size_t f = 0; f < formats_.size(); ++f) {
            size_t slot = hashOf(formats_[f]) & (size - 1);
            while (grown[slot] >= 0) slot = (slot + 1) & (size - 1);
            grown[slot] = int32_t(f);
        }
        formatTable_.resize(0);
        if (!formatTable_.reserve(size)) return fail(PackageResult::noMemory), 0;
        formatTable_.append(&grown[0], size);
    }
    const size_t mask = formatTable_.size() - 1;
    for (size_t slot = hashOf(format) & mask;; slot = (slot + 1) & mask) {
        const int32_t f = formatTable_[slot];
        if (f < 0) {
            if (!formats_.push(format)) return fail(PackageResult::noMemory), 0;
            formatTable_[slot] = int32_t(formats_.size() - 1);
            return int32_t(formats_.size() - 1);
        }
        if (std::memcmp(&formats_[size_t(f)], &format, sizeof format) == 0) return f;
    }
}

bool HtmlTableReader::appendUnit(char16_t unit) {
    if (texts_.size() >= kMostTextUnits) return fail();
    endsWithBreak_ = false;
    return texts_.push(unit) || fail(PackageResult::noMemory);
}

// What collapsed before the next character: the lines a block asks for, as innerText gives them
// (the most of those around it, none at the text's start), else one space.
bool HtmlTableReader::flushPending() {
    if (pendingLines_ > 0 && texts_.size() > cells_[cells_.size() - 1].textAt) {
        for (int i = 0; i < pendingLines_; ++i)
            if (!appendUnit(u'\n')) return false;
    } else if (pendingSpace_ && pendingLines_ == 0) {
        if (!appendUnit(u' ')) return false;
    }
    pendingLines_ = 0, pendingSpace_ = false;
    return true;
}

bool HtmlTableReader::text(const char* s, size_t length) {
    if (!inCell_) {
        for (size_t i = 0; i < length; ++i)
            if (!isHtmlSpace(s[i])) {
                // Text beside the table (or in a hidden row's cell, which is left out).
                if (find(Kind::cell) >= 0 && rowHidden_) return true;
                return fail();
            }
        return true;
    }
    const int8_t whiteSpace = top().whiteSpace;
    if (afterPre_ && length && s[0] == '\n') ++s, --length;
    afterPre_ = false;
    for (size_t i = 0; i < length;) {
        const char c = s[i];
        // HTML's white space collapses, the form feed too (browsers drop it at a line's edges,
        // though not always inside one).
        if (isHtmlSpace(c) && (whiteSpace == kCollapse || (whiteSpace == kPreserveBreaks && c != '\n'))) {
            const bool empty = texts_.size() == cells_[cells_.size() - 1].textAt;
            if (!empty && texts_[texts_.size() - 1] != u'\n') pendingSpace_ = true;
            ++i;
            continue;
        }
        if (c == '\n' && whiteSpace == kPreserveBreaks) {
            pendingSpace_ = false;
            if (!flushPending() || !appendUnit(u'\n')) return false;
            ++i;
            continue;
        }
        if (!flushPending()) return false;
        // One character from UTF-8 (checked whole before the reading).
        const uint8_t b = uint8_t(c);
        uint32_t cp;
        size_t n;
        if (b < 0x80) cp = b, n = 1;
        else if (b < 0xE0) cp = b & 0x1F, n = 2;
        else if (b < 0xF0) cp = b & 0x0F, n = 3;
        else cp = b & 0x07, n = 4;
        if (i + n > length) return fail();
        for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (uint8_t(s[i + k]) & 0x3F);
        i += n;
        if (!textStyled_ && !isBlank(cp)) {
            // The first visible character decides how the cell's text looks.
            textStyle_ = top(), textDecorations_ = open_[open_.size() - 1].decorations;
            textStyled_ = true;
        }
        if (cp == 0xA0) cp = ' ';  // a space kept from collapsing is a space of the cell's text
        if (cp >= 0x10000) {
            if (!appendUnit(char16_t(0xD800 + ((cp - 0x10000) >> 10))) || !appendUnit(char16_t(0xDC00 + (cp & 0x3FF))))
                return false;
        } else if (!appendUnit(char16_t(cp))) {
            return false;
        }
    }
    return true;
}

bool HtmlTableReader::startTag(HtmlTokenizer& t) {
    afterPre_ = false;
    const char* name = t.name();
    const size_t length = t.nameLength();
    if (t.isTag("google-sheets-html-origin")) return true;
    if (t.isTag("body")) {
        size_t n;
        int32_t colour;
        if (const char* link = t.attribute("link", n); link && readColour(link, n, colour) && colour >= 0) linkColour_ = colour;
    }
    if (t.isTag("table")) {
        if (inTable_ || tables_ > 0) return fail();  // a table in a table, or a second one
        ++tables_;
        inTable_ = true;
        size_t n;
        const char* border = t.attribute("border", n);
        tableBorder_ = border && !sheetsOrigin_ ? spanValue(border, n, 1, 1000) : 0;
        return push(name, length, Kind::table, styleOf(t, top(), Kind::table));
    }
    if (!inTable_) {
        if (t.isTag("tr") || t.isTag("td") || t.isTag("th") || t.isTag("tbody") || t.isTag("thead") || t.isTag("tfoot") ||
            t.isTag("caption") || t.isTag("col") || t.isTag("colgroup"))
            return true;  // a table's part outside a table is dropped, as browsers drop it
        if (isVoid(name, length)) return true;
        return push(name, length, Kind::other, styleOf(t, top(), Kind::other));
    }
    if (t.isTag("caption")) return fail();
    if (t.isTag("col") || t.isTag("colgroup")) return true;
    if (t.isTag("tbody") || t.isTag("thead") || t.isTag("tfoot")) return endCell() && startGroup(&t);
    if (t.isTag("tr")) return endCell() && startRow(&t);
    if (t.isTag("td") || t.isTag("th")) return endCell() && startCell(t);
    if (find(Kind::cell) < 0) {
        // Other elements between a table's parts stand outside it in a browser.
        if (isVoid(name, length) || t.isTag("form")) return true;
        if (t.isTag("style") || t.isTag("script") || t.isTag("template"))
            return push(name, length, Kind::other, top().inherited());
        return fail();
    }
    if (!inCell_) return isVoid(name, length) ? true : push(name, length, Kind::other, top().inherited());
    if (t.isTag("br")) {
        pendingSpace_ = false;
        if (pendingLines_ && !flushPending()) return false;
        if (!appendUnit(u'\n')) return false;
        endsWithBreak_ = true;
        return true;
    }
    if (const int lines = linesAround(name, length)) {
        pendingSpace_ = false;
        if (lines > pendingLines_) pendingLines_ = lines;
    }
    if (isVoid(name, length)) return true;
    afterPre_ = t.isTag("pre") || t.isTag("listing");
    return push(name, length, linesAround(name, length) ? Kind::block : Kind::other, styleOf(t, top(), Kind::other));
}

bool HtmlTableReader::endTag(const char* name, size_t length) {
    afterPre_ = false;
    if (sameText(name, length, "table")) {
        if (!inTable_) return true;
        if (!endCell() || !endGroup()) return false;
        inTable_ = false;
        popTo(size_t(find(Kind::table)));
        return true;
    }
    if (!inTable_) {
        const int64_t at = findNamed(name, length);
        if (at >= 0) popTo(size_t(at));
        return true;
    }
    if (sameText(name, length, "td") || sameText(name, length, "th")) return endCell();
    if (sameText(name, length, "tr")) {
        if (!endCell()) return false;
        if (const int64_t row = find(Kind::row); row >= 0) {
            popTo(size_t(row));
            endRow();
        }
        return true;
    }
    if (sameText(name, length, "tbody") || sameText(name, length, "thead") || sameText(name, length, "tfoot")) {
        if (!endCell()) return false;
        if (const int64_t group = find(Kind::group); group >= 0) {
            popTo(size_t(group));
            return endGroup();
        }
        return true;
    }
    if (sameText(name, length, "br") && inCell_) {
        if (!appendUnit(u'\n')) return false;
        endsWithBreak_ = true;
        return true;
    }
    const int64_t at = findNamed(name, length);
    if (at < 0) return true;
    if (inCell_ && open_[size_t(at)].kind == Kind::block) {
        const int lines = linesAround(name, length);
        pendingSpace_ = false;
        if (lines > pendingLines_) pendingLines_ = lines;
    }
    popTo(size_t(at));
    return true;
}

// The slots of the grid from the cells read: an area's anchor and covered slots, a text running
// over empty cells (`mso-ignore:colspan`) as plain cells, the lines of each slot on the area's
// edges only; then a line drawn between two slots becomes a line of both.
bool HtmlTableReader::placeCells() {
    if (rows_ == 0 || columns_ == 0) return fail();
    if (int64_t(rows_) * columns_ > kMostPackageCells) return fail();
    const size_t count = size_t(rows_) * size_t(columns_);
    AllocationFailure failure = AllocationFailure::none;
    out_.cells_ = static_cast<PackageCell*>(allocateArray(count, sizeof(PackageCell), failure));
    if (!out_.cells_) return fail(PackageResult::noMemory);
    out_.rows = rows_, out_.columns = columns_;
    // Slots no cell covers: empty, in their row's format; the texts' store starts with an empty one.
    const uint32_t emptyText = uint32_t(texts_.size());
    if (!texts_.push(0)) return fail(PackageResult::noMemory);
    for (int32_t r = 0; r < rows_; ++r)
        for (int32_t c = 0; c < columns_; ++c) {
            PackageCell& slot = out_.cells_[size_t(c) + size_t(r) * size_t(columns_)];
            slot = PackageCell{};
            slot.textAt = emptyText;
            slot.format = rowFormats_[size_t(r)];
        }
    // Which cell each slot shows, so that lines are shared between different cells only.
    Growing<int32_t> owners;
    if (!owners.reserve(count)) return fail(PackageResult::noMemory);
    owners.resize(count);
    for (size_t i = 0; i < count; ++i) owners[i] = -1;
    for (size_t i = 0; i < cells_.size(); ++i) {
        const ParsedCell& cell = cells_[i];
        const int32_t lastRow = cell.row + cell.rowSpan - 1, lastColumn = cell.column + cell.columnSpan - 1;
        const bool area = !cell.ignoreColspan && (cell.columnSpan > 1 || cell.rowSpan > 1);
        for (int32_t r = cell.row; r <= lastRow; ++r)
            for (int32_t c = cell.column; c <= lastColumn; ++c) {
                const bool anchor = r == cell.row && c == cell.column;
                CalcCellFormat f = cell.format;
                // An area's anchor carries the area's four lines, as Calc reports them.
                if (!(anchor && area)) {
                    if (c != cell.column) f.lines[kLeft] = {};
                    if (c != lastColumn) f.lines[kRight] = {};
                    if (r != cell.row) f.lines[kTop] = {};
                    if (r != lastRow) f.lines[kBottom] = {};
                }
                const size_t at = size_t(c) + size_t(r) * size_t(columns_);
                PackageCell& slot = out_.cells_[at];
                slot.format = formatIndex(f);
                owners[at] = int32_t(i);
                if (anchor) {
                    slot.textAt = cell.textAt, slot.textLength = cell.textLength;
                    if (!cell.ignoreColspan) slot.columnSpan = cell.columnSpan, slot.rowSpan = cell.rowSpan;
                } else {
                    slot.covered = !cell.ignoreColspan;
                }
                slot.seen = true;
            }
    }
    if (result_ != PackageResult::ok) return false;
    // A line between two slots of different cells is both slots' line.
    auto share = [&](size_t atA, int sideA, size_t atB, int sideB) {
        if (owners[atA] >= 0 && owners[atA] == owners[atB]) return;
        PackageCell& a = out_.cells_[atA];
        PackageCell& b = out_.cells_[atB];
        const CalcCellFormat::Line la = formats_[size_t(a.format)].lines[sideA];
        const CalcCellFormat::Line lb = formats_[size_t(b.format)].lines[sideB];
        const bool hasA = la.inner > 0 || la.outer > 0, hasB = lb.inner > 0 || lb.outer > 0;
        if (hasA == hasB) return;
        PackageCell& to = hasA ? b : a;
        CalcCellFormat f = formats_[size_t(to.format)];
        f.lines[hasA ? sideB : sideA] = hasA ? la : lb;
        to.format = formatIndex(f);
    };
    for (int32_t r = 0; r < rows_; ++r)
        for (int32_t c = 0; c < columns_; ++c) {
            const size_t at = size_t(c) + size_t(r) * size_t(columns_);
            if (c + 1 < columns_) share(at, kRight, at + 1, kLeft);
            if (r + 1 < rows_) share(at, kBottom, at + size_t(columns_), kTop);
        }
    if (result_ != PackageResult::ok) return false;
    out_.texts_ = texts_.release();
    out_.formats_ = formats_.release();
    return true;
}

// Every <style> element's rules apply to the whole document, wherever the element stands: they are
// read first. Google Sheets' marker says that its element rules' lines are the gridlines.
bool HtmlTableReader::readStyleSheets(const char* html, size_t length) {
    HtmlTokenizer t(html, length);
    t.leaveUndecoded();
    Growing<size_t> sheets;  // offset and length of each style element's text
    bool inStyle = false;
    for (HtmlTokenKind kind; (kind = t.next()) != HtmlTokenKind::end;) {
        if (kind == HtmlTokenKind::noMemory) return fail(PackageResult::noMemory);
        if (kind == HtmlTokenKind::startTag) {
            inStyle = t.isTag("style");
            if (t.isTag("google-sheets-html-origin")) sheetsOrigin_ = true;
        } else if (kind == HtmlTokenKind::rawText && inStyle && t.textLength()) {
            if (!sheets.push(size_t(t.text() - html)) || !sheets.push(t.textLength())) return fail(PackageResult::noMemory);
        }
        if (kind != HtmlTokenKind::startTag) inStyle = false;
    }
    if (sheetsOrigin_) sheet_.dropElementLines();
    for (size_t i = 0; i + 1 < sheets.size(); i += 2)
        if (!sheet_.add(html + sheets[i], sheets[i + 1])) return fail(PackageResult::noMemory);
    return true;
}

PackageResult HtmlTableReader::read(const char* html, size_t length) {
    if (!readStyleSheets(html, length)) return result_;
    HtmlTokenizer t(html, length);
    ComputedStyle root;
    if (!push("html", 0, Kind::other, root)) return result_;
    for (;;) {
        const HtmlTokenKind kind = t.next();
        if (kind == HtmlTokenKind::end) break;
        if (kind == HtmlTokenKind::noMemory) return fail(PackageResult::noMemory), result_;
        bool going = true;
        if (kind == HtmlTokenKind::startTag) {
            going = startTag(t);  // "<span/>" stays open, as browsers keep it
        } else if (kind == HtmlTokenKind::endTag) {
            going = endTag(t.name(), t.nameLength());
        } else if (kind == HtmlTokenKind::text) {
            going = text(t.text(), t.textLength());
        }
        if (!going || result_ != PackageResult::ok) return result_ == PackageResult::ok ? PackageResult::notUnderstood : result_;
    }
    // The end of the document ends a table left open, as browsers end it.
    if (inTable_ && !endTag("table", 5)) return result_;
    if (tables_ != 1) return PackageResult::notUnderstood;
    if (!placeCells()) return result_ == PackageResult::ok ? PackageResult::notUnderstood : result_;
    return PackageResult::ok;
}

PackageResult readHtmlTable(const uint8_t* bytes, size_t size, PackageCells& cells) {
    Growing<char> converted;
    const char* html;
    size_t length;
    if (!bytes || !htmlText(bytes, size, converted, html, length)) return PackageResult::notUnderstood;
    HtmlTableReader reader(cells);
    return reader.read(html, length);
}

}  // namespace grid
