#pragma once
// Packages of copied cells as Calc puts them on the clipboard, made from a stand-in sheet: the
// tests' own writer of the office's format, for unit tests, fuzz seeds and benchmarks.
#include <zlib.h>

#include <cstdio>
#include <map>
#include <string>

#include "tests/calc/CalcStandIn.h"

namespace grid::test {

// A ZIP archive of the members, deflated.
inline std::string zipOf(const std::map<std::string, std::string>& members) {
    std::string archive, directory;
    const auto u16 = [](std::string& to, uint32_t v) { to += char(v & 0xFF), to += char(v >> 8 & 0xFF); };
    const auto u32 = [&](std::string& to, uint32_t v) { u16(to, v & 0xFFFF), u16(to, v >> 16); };
    for (const auto& [name, content] : members) {
        std::string deflated(compressBound(uLong(content.size())) + 16, '\0');
        z_stream stream{};
        deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
        stream.avail_in = uInt(content.size());
        stream.next_out = reinterpret_cast<Bytef*>(deflated.data());
        stream.avail_out = uInt(deflated.size());
        deflate(&stream, Z_FINISH);
        deflated.resize(stream.total_out);
        deflateEnd(&stream);
        const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(content.data()), uInt(content.size())));
        const uint32_t offset = uint32_t(archive.size());
        for (std::string* to : {&archive, &directory}) {
            const bool central = to == &directory;
            u32(*to, central ? 0x02014b50 : 0x04034b50);
            if (central) u16(*to, 20);
            u16(*to, 20), u16(*to, 0), u16(*to, 8), u16(*to, 0), u16(*to, 0);
            u32(*to, crc), u32(*to, uint32_t(deflated.size())), u32(*to, uint32_t(content.size()));
            u16(*to, uint16_t(name.size())), u16(*to, 0);
            if (central) u16(*to, 0), u16(*to, 0), u16(*to, 0), u32(*to, 0), u32(*to, offset);
            *to += name;
        }
        archive += deflated;
    }
    const uint32_t directoryAt = uint32_t(archive.size());
    archive += directory;
    u32(archive, 0x06054b50), u16(archive, 0), u16(archive, 0);
    u16(archive, uint16_t(members.size())), u16(archive, uint16_t(members.size()));
    u32(archive, uint32_t(directory.size())), u32(archive, directoryAt), u16(archive, 0);
    return archive;
}

inline std::string utf8Of(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) out += char(c);
        else if (c < 0x800) out += char(0xC0 | c >> 6), out += char(0x80 | (c & 0x3F));
        else if (c < 0x10000) out += char(0xE0 | c >> 12), out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
        else out += char(0xF0 | c >> 18), out += char(0x80 | (c >> 12 & 0x3F)), out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
    }
    return out;
}

// A cell's text as Calc writes it: a paragraph per line, spaces after the first of a run and at a
// paragraph's start as text:s, tabs as text:tab, markup characters escaped.
inline std::string paragraphsOf(const std::u16string& text) {
    if (text.empty()) return "";
    std::string out = "<text:p>";
    bool afterSpace = true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\n') out += "</text:p><text:p>", afterSpace = true;
        else if (c == u'\t') out += "<text:tab/>", afterSpace = false;
        else if (c == u' ' && afterSpace) out += "<text:s/>";
        else if (c == u' ') out += " ", afterSpace = true;
        else {
            afterSpace = false;
            if (c == u'<') out += "&lt;";
            else if (c == u'&') out += "&amp;";
            else if (c == u'>') out += "&gt;";
            else out += utf8Of(std::u16string(1, c)) + (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() ? utf8Of(std::u16string(1, text[++i])) : "");
        }
    }
    return out + "</text:p>";
}

inline std::string pointsOf(double hundredthsOfMm) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3fpt", hundredthsOfMm * 72.0 / 2540.0);
    return buffer;
}

inline std::string colourText(int32_t colour) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%06x", unsigned(colour) & 0xFFFFFF);
    return buffer;
}

// The automatic style of a stand-in cell, named `name`.
inline std::string cellStyleOf(const StandInCell& cell, const std::string& name) {
    static const char* const sides[] = {"left", "right", "top", "bottom"};
    std::string s = "<style:style style:name=\"" + name + "\" style:family=\"table-cell\" style:parent-style-name=\"Default\">";
    s += "<style:table-cell-properties";
    if (cell.horiJustify == 5) s += " style:repeat-content=\"true\"";
    if (cell.horiJustify != 0) s += " style:text-align-source=\"fix\"";
    static const char* const vertical[] = {"automatic", "top", "middle", "bottom"};
    s += std::string(" style:vertical-align=\"") + vertical[cell.vertJustify & 3] + "\"";
    s += " fo:background-color=\"" + (cell.backColor == -1 ? std::string("transparent") : colourText(cell.backColor)) + "\"";
    for (int side = 0; side < 4; ++side) {
        const StandInLine& line = cell.lines[side];
        s += std::string(" fo:border-") + sides[side] + "=\"";
        if (line.inner > 0 && line.outer > 0) {
            s += pointsOf(line.inner + line.outer + 10) + " double " + colourText(line.color) + "\"";
            s += std::string(" style:border-line-width-") + sides[side] + "=\"" + pointsOf(line.inner) + " " + pointsOf(10) +
                 " " + pointsOf(line.outer) + "\"";
        } else if (line.inner > 0 || line.outer > 0) {
            s += pointsOf(line.inner + line.outer) + " solid " + colourText(line.color) + "\"";
        } else {
            s += "none\"";
        }
    }
    s += "/><style:paragraph-properties";
    static const char* const horizontal[] = {"", "start", "center", "end", "justify", "start"};
    if (cell.horiJustify > 0 && cell.horiJustify <= 5) s += std::string(" fo:text-align=\"") + horizontal[cell.horiJustify] + "\"";
    s += "/><style:text-properties";
    s += cell.charColor == -1 ? " style:use-window-font-color=\"true\"" : " fo:color=\"" + colourText(cell.charColor) + "\"";
    char size[32];
    std::snprintf(size, sizeof size, " fo:font-size=\"%gpt\"", double(cell.charHeight));
    s += size;
    s += cell.charWeight >= 150 ? " fo:font-weight=\"bold\"" : cell.charWeight > 100 ? " fo:font-weight=\"600\"" : " fo:font-weight=\"normal\"";
    s += cell.posture == 2 ? " fo:font-style=\"italic\"" : cell.posture == 1 ? " fo:font-style=\"oblique\"" : " fo:font-style=\"normal\"";
    struct Underline { const char *style, *type, *width; };
    static const Underline underlines[] = {{"none", "single", "auto"},       {"solid", "single", "auto"},
                                           {"solid", "double", "auto"},      {"dotted", "single", "auto"},
                                           {"none", "single", "auto"},       {"dash", "single", "auto"},
                                           {"long-dash", "single", "auto"},  {"dot-dash", "single", "auto"},
                                           {"dot-dot-dash", "single", "auto"}, {"wave", "single", "auto"},
                                           {"wave", "single", "auto"},       {"wave", "double", "auto"},
                                           {"solid", "single", "bold"},      {"dotted", "single", "bold"},
                                           {"dash", "single", "bold"},       {"long-dash", "single", "bold"},
                                           {"dot-dash", "single", "bold"},   {"dot-dot-dash", "single", "bold"},
                                           {"wave", "single", "bold"}};
    const Underline& u = underlines[cell.underline >= 0 && cell.underline <= 18 ? cell.underline : 0];
    s += std::string(" style:text-underline-style=\"") + u.style + "\" style:text-underline-type=\"" + u.type +
         "\" style:text-underline-width=\"" + u.width + "\"";
    static const char* const strikes[] = {"", " style:text-line-through-style=\"solid\" style:text-line-through-type=\"single\"",
                                          " style:text-line-through-style=\"solid\" style:text-line-through-type=\"double\"", "",
                                          " style:text-line-through-style=\"solid\" style:text-line-through-width=\"bold\"",
                                          " style:text-line-through-style=\"solid\" style:text-line-through-text=\"/\"",
                                          " style:text-line-through-style=\"solid\" style:text-line-through-text=\"X\""};
    s += cell.strikeout > 0 && cell.strikeout <= 6 ? strikes[cell.strikeout] : " style:text-line-through-style=\"none\"";
    return s + "/></style:style>";
}

inline const char* kPackageNamespaces =
    " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
    " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
    " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
    " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
    " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\"";

inline std::string stylesXml(const std::string& defaultStyle = "<style:text-properties fo:font-size=\"10pt\"/>",
                             const std::string& commonStyles = "") {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-styles") + kPackageNamespaces +
           "><office:styles><style:default-style style:family=\"table-cell\">" + defaultStyle +
           "</style:default-style><style:style style:name=\"Default\" style:family=\"table-cell\"/>" + commonStyles +
           "</office:styles></office:document-styles>";
}

inline std::string contentXml(const std::string& automaticStyles, const std::string& table,
                              const std::string& sheet = "Sheet1") {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content") + kPackageNamespaces +
           "><office:automatic-styles>" + automaticStyles +
           "</office:automatic-styles><office:body><office:spreadsheet><table:table table:name=\"" + sheet + "\">" +
           table + "</table:table></office:spreadsheet></office:body></office:document-content>";
}

inline std::string linkOf(const std::string& item) {
    return std::string("soffice\0Untitled 1\0", 19) + item + std::string("\0calc:extref\0\0", 14);
}

inline std::string columnName(int32_t column) {
    std::string name;
    for (++column; column > 0; column = (column - 1) / 26) name.insert(name.begin(), char('A' + (column - 1) % 26));
    return name;
}

// The stand-in's range copied from column `left`, row `top` of a sheet, as Calc's package and link.
struct CopiedCells {
    std::string package, link;
};

inline CopiedCells copiedCellsOf(const CalcStandIn& sheet, int32_t left = 0, int32_t top = 0) {
    std::string styles, table = "<table:table-column table:number-columns-repeated=\"1024\"/>";
    if (top > 0) table += "<table:table-row table:number-rows-repeated=\"" + std::to_string(top) +
                          "\"><table:table-cell table:number-columns-repeated=\"1024\"/></table:table-row>";
    std::map<std::pair<int32_t, int32_t>, std::pair<int32_t, int32_t>> anchors;
    std::map<std::pair<int32_t, int32_t>, bool> covered;
    for (const StandInArea& a : sheet.merges) {
        anchors[{a.firstColumn, a.firstRow}] = {a.lastColumn - a.firstColumn + 1, a.lastRow - a.firstRow + 1};
        for (int32_t r = a.firstRow; r <= a.lastRow; ++r)
            for (int32_t c = a.firstColumn; c <= a.lastColumn; ++c)
                if (c != a.firstColumn || r != a.firstRow) covered[{c, r}] = true;
    }
    for (int32_t r = 0; r < sheet.rows; ++r) {
        table += "<table:table-row>";
        if (left > 0) table += "<table:table-cell table:number-columns-repeated=\"" + std::to_string(left) + "\"/>";
        for (int32_t c = 0; c < sheet.columns; ++c) {
            const StandInCell& cell = sheet.cells[size_t(r) * size_t(sheet.columns) + size_t(c)];
            const std::string name = "ce" + std::to_string(r * sheet.columns + c);
            styles += cellStyleOf(cell, name);
            const bool under = covered.count({c, r}) > 0;
            table += under ? "<table:covered-table-cell" : "<table:table-cell";
            table += " table:style-name=\"" + name + "\"";
            if (const auto area = anchors.find({c, r}); area != anchors.end())
                table += " table:number-columns-spanned=\"" + std::to_string(area->second.first) +
                         "\" table:number-rows-spanned=\"" + std::to_string(area->second.second) + "\"";
            table += '>';
            table += paragraphsOf(cell.text);
            table += under ? "</table:covered-table-cell>" : "</table:table-cell>";
        }
        table += "<table:table-cell table:number-columns-repeated=\"" + std::to_string(1024 - left - sheet.columns) +
                 "\"/></table:table-row>";
    }
    table += "<table:table-row table:number-rows-repeated=\"1048000\"><table:table-cell "
             "table:number-columns-repeated=\"1024\"/></table:table-row>";
    const std::string range = columnName(left) + std::to_string(top + 1) + ":" + columnName(left + sheet.columns - 1) +
                              std::to_string(top + sheet.rows);
    return {zipOf({{"content.xml", contentXml(styles, table)}, {"styles.xml", stylesXml()},
                   {"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}}),
            linkOf("Sheet1." + range)};
}

}  // namespace grid::test
