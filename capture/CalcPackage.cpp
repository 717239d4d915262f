#include "capture/CalcPackage.h"

#include <cmath>
#include <cstring>
#include <type_traits>

#include "capture/ZipArchive.h"
#include "core/Growing.h"
#include "platform/XmlReader.h"

namespace grid {
namespace {

constexpr const char* kOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr const char* kStyleNs = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
constexpr const char* kFoNs = "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0";
constexpr const char* kTableNs = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr const char* kTextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";

// Bounds on what one package may make the reader keep.
constexpr size_t kMostTextUnits = size_t(64) << 20;  // UTF-16 units of all texts of the range
constexpr size_t kMostStyles = 1 << 20;
constexpr int kLongestStyleChain = 64;
constexpr int64_t kMostSpaces = 1 << 20;  // text:s of one count

bool same(const char* a, const char* b) { return std::strcmp(a, b) == 0; }
bool same(const char* a, size_t length, const char* b) { return std::strlen(b) == length && std::memcmp(a, b, length) == 0; }

const XmlAttribute* attributeOf(const XmlAttribute* attributes, size_t count, const char* ns, const char* name) {
    for (size_t i = 0; i < count; ++i)
        if (same(attributes[i].localName, name) && same(attributes[i].namespaceUri, ns)) return &attributes[i];
    return nullptr;
}

// A whole non-negative decimal number; false for anything else or beyond `most`.
bool wholeNumber(const char* text, size_t length, int64_t most, int64_t& value) {
    if (length == 0 || length > 12) return false;
    value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return value <= most;
}

bool countOf(const XmlAttribute* a, int64_t most, int64_t& value) {
    value = 1;
    return !a || wholeNumber(a->value, a->valueLength, most, value);
}

// A length as OpenDocument writes one ("0.74pt", "0.026cm"), in points. Units Calc writes and
// the rest of XSL's absolute ones.
bool lengthInPoints(const char* text, size_t length, double& points) {
    size_t i = 0;
    double value = 0;
    bool digits = false;
    while (i < length && text[i] >= '0' && text[i] <= '9') value = value * 10 + (text[i++] - '0'), digits = true;
    if (i < length && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < length && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10) value += (text[i] - '0') * scale, digits = true;
    }
    if (!digits || value > 1e6) return false;
    const char* unit = text + i;
    const size_t unitLength = length - i;
    if (same(unit, unitLength, "pt")) points = value;
    else if (same(unit, unitLength, "cm")) points = value * 72 / 2.54;
    else if (same(unit, unitLength, "mm")) points = value * 72 / 25.4;
    else if (same(unit, unitLength, "in") || same(unit, unitLength, "inch")) points = value * 72;
    else if (same(unit, unitLength, "pc")) points = value * 12;
    else if (same(unit, unitLength, "px")) points = value * 72 / 96;
    else return false;
    return true;
}

// Points to the 1/100 mm in which Calc reports line widths.
int32_t hundredthsOfMm(double points) { return static_cast<int32_t>(std::lround(points * 2540.0 / 72.0)); }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool colourOf(const char* text, size_t length, int32_t& colour) {
    if (length != 7 || text[0] != '#') return false;
    int32_t value = 0;
    for (size_t i = 1; i < 7; ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0) return false;
        value = value * 16 + digit;
    }
    colour = value;
    return true;
}

// Words of a value separated by spaces: each call gives the next.
struct Words {
    const char* at;
    const char* end;
    bool next(const char*& word, size_t& length) {
        while (at < end && *at == ' ') ++at;
        if (at == end) return false;
        word = at;
        while (at < end && *at != ' ') ++at;
        length = size_t(at - word);
        return true;
    }
};

// The properties a style sets, each a flag of `set` with its value in the format.
enum Property : uint32_t {
    kTextAlign = 1u << 0,
    kAlignSource = 1u << 1,  // value-type: Calc's standard alignment
    kRepeat = 1u << 2,
    kVertAlign = 1u << 3,
    kCharColour = 1u << 4,
    kCharHeight = 1u << 5,
    kCharWeight = 1u << 6,
    kUnderline = 1u << 7,
    kStrikeout = 1u << 8,
    kPosture = 1u << 9,
    kBackColour = 1u << 10,
    kLineWidths = 1u << 11,  // four flags, one per side
    kLine = 1u << 15,        // four flags, one per side
};

struct StyleRecord {
    uint32_t nameAt = 0, nameLength = 0;
    uint32_t parentAt = 0, parentLength = 0;
    bool hasParent = false;
    bool automatic = false;
    uint32_t set = 0;
    int32_t textAlign = 0;  // as a HoriJustify value
    bool standardAlign = false, repeat = false;
    CalcCellFormat format;
    int32_t lineWidths[4][2] = {};  // inner and outer of style:border-line-width
};

}  // namespace

class PackageReader final : public XmlHandler {
public:
    PackageReader(const LinkedRange& range, PackageCells& out) : range_(range), out_(out) {}

    PackageResult read(const uint8_t* package, size_t size);

    bool startElement(const char* ns, const char* name, const XmlAttribute* attributes, size_t count) override;
    bool endElement() override;
    bool text(const char* utf8, size_t length) override;

private:
    enum class Part { styles, content };
    // Where the reader stands.
    enum class Place { outside, styles, style, table, row, cell, paragraph };

    bool fail(PackageResult result = PackageResult::notUnderstood) {
        if (result_ == PackageResult::ok) result_ = result;
        return false;
    }
    bool readPart(const uint8_t* package, size_t size, const char* name, Part part);
    bool startStyle(const XmlAttribute* attributes, size_t count, bool isDefault);
    void readStyleProperties(const char* name, const XmlAttribute* attributes, size_t count);
    bool startRow(const XmlAttribute* attributes, size_t count);
    bool startCell(bool covered, const XmlAttribute* attributes, size_t count);
    bool endCell();
    bool endRow();
    bool appendText(const char16_t* units, size_t count);
    bool appendUtf8(const char* utf8, size_t length);
    int32_t styleNamed(const char* name, size_t length) const;
    int32_t styleNamed(const char* name, size_t length, bool automatic) const;
    bool indexStyle(int32_t style);
    bool storeName(const char* name, size_t length, uint32_t& at);
    bool resolveFormats();
    bool resolve(int32_t style, CalcCellFormat& format);
    bool checkCells();

    const LinkedRange& range_;
    PackageCells& out_;
    PackageResult result_ = PackageResult::ok;
    Part part_ = Part::styles;

    // Styles of both parts; the default style of cells apart.
    Growing<StyleRecord> styles_;
    Growing<char> names_;
    // The first style of each name, automatic and common apart: open addressing over style
    // numbers, -1 for a free slot, never fuller than half.
    Growing<int32_t> styleSlots_;
    StyleRecord defaultStyle_;
    bool inDefaultStyle_ = false, inStyle_ = false;
    int styleDepth_ = 0, automaticDepth_ = 0, commonDepth_ = 0;

    // The sheet.
    int depth_ = 0;
    int tableDepth_ = 0;  // depth of the first table, 0 before it
    bool tableDone_ = false;
    int64_t column_ = 0, row_ = 0;  // next column declaration / next row of the sheet
    Growing<int32_t> columnStyles_;  // default cell style per column of the range, -1 none
    int32_t rowStyle_ = -1;
    int64_t rowRepeat_ = 1;
    bool rowInRange_ = false;  // some row of the current repeat lies in the range
    int rowDepth_ = 0;
    int64_t cellColumn_ = 0;
    Growing<PackageCell> rowCells_;  // the current row's cells of the range
    Growing<PackageCell> cells_;
    Growing<char16_t> texts_;

    // The current cell.
    int cellDepth_ = 0;
    bool cellInRange_ = false;
    PackageCell cell_;
    int64_t cellRepeat_ = 1;
    int paragraphs_ = 0;
    int paragraphDepth_ = 0;  // depth of the open paragraph, 0 outside one
    int skipDepth_ = 0;       // depth of an element whose content is no text of the cell

    Growing<int32_t> resolved_;  // style index → format index, -1 not yet
    Growing<CalcCellFormat> formats_;
};

namespace {

const char* kLineAttributes[4] = {"border-left", "border-right", "border-top", "border-bottom"};
const char* kLineWidthAttributes[4] = {"border-line-width-left", "border-line-width-right", "border-line-width-top",
                                       "border-line-width-bottom"};

// Two lines whose widths style:border-line-width gives.
bool isDoubleStyle(const char* word, size_t length) {
    return same(word, length, "double") || same(word, length, "double-thin");
}

// Calc draws these as two lines of widths it derives from the one width written, in its own way:
// such a copy is left to the office, which reports the widths.
bool isThreeDimensionalStyle(const char* word, size_t length) {
    return same(word, length, "groove") || same(word, length, "ridge") || same(word, length, "inset") ||
           same(word, length, "outset");
}

// A side's line as fo:border writes it: width, style and colour in any order. The widths of a
// two-line style come from style:border-line-width.
bool readLine(const XmlAttribute& a, StyleRecord& style, int side) {
    CalcCellFormat::Line line;
    Words words{a.value, a.value + a.valueLength};
    const char* word;
    size_t length;
    double points = 0;
    bool none = false, twoLines = false;
    while (words.next(word, length)) {
        if (same(word, length, "none") || same(word, length, "hidden")) none = true;
        else if (isDoubleStyle(word, length)) twoLines = true;
        else if (isThreeDimensionalStyle(word, length)) return false;
        else if (word[0] == '#') {
            if (!colourOf(word, length, line.color)) return false;
        } else if (!lengthInPoints(word, length, points) && !same(word, length, "solid") &&
                   !same(word, length, "dotted") && !same(word, length, "dashed") &&
                   !same(word, length, "fine-dashed") && !same(word, length, "dash-dot") &&
                   !same(word, length, "dash-dot-dot")) {
            return false;
        }
    }
    if (!none) {
        line.outer = hundredthsOfMm(points);
        if (twoLines) line.inner = -1;  // from the widths attribute
    }
    style.format.lines[side] = line;
    style.set |= kLine << side;
    return true;
}

bool readLineWidths(const XmlAttribute& a, StyleRecord& style, int side) {
    Words words{a.value, a.value + a.valueLength};
    const char* word;
    size_t length;
    double widths[3];
    for (double& width : widths)
        if (!words.next(word, length) || !lengthInPoints(word, length, width)) return false;
    style.lineWidths[side][0] = hundredthsOfMm(widths[0]);
    style.lineWidths[side][1] = hundredthsOfMm(widths[2]);
    style.set |= kLineWidths << side;
    return true;
}

// CharUnderline (FontUnderline) from the style, type and width of an underline; -1 for a style
// Calc does not write.
int32_t underlineOf(const char* style, size_t styleLength, bool twice, bool bold) {
    struct Kind {
        const char* name;
        int32_t single, twice, bold;
    };
    static const Kind kinds[] = {{"none", 0, 0, 0},           {"solid", 1, 2, 12},       {"dotted", 3, 3, 13},
                                 {"dash", 5, 5, 14},          {"long-dash", 6, 6, 15},   {"dot-dash", 7, 7, 16},
                                 {"dot-dot-dash", 8, 8, 17},  {"small-wave", 9, 9, 9},   {"wave", 10, 11, 18}};
    for (const Kind& kind : kinds)
        if (same(style, styleLength, kind.name)) return bold ? kind.bold : twice ? kind.twice : kind.single;
    return -1;
}

}  // namespace

void PackageReader::readStyleProperties(const char* name, const XmlAttribute* attributes, size_t count) {
    StyleRecord& style = inDefaultStyle_ ? defaultStyle_ : styles_[styles_.size() - 1];
    const auto value = [&](const char* ns, const char* local) { return attributeOf(attributes, count, ns, local); };
    if (same(name, "table-cell-properties")) {
        for (int side = 0; side < 4; ++side) {
            const XmlAttribute* line = value(kFoNs, kLineAttributes[side]);
            if (!line) line = value(kFoNs, "border");
            if (line && !readLine(*line, style, side)) fail();
            const XmlAttribute* widths = value(kStyleNs, kLineWidthAttributes[side]);
            if (!widths) widths = value(kStyleNs, "border-line-width");
            if (widths && !readLineWidths(*widths, style, side)) fail();
        }
        if (const XmlAttribute* a = value(kFoNs, "background-color")) {
            style.set |= kBackColour;
            style.format.backColor = -1;
            if (!same(a->value, "transparent") && !colourOf(a->value, a->valueLength, style.format.backColor)) fail();
        }
        if (const XmlAttribute* a = value(kStyleNs, "vertical-align")) {
            style.set |= kVertAlign;
            if (same(a->value, "top")) style.format.vertJustify = 1;
            else if (same(a->value, "middle")) style.format.vertJustify = 2;
            else if (same(a->value, "bottom")) style.format.vertJustify = 3;
            else if (same(a->value, "automatic")) style.format.vertJustify = 0;
            else if (same(a->value, "justify")) style.format.vertJustify = 4;
            else fail();
        }
        if (const XmlAttribute* a = value(kStyleNs, "text-align-source")) {
            style.set |= kAlignSource;
            style.standardAlign = same(a->value, "value-type");
        }
        if (const XmlAttribute* a = value(kStyleNs, "repeat-content")) {
            style.set |= kRepeat;
            style.repeat = same(a->value, "true");
        }
    } else if (same(name, "paragraph-properties")) {
        if (const XmlAttribute* a = value(kFoNs, "text-align")) {
            style.set |= kTextAlign;
            if (same(a->value, "start") || same(a->value, "left")) style.textAlign = 1;
            else if (same(a->value, "center")) style.textAlign = 2;
            else if (same(a->value, "end") || same(a->value, "right")) style.textAlign = 3;
            else if (same(a->value, "justify")) style.textAlign = 4;
            else fail();
        }
    } else if (same(name, "text-properties")) {
        const XmlAttribute* windowColour = value(kStyleNs, "use-window-font-color");
        if (windowColour && same(windowColour->value, "true")) {
            style.set |= kCharColour;
            style.format.charColor = -1;
        } else if (const XmlAttribute* a = value(kFoNs, "color")) {
            style.set |= kCharColour;
            if (!colourOf(a->value, a->valueLength, style.format.charColor)) fail();
        }
        if (const XmlAttribute* a = value(kFoNs, "font-size")) {
            double points = 0;
            style.set |= kCharHeight;
            if (!lengthInPoints(a->value, a->valueLength, points)) fail();
            style.format.charHeight = static_cast<float>(points);
        }
        if (const XmlAttribute* a = value(kFoNs, "font-weight")) {
            int64_t weight = 0;
            style.set |= kCharWeight;
            if (same(a->value, "bold")) weight = 700;
            else if (same(a->value, "normal")) weight = 400;
            else if (!wholeNumber(a->value, a->valueLength, 1000, weight)) fail();
            // Calc's weights (FontWeight) for the ones it writes: 100 is thin (50), 150 ultra-light
            // (60), 250 light (75), 350 semi-light (90), normal 100, 600 semi-bold (110), bold 150,
            // 800 ultra-bold (175), 900 black (200).
            style.format.charWeight = weight >= 900 ? 200.0f : weight >= 800 ? 175.0f : weight >= 700 ? 150.0f
                                      : weight >= 600 ? 110.0f : weight >= 400 ? 100.0f : weight >= 350 ? 90.0f
                                      : weight >= 250 ? 75.0f : weight >= 150 ? 60.0f : 50.0f;
        }
        if (const XmlAttribute* a = value(kFoNs, "font-style")) {
            style.set |= kPosture;
            style.format.posture = same(a->value, "italic") ? 2 : same(a->value, "oblique") ? 1 : 0;
        }
        const XmlAttribute* underline = value(kStyleNs, "text-underline-style");
        const XmlAttribute* underlineType = value(kStyleNs, "text-underline-type");
        if (underline || underlineType) {
            const XmlAttribute* width = value(kStyleNs, "text-underline-width");
            style.set |= kUnderline;
            const bool none = (underlineType && same(underlineType->value, "none")) || !underline;
            style.format.underline =
                none ? 0
                     : underlineOf(underline->value, underline->valueLength,
                                   underlineType && same(underlineType->value, "double"),
                                   width && same(width->value, "bold"));
            if (style.format.underline < 0) fail();
        }
        const XmlAttribute* strike = value(kStyleNs, "text-line-through-style");
        const XmlAttribute* strikeType = value(kStyleNs, "text-line-through-type");
        if (strike || strikeType) {
            style.set |= kStrikeout;
            const XmlAttribute* width = value(kStyleNs, "text-line-through-width");
            const XmlAttribute* text = value(kStyleNs, "text-line-through-text");
            int32_t kind = 0;
            if (strike && !same(strike->value, "none") && !(strikeType && same(strikeType->value, "none"))) {
                kind = 1;
                if (text && same(text->value, "/")) kind = 5;
                else if (text && same(text->value, "X")) kind = 6;
                else if (width && same(width->value, "bold")) kind = 4;
                else if (strikeType && same(strikeType->value, "double")) kind = 2;
            }
            style.format.strikeout = kind;
        }
    }
}

bool PackageReader::storeName(const char* name, size_t length, uint32_t& at) {
    if (names_.size() + length + 1 > 0x7FFFFFFF) return fail();
    at = uint32_t(names_.size());
    if (!names_.append(name, length) || !names_.push('\0')) return fail(PackageResult::noMemory);
    return true;
}

bool PackageReader::startStyle(const XmlAttribute* attributes, size_t count, bool isDefault) {
    const XmlAttribute* family = attributeOf(attributes, count, kStyleNs, "family");
    if (!family || !same(family->value, "table-cell")) return true;
    if (isDefault) {
        if (part_ != Part::styles) return true;
        defaultStyle_ = StyleRecord{};
        inDefaultStyle_ = true;
        styleDepth_ = depth_;
        return true;
    }
    if (!automaticDepth_ && !commonDepth_) return true;
    if (automaticDepth_ && part_ == Part::styles) return true;  // the page styles' own
    const XmlAttribute* name = attributeOf(attributes, count, kStyleNs, "name");
    if (!name || styles_.size() >= kMostStyles) return fail();
    StyleRecord style;
    style.automatic = automaticDepth_ != 0;
    if (!storeName(name->value, name->valueLength, style.nameAt)) return false;
    style.nameLength = uint32_t(name->valueLength);
    if (const XmlAttribute* parent = attributeOf(attributes, count, kStyleNs, "parent-style-name")) {
        if (!storeName(parent->value, parent->valueLength, style.parentAt)) return false;
        style.parentLength = uint32_t(parent->valueLength);
        style.hasParent = true;
    }
    if (!styles_.push(style) || !indexStyle(int32_t(styles_.size() - 1))) return fail(PackageResult::noMemory);
    inStyle_ = true;
    styleDepth_ = depth_;
    return true;
}

namespace {

size_t slotOf(const char* name, size_t length, bool automatic, size_t slots) {
    uint64_t hash = automatic ? 1469598103934665603ull : 1099511628211ull;
    for (size_t i = 0; i < length; ++i) hash = (hash ^ uint8_t(name[i])) * 1099511628211ull;
    return size_t(hash) & (slots - 1);
}

}  // namespace

bool PackageReader::indexStyle(int32_t style) {
    const StyleRecord& record = styles_[size_t(style)];
    const char* name = &names_[record.nameAt];
    if (styleNamed(name, record.nameLength, record.automatic) >= 0) return true;  // the first one counts
    if (2 * (size_t(style) + 1) > styleSlots_.size()) {
        // Twice the room, every style placed anew.
        const size_t slots = styleSlots_.size() ? 2 * styleSlots_.size() : 64;
        styleSlots_.resize(0);
        if (!styleSlots_.reserve(slots)) return false;
        styleSlots_.resize(slots);
        for (size_t i = 0; i < slots; ++i) styleSlots_[i] = -1;
        for (int32_t i = 0; i < style; ++i) {
            const StyleRecord& placed = styles_[size_t(i)];
            if (styleNamed(&names_[placed.nameAt], placed.nameLength, placed.automatic) >= 0) continue;
            size_t slot = slotOf(&names_[placed.nameAt], placed.nameLength, placed.automatic, slots);
            while (styleSlots_[slot] >= 0) slot = (slot + 1) & (slots - 1);
            styleSlots_[slot] = i;
        }
    }
    size_t slot = slotOf(name, record.nameLength, record.automatic, styleSlots_.size());
    while (styleSlots_[slot] >= 0) slot = (slot + 1) & (styleSlots_.size() - 1);
    styleSlots_[slot] = style;
    return true;
}

int32_t PackageReader::styleNamed(const char* name, size_t length, bool automatic) const {
    const size_t slots = styleSlots_.size();
    if (slots == 0) return -1;
    for (size_t slot = slotOf(name, length, automatic, slots);; slot = (slot + 1) & (slots - 1)) {
        const int32_t style = styleSlots_[slot];
        if (style < 0) return -1;
        const StyleRecord& record = styles_[size_t(style)];
        if (record.automatic == automatic && record.nameLength == length &&
            std::memcmp(&names_[record.nameAt], name, length) == 0)
            return style;
    }
}

// An automatic style before a common one of the same name, as a cell's reference means it.
int32_t PackageReader::styleNamed(const char* name, size_t length) const {
    const int32_t automatic = styleNamed(name, length, true);
    return automatic >= 0 ? automatic : styleNamed(name, length, false);
}

bool PackageReader::startRow(const XmlAttribute* attributes, size_t count) {
    rowDepth_ = depth_;
    cellColumn_ = 0;
    if (!countOf(attributeOf(attributes, count, kTableNs, "number-rows-repeated"), 1 << 20, rowRepeat_) ||
        rowRepeat_ < 1)
        return fail();
    rowStyle_ = -1;
    if (const XmlAttribute* a = attributeOf(attributes, count, kTableNs, "default-cell-style-name")) {
        rowStyle_ = styleNamed(a->value, a->valueLength);
        if (rowStyle_ < 0) return fail();
    }
    rowInRange_ = row_ <= range_.lastRow && row_ + rowRepeat_ > range_.firstRow;
    if (rowInRange_) {
        // Rows the sheet hides or filters are left to the office, which knows what it pastes.
        const XmlAttribute* visibility = attributeOf(attributes, count, kTableNs, "visibility");
        if (visibility && !same(visibility->value, "visible")) return fail();
        for (int32_t c = 0; c < out_.columns; ++c) rowCells_[size_t(c)] = PackageCell{};
    }
    return true;
}

bool PackageReader::startCell(bool covered, const XmlAttribute* attributes, size_t count) {
    cellDepth_ = depth_;
    cell_ = PackageCell{};
    cell_.covered = covered;
    if (!countOf(attributeOf(attributes, count, kTableNs, "number-columns-repeated"), 1 << 20, cellRepeat_) ||
        cellRepeat_ < 1)
        return fail();
    cellInRange_ = rowInRange_ && cellColumn_ <= range_.lastColumn && cellColumn_ + cellRepeat_ > range_.firstColumn;
    if (!cellInRange_) return true;
    int64_t columnSpan = 1, rowSpan = 1;
    if (!countOf(attributeOf(attributes, count, kTableNs, "number-columns-spanned"), 1 << 20, columnSpan) ||
        !countOf(attributeOf(attributes, count, kTableNs, "number-rows-spanned"), 1 << 21, rowSpan) ||
        columnSpan < 1 || rowSpan < 1)
        return fail();
    if ((columnSpan > 1 || rowSpan > 1) && (covered || cellRepeat_ > 1 || rowRepeat_ > 1)) return fail();
    cell_.columnSpan = int32_t(columnSpan), cell_.rowSpan = int32_t(rowSpan);
    if (const XmlAttribute* a = attributeOf(attributes, count, kTableNs, "style-name")) {
        cell_.format = styleNamed(a->value, a->valueLength);
        if (cell_.format < 0) return fail();
    }
    cell_.textAt = uint32_t(texts_.size());
    paragraphs_ = 0;
    return true;
}

bool PackageReader::endCell() {
    cellDepth_ = 0;
    if (cellInRange_) {
        if (!texts_.push(u'\0')) return fail(PackageResult::noMemory);
        cell_.textLength = int32_t(texts_.size() - 1 - cell_.textAt);
        const int64_t first = cellColumn_ > range_.firstColumn ? cellColumn_ : range_.firstColumn;
        const int64_t last = cellColumn_ + cellRepeat_ - 1 < range_.lastColumn ? cellColumn_ + cellRepeat_ - 1
                                                                                 : range_.lastColumn;
        for (int64_t c = first; c <= last; ++c) {
            PackageCell& cell = rowCells_[size_t(c - range_.firstColumn)];
            if (cell.seen) return fail();
            cell = cell_;
            cell.seen = true;
            if (cell.format < 0) cell.format = rowStyle_;
            if (cell.format < 0) cell.format = columnStyles_[size_t(c - range_.firstColumn)];
        }
    }
    cellColumn_ += cellRepeat_;
    return true;
}

bool PackageReader::endRow() {
    rowDepth_ = 0;
    const int64_t first = row_ > range_.firstRow ? row_ : range_.firstRow;
    const int64_t last = row_ + rowRepeat_ - 1 < range_.lastRow ? row_ + rowRepeat_ - 1 : range_.lastRow;
    for (int64_t r = first; r <= last; ++r)
        for (int32_t c = 0; c < out_.columns; ++c) {
            PackageCell& cell = cells_[size_t(c + (r - range_.firstRow) * out_.columns)];
            if (cell.seen) return fail();
            cell = rowCells_[size_t(c)];
        }
    row_ += rowRepeat_;
    return true;
}

bool PackageReader::appendText(const char16_t* units, size_t count) {
    if (texts_.size() + count > kMostTextUnits) return fail();
    if (!texts_.append(units, count)) return fail(PackageResult::noMemory);
    return true;
}

// Character data of a paragraph, as UTF-16. The white space stays as it is: Calc writes a run of
// spaces as text:s in some paragraphs but as it is in others (a cell of several paragraphs, or
// with a span), and reads both back unchanged.
bool PackageReader::appendUtf8(const char* utf8, size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8);
    for (size_t i = 0; i < length;) {
        uint32_t code = bytes[i];
        size_t extra = code < 0x80 ? 0 : code < 0xE0 ? 1 : code < 0xF0 ? 2 : 3;
        if (i + extra >= length) return fail();
        if (extra) code &= 0x3F >> extra;
        for (size_t k = 1; k <= extra; ++k) code = code << 6 | (bytes[i + k] & 0x3F);
        i += extra + 1;
        char16_t units[2];
        size_t count = 1;
        if (code >= 0x10000) {
            units[0] = char16_t(0xD800 + ((code - 0x10000) >> 10));
            units[1] = char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
            count = 2;
        } else {
            units[0] = char16_t(code);
        }
        if (!appendText(units, count)) return false;
    }
    return true;
}

bool PackageReader::startElement(const char* ns, const char* name, const XmlAttribute* attributes, size_t count) {
    ++depth_;
    if (result_ != PackageResult::ok) return false;
    if (skipDepth_) return true;
    if (inDefaultStyle_ || inStyle_) {
        if (same(ns, kStyleNs)) readStyleProperties(name, attributes, count);
        return result_ == PackageResult::ok;
    }
    if (same(ns, kOfficeNs)) {
        if (same(name, "automatic-styles")) automaticDepth_ = depth_;
        else if (same(name, "styles")) commonDepth_ = depth_;
        else if (cellDepth_) skipDepth_ = depth_;  // a comment: no text of the cell
        return true;
    }
    if (same(ns, kStyleNs)) {
        if (same(name, "style")) return startStyle(attributes, count, false);
        if (same(name, "default-style")) return startStyle(attributes, count, true);
        return true;
    }
    if (part_ != Part::content) return true;
    if (cellDepth_) {
        if (!cellInRange_) return true;
        if (!same(ns, kTextNs)) {
            skipDepth_ = depth_;  // shapes and the like: no text of the cell
            return true;
        }
        if (!paragraphDepth_) {
            if (same(name, "p") || same(name, "h")) {
                if (paragraphs_++ && !appendText(u"\n", 1)) return false;
                paragraphDepth_ = depth_;
            }
            return true;
        }
        if (same(name, "s")) {
            int64_t spaces = 1;
            if (!countOf(attributeOf(attributes, count, kTextNs, "c"), kMostSpaces, spaces)) return fail();
            for (int64_t i = 0; i < spaces; ++i)
                if (!appendText(u" ", 1)) return false;
        } else if (same(name, "tab")) {
            if (!appendText(u"\t", 1)) return false;
        } else if (same(name, "line-break")) {
            if (!appendText(u"\n", 1)) return false;
        } else if (same(name, "note") || same(name, "ruby-text")) {
            skipDepth_ = depth_;
        }
        return true;
    }
    if (!same(ns, kTableNs)) return true;
    if (tableDepth_ == 0) {
        if (!same(name, "table")) return true;
        if (tableDone_) return false;  // the first sheet is read: the rest is of no use
        const XmlAttribute* sheet = attributeOf(attributes, count, kTableNs, "name");
        if (!sheet || range_.sheet.size() != sheet->valueLength ||
            std::memcmp(range_.sheet.data(), sheet->value, sheet->valueLength) != 0)
            return fail();
        tableDepth_ = depth_;
        return true;
    }
    if (same(name, "table-column")) {
        int64_t repeat = 1;
        if (!countOf(attributeOf(attributes, count, kTableNs, "number-columns-repeated"), 1 << 20, repeat) ||
            repeat < 1)
            return fail();
        const XmlAttribute* style = attributeOf(attributes, count, kTableNs, "default-cell-style-name");
        const int32_t index = style ? styleNamed(style->value, style->valueLength) : -1;
        if (style && index < 0) return fail();
        const bool touches = column_ <= range_.lastColumn && column_ + repeat > range_.firstColumn;
        const XmlAttribute* visibility = attributeOf(attributes, count, kTableNs, "visibility");
        if (touches && visibility && !same(visibility->value, "visible")) return fail();
        for (int64_t c = column_ > range_.firstColumn ? column_ : range_.firstColumn;
             c < column_ + repeat && c <= range_.lastColumn; ++c)
            columnStyles_[size_t(c - range_.firstColumn)] = index;
        column_ += repeat;
    } else if (same(name, "table-row")) {
        if (rowDepth_) return fail();
        return startRow(attributes, count);
    } else if (same(name, "table-cell") || same(name, "covered-table-cell")) {
        if (!rowDepth_) return fail();
        return startCell(same(name, "covered-table-cell"), attributes, count);
    } else if (same(name, "table")) {
        return fail();  // a sheet inside a sheet
    } else if (same(name, "shapes") || same(name, "named-expressions") || same(name, "database-ranges")) {
        skipDepth_ = depth_;
    }
    return true;
}

bool PackageReader::endElement() {
    const int depth = depth_--;
    if (result_ != PackageResult::ok) return false;
    if (skipDepth_) {
        if (depth == skipDepth_) skipDepth_ = 0;
        return true;
    }
    if (inStyle_ || inDefaultStyle_) {
        if (depth == styleDepth_) inStyle_ = inDefaultStyle_ = false;
        return true;
    }
    if (depth == paragraphDepth_) paragraphDepth_ = 0;
    else if (depth == cellDepth_) return endCell();
    else if (depth == rowDepth_) return endRow();
    else if (depth == tableDepth_) tableDepth_ = 0, tableDone_ = true;
    else if (depth == automaticDepth_) automaticDepth_ = 0;
    else if (depth == commonDepth_) commonDepth_ = 0;
    return true;
}

bool PackageReader::text(const char* utf8, size_t length) {
    if (result_ != PackageResult::ok) return false;
    if (!paragraphDepth_ || skipDepth_ || !cellDepth_ || !cellInRange_) return true;
    return appendUtf8(utf8, length);
}

bool PackageReader::readPart(const uint8_t* package, size_t size, const char* name, Part part) {
    OwnedBytes xml;
    switch (readZipMember(package, size, name, ZipLimits{}, xml)) {
        case ZipResult::ok: break;
        case ZipResult::noMemory: return fail(PackageResult::noMemory);
        default: return fail();
    }
    part_ = part;
    depth_ = 0;
    const XmlResult read = xmlPort().read(reinterpret_cast<const char*>(xml.data()), xml.size(), *this);
    if (result_ != PackageResult::ok) return false;
    // Stopped is the reader's own end after the first sheet.
    if (read != XmlResult::done && !(read == XmlResult::stopped && tableDone_)) return fail();
    return true;
}

// Each property from the nearest style of the chain that sets it, then from the default style,
// then Calc's own defaults.
bool PackageReader::resolve(int32_t style, CalcCellFormat& format) {
    format = CalcCellFormat{};
    format.charColor = -1;
    format.backColor = -1;
    format.charWeight = 100;
    format.charHeight = 10;
    uint32_t found = 0;
    bool standardAlign = false, repeat = false;
    int32_t textAlign = 0;
    int32_t widths[4][2] = {};
    const auto take = [&](const StyleRecord& from) {
        const uint32_t fresh = from.set & ~found;
        const CalcCellFormat& f = from.format;
        if (fresh & kTextAlign) textAlign = from.textAlign;
        if (fresh & kAlignSource) standardAlign = from.standardAlign;
        if (fresh & kRepeat) repeat = from.repeat;
        if (fresh & kVertAlign) format.vertJustify = f.vertJustify;
        if (fresh & kCharColour) format.charColor = f.charColor;
        if (fresh & kCharHeight) format.charHeight = f.charHeight;
        if (fresh & kCharWeight) format.charWeight = f.charWeight;
        if (fresh & kUnderline) format.underline = f.underline;
        if (fresh & kStrikeout) format.strikeout = f.strikeout;
        if (fresh & kPosture) format.posture = f.posture;
        if (fresh & kBackColour) format.backColor = f.backColor;
        for (int side = 0; side < 4; ++side) {
            if (fresh & (kLine << side)) format.lines[side] = f.lines[side];
            if (fresh & (kLineWidths << side)) widths[side][0] = from.lineWidths[side][0], widths[side][1] = from.lineWidths[side][1];
        }
        found |= from.set;
    };
    if (style < 0) style = styleNamed("Default", 7);
    for (int steps = 0; style >= 0; ++steps) {
        if (steps == kLongestStyleChain) return fail();  // a chain that loops, or one too long to be real
        const StyleRecord& record = styles_[size_t(style)];
        take(record);
        if (!record.hasParent) break;
        // A parent is a common style, never an automatic one.
        const int32_t parent = styleNamed(&names_[record.parentAt], record.parentLength, false);
        if (parent < 0) return fail();
        style = parent;
    }
    take(defaultStyle_);
    format.horiJustify = repeat ? kHoriRepeat : standardAlign ? kHoriStandard : textAlign;
    for (int side = 0; side < 4; ++side) {
        CalcCellFormat::Line& line = format.lines[side];
        if (line.inner >= 0) continue;
        if (!(found & (kLineWidths << side))) return fail();
        line.inner = widths[side][0], line.outer = widths[side][1];
    }
    return true;
}

bool PackageReader::resolveFormats() {
    const size_t styles = styles_.size();
    if (!resolved_.reserve(styles + 1)) return fail(PackageResult::noMemory);
    resolved_.resize(styles + 1);
    for (size_t i = 0; i <= styles; ++i) resolved_[i] = -1;
    for (size_t i = 0; i < cells_.size(); ++i) {
        PackageCell& cell = cells_[i];
        // The slot after the styles stands for a cell of no style.
        const size_t slot = cell.format < 0 ? styles : size_t(cell.format);
        if (resolved_[slot] < 0) {
            CalcCellFormat format;
            if (!resolve(cell.format, format)) return false;
            if (!formats_.push(format)) return fail(PackageResult::noMemory);
            resolved_[slot] = int32_t(formats_.size() - 1);
        }
        cell.format = resolved_[slot];
    }
    return true;
}

// Cells the package leaves out (Calc writes nothing after the last cell with content or a format
// of its own) are empty, in their column's style. Every area of the range lies over covered
// cells only, and every covered cell under an area: a cut area the office would paste as cells of
// their own is written so. An area that reaches beyond the range is what the office's paste gives
// too, and ends the capture as it does there. A single cell is never asked for its area.
bool PackageReader::checkCells() {
    Growing<uint8_t> underArea;
    if (!underArea.reserve(cells_.size())) return fail(PackageResult::noMemory);
    underArea.resize(cells_.size());
    std::memset(&underArea[0], 0, cells_.size());
    const bool oneCell = out_.rows == 1 && out_.columns == 1;
    for (int32_t r = 0; r < out_.rows; ++r)
        for (int32_t c = 0; c < out_.columns; ++c) {
            PackageCell& cell = cells_[size_t(c + int64_t(r) * out_.columns)];
            if (!cell.seen) {
                cell = PackageCell{};
                cell.format = columnStyles_[size_t(c)];
                cell.seen = true;
            }
            if (oneCell) cell.columnSpan = cell.rowSpan = 1, cell.covered = false;
            if (cell.columnSpan == 1 && cell.rowSpan == 1) continue;
            if (int64_t(c) + cell.columnSpan > out_.columns || int64_t(r) + cell.rowSpan > out_.rows)
                out_.areaBeyondRange = true;
            for (int32_t k = r; k < r + cell.rowSpan && k < out_.rows; ++k)
                for (int32_t j = c; j < c + cell.columnSpan && j < out_.columns; ++j) {
                    const size_t at = size_t(j + int64_t(k) * out_.columns);
                    if (underArea[at]) return fail();
                    underArea[at] = 1;
                    if ((j != c || k != r) && !cells_[at].covered) return fail();
                }
        }
    for (size_t i = 0; i < cells_.size(); ++i)
        if (cells_[i].covered && !underArea[i]) return fail();
    return true;
}

PackageResult PackageReader::read(const uint8_t* package, size_t size) {
    const int64_t rows = int64_t(range_.lastRow) - range_.firstRow + 1;
    const int64_t columns = int64_t(range_.lastColumn) - range_.firstColumn + 1;
    if (rows < 1 || columns < 1 || rows * columns > kMostPackageCells) return PackageResult::notUnderstood;
    out_.rows = int32_t(rows), out_.columns = int32_t(columns);
    if (!cells_.reserve(size_t(rows * columns)) || !rowCells_.reserve(size_t(columns)) ||
        !columnStyles_.reserve(size_t(columns)))
        return PackageResult::noMemory;
    cells_.resize(size_t(rows * columns));
    rowCells_.resize(size_t(columns));
    columnStyles_.resize(size_t(columns));
    for (size_t i = 0; i < cells_.size(); ++i) cells_[i] = PackageCell{};
    for (size_t i = 0; i < size_t(columns); ++i) columnStyles_[i] = -1;
    if (!texts_.push(u'\0')) return PackageResult::noMemory;  // the text of every cell without one

    if (!readPart(package, size, "styles.xml", Part::styles) || !readPart(package, size, "content.xml", Part::content))
        return result_;
    if (!tableDone_) return PackageResult::notUnderstood;
    if (!checkCells() || !resolveFormats()) return result_;
    out_.cells_ = cells_.release();
    out_.texts_ = texts_.release();
    out_.formats_ = formats_.release();
    return PackageResult::ok;
}

namespace {

// "$B$12" into a 0-based column and row.
bool cellAddress(const char*& at, const char* end, int32_t& column, int32_t& row) {
    if (at < end && *at == '$') ++at;
    int64_t c = 0, r = 0;
    int letters = 0, digits = 0;
    for (; at < end && *at >= 'A' && *at <= 'Z' && letters < 4; ++at, ++letters) c = c * 26 + (*at - 'A' + 1);
    if (at < end && *at == '$') ++at;
    for (; at < end && *at >= '0' && *at <= '9' && digits < 8; ++at, ++digits) r = r * 10 + (*at - '0');
    if (!letters || !digits || c > (1 << 14) || r < 1 || r > (1 << 20)) return false;
    column = int32_t(c - 1), row = int32_t(r - 1);
    return true;
}

}  // namespace

bool readCalcLink(const uint8_t* bytes, size_t size, LinkedRange& range) {
    const char* text = reinterpret_cast<const char*>(bytes);
    const char* end = text + size;
    // application NUL document NUL item NUL
    const char* item = nullptr;
    const char* at = text;
    for (int field = 0; field < 2; ++field) {
        at = static_cast<const char*>(std::memchr(at, '\0', size_t(end - at)));
        if (!at) return false;
        ++at;
    }
    item = at;
    const char* itemEnd = static_cast<const char*>(std::memchr(item, '\0', size_t(end - item)));
    if (!itemEnd) return false;

    // The sheet: quoted, with '' for a quote, or plain up to the last dot.
    Growing<char> sheet;
    at = item;
    if (at < itemEnd && *at == '\'') {
        for (++at;; ++at) {
            if (at == itemEnd) return false;
            if (*at == '\'') {
                if (at + 1 < itemEnd && at[1] == '\'') ++at;
                else break;
            }
            if (!sheet.push(*at)) return false;
        }
        ++at;
    } else {
        const char* dot = nullptr;
        for (const char* p = at; p < itemEnd; ++p)
            if (*p == '.') dot = p;
        if (!dot || !sheet.append(at, size_t(dot - at))) return false;
        at = dot;
    }
    if (at == itemEnd || *at != '.' || sheet.size() == 0) return false;
    ++at;
    if (!cellAddress(at, itemEnd, range.firstColumn, range.firstRow)) return false;
    range.lastColumn = range.firstColumn, range.lastRow = range.firstRow;
    if (at < itemEnd && *at == ':') {
        ++at;
        // The second address may name its sheet again.
        for (const char* p = at; p < itemEnd; ++p)
            if (*p == '.') at = p + 1;
        if (!cellAddress(at, itemEnd, range.lastColumn, range.lastRow)) return false;
    }
    if (at != itemEnd || range.lastColumn < range.firstColumn || range.lastRow < range.firstRow) return false;
    if (!range.sheet.allocate(sheet.size())) return false;
    std::memcpy(range.sheet.data(), &sheet[0], sheet.size());
    return true;
}

PackageCells::~PackageCells() {
    if (cells_) releaseArray(cells_);
    if (texts_) releaseArray(texts_);
    if (formats_) releaseArray(formats_);
}

PackageResult readCalcPackage(const uint8_t* package, size_t packageSize, const LinkedRange& range,
                              PackageCells& cells) {
    PackageReader reader(range, cells);
    return reader.read(package, packageSize);
}

}  // namespace grid
