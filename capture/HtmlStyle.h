#pragma once
// The part of CSS that spreadsheets and web pages use to draw a table's cells: declarations of
// colours, fonts, alignment, white space and lines, read from a `style` attribute or from the rules
// of a `<style>` element whose selectors name an element and classes (`td`, `.xl65`, `td.xl65`).
// Rules with other selectors and declarations of other properties are skipped, as a browser skips
// what it does not know.
#include <cstddef>
#include <cstdint>

#include "core/Growing.h"

namespace grid {

inline constexpr int32_t kTransparent = -1;
inline constexpr int32_t kCurrentColour = -2;

enum LineStyle : int8_t { kLineNone = 0, kLineHidden, kLineSingle, kLineDouble };
enum WhiteSpace : int8_t { kCollapse = 0, kPreserve, kPreserveBreaks };

// What one declaration block sets: each field is taken only when its flag is in `set`.
struct StyleDelta {
    enum Field : uint32_t {
        kColour = 1u << 0,
        kBackground = 1u << 1,
        kSize = 1u << 2,
        kWeight = 1u << 3,
        kItalic = 1u << 4,
        kDecoration = 1u << 5,
        kDoubleUnderline = 1u << 6,
        kAlign = 1u << 7,
        kVerticalAlign = 1u << 8,
        kWhiteSpace = 1u << 9,
        kIgnoreColspan = 1u << 10,
        kHidden = 1u << 11,
    };
    enum LineField : uint8_t { kWidth = 1, kStyle = 2, kLineColour = 4 };
    uint32_t set = 0;
    uint8_t lineSet[4] = {};  // left, right, top, bottom
    int32_t colour = 0, background = kTransparent;
    float size = 0;           // points, or a factor of the parent's size
    bool sizeRelative = false;
    int16_t weight = 400;     // 100-900; -1 bolder, -2 lighter
    bool italic = false, doubleUnderline = false, ignoreColspan = false, hidden = false;
    uint8_t decoration = 0;   // kUnderline | kLineThrough
    int8_t align = 0, verticalAlign = 0;  // the grid's justifications
    int8_t whiteSpace = kCollapse;
    struct Line {
        int32_t width = 0;  // 1/100 mm
        int8_t style = kLineNone;
        int32_t colour = kCurrentColour;
    } lines[4];
};
inline constexpr uint8_t kUnderline = 1, kLineThrough = 2;

// A box's style once every declaration that applies was taken, in the units of the grid.
struct ComputedStyle {
    int32_t colour = 0, background = kTransparent;
    float size = 12;  // points: a browser's medium size
    int16_t weight = 400;
    bool italic = false, doubleUnderline = false, ignoreColspan = false, hidden = false;
    uint8_t decoration = 0;  // this box's own; a cell's text shows its ancestors' as well
    int8_t align = 0, verticalAlign = 0, whiteSpace = kCollapse;
    StyleDelta::Line lines[4];

    // The style a child starts from: the inherited properties kept, the others at their start.
    ComputedStyle inherited() const;
    void apply(const StyleDelta& delta, float parentSize);
};

// Reads a declaration block ("color:red; border-top:.5pt solid windowtext") into `delta`, later
// declarations over earlier ones. Anything not understood is skipped.
void readDeclarations(const char* text, size_t length, StyleDelta& delta);
// One declaration: a (lower-case) property and its value.
void readDeclaration(const char* property, const char* value, size_t valueLength, StyleDelta& delta);
// A colour as CSS or an HTML attribute writes it; false when the text is none.
bool readColour(const char* text, size_t length, int32_t& colour);

class StyleSheet {
public:
    // Adds the rules of one `<style>` element's text. False when memory ran out.
    bool add(const char* text, size_t length);
    // Applies the rules that match an element of this (lower-case) name and `class` attribute, in
    // the order of their specificity and then of the text.
    void applyTo(ComputedStyle& style, const char* element, size_t elementLength, const char* classes,
                 size_t classesLength, float parentSize) const;
    // Declarations of lines in rules that name an element only (Google Sheets' gridlines) are
    // dropped from the rules added after this.
    void dropElementLines() { dropElementLines_ = true; }

private:
    struct Rule {
        uint32_t elementAt = 0, elementLength = 0;  // empty: any element
        uint32_t classesAt = 0, classesLength = 0;  // '.'-separated, without the first '.'
        int32_t specificity = 0;
        uint32_t delta = 0;
    };
    bool addRule(const char* selector, size_t selectorLength, uint32_t delta);
    Growing<Rule> rules_;
    Growing<StyleDelta> deltas_;
    Growing<char> names_;
    bool dropElementLines_ = false;
};

}  // namespace grid
