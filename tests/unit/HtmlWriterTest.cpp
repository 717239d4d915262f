#include <random>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "html/HtmlText.h"
#include "html/HtmlWriter.h"
#include "html/StyleClasses.h"
#include "platform/CodePage.h"
#include "platform/fake/FakeSettingsFile.h"
#include "tests/unit/TestSupport.h"

namespace grid::test {
namespace {

const std::string kAllOnLegacy =
    "[Param]\nhtmlversion=4\nline_width_yn=ON\nline_color_yn=ON\nback_color_yn=ON\nfont_color_yn=ON\n"
    "font_size_yn=ON\nfont_bold_yn=ON\ncell_posh_yn=ON\ncell_posv_yn=ON\n";

class HtmlWriterTest : public CoreTest<char16_t> {
protected:
    void SetUp() override {
        CoreTest<char16_t>::SetUp();
        resetStyleClasses();
        useSettings("");
    }
    void TearDown() override {
        resetSettings<char16_t>();
        CoreTest<char16_t>::TearDown();
    }
    void useSettings(const std::string& ini) {
        files.files["s.ini"] = ini;
        readSettings<char16_t>(u"s.ini");
    }
    // The example cell: "x<y", bold, 11 points, red text on white, centred, top, thin black top border.
    void exampleCell(bool underlined) {
        makeGrid(1, 1);
        setText(0, 0, u"x<y");
        auto& cell = grid().at(0, 0);
        cell.bold = 1, cell.charHeight = 11, cell.charColor = 0xFF0000, cell.backColor = 0xFFFFFF;
        cell.horiJustify = 2, cell.vertJustify = 1, cell.border[kTop] = 1, cell.borderColor[kTop] = 0;
        cell.underline = underlined ? 1 : 0;
    }
    std::string write(StatusCode expected = kOk) {
        EXPECT_EQ(WriteHtmlTable(), expected);
        const auto& out = runBuffers<char16_t>().outputBuffer;
        return out.data ? utf16ToUtf8(out.data, size_t(out.length)) : std::string();
    }
    static std::string tableOf(const std::string& html) { return html.substr(0, html.find("</TABLE>") + 8); }
    static std::string styleOf(const std::string& html) { return html.substr(html.find("</TABLE>") + 8); }

    FakeSettingsFile files;
};

TEST_F(HtmlWriterTest, LegacyExample) {
    useSettings(kAllOnLegacy);
    exampleCell(false);
    EXPECT_EQ(write(),
              "<TABLE BORDER CELLSPACING=1 BORDERCOLOR=#000000>\r\n<TR>\r\n<TD NOWRAP VALIGN=\"TOP\" BGCOLOR=#ffffff>"
              "<SPAN STYLE=\"FONT-SIZE:11pt;COLOR:#ff0000\"><P ALIGN=\"CENTER\"><B>x&lt;y</B></P></SPAN></TD>\r\n"
              "</TR>\r\n</TABLE>");
}

TEST_F(HtmlWriterTest, HtmlFiveExampleWithItsStyleElement) {
    std::string ini = kAllOnLegacy;
    ini.replace(ini.find("htmlversion=4"), 13, "htmlversion=5\nfont_underline_yn=ON");
    useSettings(ini);
    exampleCell(true);
    EXPECT_EQ(write(),
              "<TABLE CLASS=\"gweaveT\">\r\n<TR>\r\n<TD NOWRAP VALIGN=\"TOP\" class=\"gweaveC0\"><SPAN STYLE=\"FONT-SIZE:"
              "11pt;COLOR:#ff0000\"><P ALIGN=\"CENTER\" class=\"gweaveF0\"><B>x&lt;y</B></P></SPAN></TD>\r\n</TR>\r\n"
              "</TABLE>\r\n\r\n\r\n<style type=\"text/css\">\r\n<!--\r\ntable.gweaveT, td.gweaveT, th.gweaveT { border: "
              "1px #000000 solid}\r\np.gweaveF0 {text-decoration: underline}\r\ntd.gweaveC0 {background-color:#ffffff; "
              "border: 1px #000000 solid}\r\n-->\r\n</style>\r\n");
}

TEST_F(HtmlWriterTest, EverythingOff) {
    useSettings("[Param]\nhtmlversion=4\n");
    makeGrid(1, 1);
    setText(0, 0, u"a");
    EXPECT_EQ(write(), "<TABLE BORDER>\r\n<TR>\r\n<TD NOWRAP>a</TD>\r\n</TR>\r\n</TABLE>");

    ReleaseCellGrid<char16_t>();
    makeGrid(1, 1);
    setText(0, 0, u"a");
    useSettings("");  // no settings: HTML5 with every flag off
    EXPECT_EQ(write(), "<TABLE>\r\n<TR>\r\n<TD NOWRAP>a</TD>\r\n</TR>\r\n</TABLE>\r\n\r\n\r\n<style type=\"text/css\">"
                       "\r\n<!--\r\ntd.gweaveC0 {}\r\n-->\r\n</style>\r\n");
}

TEST_F(HtmlWriterTest, ModeByTheFirstCharacterOfHtmlVersion) {
    makeGrid(1, 1);
    for (const char* legacy : {"4", "4.01", "", "HTML5"}) {
        useSettings(std::string("[Param]\nhtmlversion=") + legacy + "\n");
        EXPECT_EQ(tableOf(write()).substr(0, 14), "<TABLE BORDER>") << legacy;
        ReleaseCellGrid<char16_t>();
        makeGrid(1, 1);
    }
    for (const char* five : {"5", "5.0", "50"}) {
        useSettings(std::string("[Param]\nhtmlversion=") + five + "\n");
        EXPECT_NE(write().find("<style"), std::string::npos) << five;
        ReleaseCellGrid<char16_t>();
        makeGrid(1, 1);
    }
}

TEST_F(HtmlWriterTest, LeadInAndTableAttributes) {
    useSettings("[Param]\nhtmlversion=4\ntable_posh=DIV ALIGN=center\nline_width_yn=ON\n");
    makeGrid(1, 1);  // no top border
    EXPECT_EQ(write().substr(0, 46), "<DIV ALIGN=center><TABLE BORDER CELLSPACING=0>");
    ReleaseCellGrid<char16_t>();
    useSettings("[Param]\nhtmlversion=4\nline_color_yn=ON\ntable_outline=#808080\n");  // no effect in legacy mode
    makeGrid(1, 1);
    grid().at(0, 0).borderColor[kTop] = 0x123456;
    EXPECT_EQ(write().substr(0, 36), "<TABLE BORDER BORDERCOLOR=#123456>\r\n");
}

TEST_F(HtmlWriterTest, MergedAreasWriteOneCellAtTheirAnchor) {
    useSettings("[Param]\nhtmlversion=4\n");
    makeGrid(3, 3);
    merge(0, 1, 0, 1);  // 2 x 2
    merge(2, 2, 0, 2);  // one column wide
    merge(0, 1, 2, 2);  // one row high
    EXPECT_EQ(write(), "<TABLE BORDER>\r\n<TR>\r\n<TD COLSPAN=2 ROWSPAN=2 NOWRAP></TD>\r\n<TD ROWSPAN=3 NOWRAP></TD>\r\n"
                       "</TR>\r\n<TR>\r\n</TR>\r\n<TR>\r\n<TD COLSPAN=2 NOWRAP></TD>\r\n</TR>\r\n</TABLE>");
    EXPECT_EQ(grid().at(0, 0).columnSpan, 2);
    EXPECT_EQ(grid().at(1, 0).columnSpan, 0);
    EXPECT_EQ(grid().at(2, 0).rowSpan, 3);
}

TEST_F(HtmlWriterTest, SpanOfFontColourAndSize) {
    makeGrid(1, 3);
    grid().at(0, 0).charColor = 0x00FF00;
    grid().at(1, 0).charHeight = 12;
    grid().at(2, 0).charHeight = 0;
    useSettings("[Param]\nhtmlversion=4\nfont_color_yn=ON\n");
    EXPECT_NE(write().find("<TD NOWRAP><SPAN STYLE=\";COLOR:#00ff00\"></SPAN></TD>"), std::string::npos);
    ReleaseCellGrid<char16_t>();
    makeGrid(1, 3);
    grid().at(1, 0).charHeight = 12;
    grid().at(2, 0).charHeight = 0;
    useSettings("[Param]\nhtmlversion=4\nfont_size_yn=ON\n");
    const std::string html = write();
    EXPECT_NE(html.find("<TD NOWRAP><SPAN STYLE=\"FONT-SIZE:12pt;\"></SPAN></TD>"), std::string::npos);
    EXPECT_NE(html.find("<TD NOWRAP></TD>\r\n</TR>"), std::string::npos);  // size 0: no span
}

TEST_F(HtmlWriterTest, ParagraphsAndElements) {
    useSettings("[Param]\nhtmlversion=4\ncell_posh_yn=ON\ncell_posv_yn=ON\nfont_bold_yn=ON\nfont_underline_yn=ON\n"
                "font_italic_yn=ON\nfont_strikethrough_yn=ON\n");
    makeGrid(1, 4);
    auto& all = grid().at(0, 0);
    all.bold = all.italic = 1, all.underline = all.strikeout = 1, all.horiJustify = 3, all.vertJustify = 3;
    setText(0, 0, u"t");
    grid().at(1, 0).horiJustify = 0;
    grid().at(2, 0).horiJustify = 4;
    grid().at(3, 0).vertJustify = 2;
    EXPECT_EQ(write(), "<TABLE BORDER>\r\n<TR>\r\n<TD NOWRAP VALIGN=\"BOTTOM\"><P ALIGN=\"RIGHT\"><B><U><I><S>t</S></I>"
                       "</U></B></P></TD>\r\n<TD NOWRAP></TD>\r\n<TD NOWRAP></TD>\r\n<TD NOWRAP></TD>\r\n</TR>\r\n"
                       "</TABLE>");
}

TEST_F(HtmlWriterTest, UnderliningInHtmlFiveIsAParagraphClass) {
    useSettings("[Param]\nfont_underline_yn=ON\n");
    makeGrid(1, 3);
    grid().at(0, 0).underline = 1;
    grid().at(1, 0).underline = 2;
    const std::string html = write();
    EXPECT_EQ(tableOf(html), "<TABLE>\r\n<TR>\r\n<TD NOWRAP><P class=\"gweaveF0\"></P></TD>\r\n<TD NOWRAP><P class="
                             "\"gweaveF0\"></P></TD>\r\n<TD NOWRAP></TD>\r\n</TR>\r\n</TABLE>");
    EXPECT_NE(styleOf(html).find("p.gweaveF0 {text-decoration: underline}\r\n"), std::string::npos);
    EXPECT_EQ(styleClasses().fontClassLast, 0);
}

TEST_F(HtmlWriterTest, CellClassesShareBackgroundAndTopBorderColour) {
    useSettings("[Param]\nback_color_yn=ON\n");
    makeGrid(1, 4);
    auto& a = grid().at(0, 0);  // white, no top border: border colour counts as white
    auto& b = grid().at(1, 0);  // white, white top border
    b.border[kTop] = 1, b.borderColor[kTop] = 0xFFFFFF;
    auto& c = grid().at(2, 0);  // white, black top border
    c.border[kTop] = 1, c.borderColor[kTop] = 0;
    grid().at(3, 0).backColor = 0xFFFFFF;
    (void)a;
    const std::string html = write();
    EXPECT_NE(html.find("<TD NOWRAP class=\"gweaveC0\"></TD>\r\n<TD NOWRAP class=\"gweaveC0\"></TD>\r\n<TD NOWRAP "
                        "class=\"gweaveC1\"></TD>\r\n<TD NOWRAP class=\"gweaveC0\"></TD>"),
              std::string::npos);
    EXPECT_NE(styleOf(html).find("td.gweaveC0 {background-color:#ffffff}\r\ntd.gweaveC1 {background-color:#ffffff}\r\n"),
              std::string::npos);
}

TEST_F(HtmlWriterTest, CoveredCellsStillGetAClass) {
    useSettings("[Param]\nback_color_yn=ON\nline_color_yn=ON\ntable_outline=gray\n");
    makeGrid(1, 2);
    merge(0, 1, 0, 0);
    grid().at(1, 0).backColor = 0x0000FF;  // only the covered cell has it
    const std::string html = write();
    EXPECT_EQ(html.find("gweaveC1\""), std::string::npos);
    EXPECT_NE(html.find("table.gweaveT, td.gweaveT, th.gweaveT { border: gray solid}\r\n"
                        "td.gweaveC0 {background-color:#ffffff; border: #ffffff solid}\r\n"
                        "td.gweaveC1 {background-color:#0000ff; border: #ffffff solid}\r\n"),
              std::string::npos);
}

TEST_F(HtmlWriterTest, StyleElementWithoutBackgroundClasses) {
    useSettings("[Param]\nline_width_yn=ON\nline_color_yn=ON\n");
    makeGrid(2, 2);
    grid().at(0, 0).border[kTop] = 1;
    grid().at(1, 1).backColor = 0x000000;  // no effect with back_color_yn off
    const std::string html = write();
    EXPECT_EQ(html.find(" class="), std::string::npos);
    EXPECT_EQ(styleOf(html), "\r\n\r\n\r\n<style type=\"text/css\">\r\n<!--\r\ntable.gweaveT, td.gweaveT, th.gweaveT "
                             "{ border: 1px #000000 solid}\r\ntd.gweaveC0 { border: 1px #000000 solid}\r\n-->\r\n"
                             "</style>\r\n");
}

TEST_F(HtmlWriterTest, LegacyModeWritesNoClasses) {
    useSettings("[Param]\nhtmlversion=4\nback_color_yn=ON\nfont_underline_yn=ON\n");
    makeGrid(1, 2);
    grid().at(0, 0).underline = 1;
    grid().at(1, 0).backColor = 0x102030;
    const std::string html = write();
    EXPECT_EQ(html.find("class"), std::string::npos);
    EXPECT_EQ(html.find("<style"), std::string::npos);
    EXPECT_NE(html.find("<TD NOWRAP BGCOLOR=#ffffff><U></U></TD>\r\n<TD NOWRAP BGCOLOR=#102030></TD>"), std::string::npos);
    EXPECT_EQ(styleClasses().cellClassLast, 0);
}

// Class numbers follow the first occurrence in row-major order, covered cells included, as a plain
// search through the earlier classes would give them.
TEST_F(HtmlWriterTest, ClassNumbersFollowFirstOccurrence) {
    useSettings("[Param]\nback_color_yn=ON\n");
    const int32_t rows = 60, columns = 40;
    makeGrid(rows, columns);
    std::mt19937 random(3);
    for (int64_t i = 0; i < rows * columns; ++i) {
        auto& cell = grid().cells[i];
        cell.backColor = int32_t(random() % 50);
        cell.border[kTop] = int32_t(random() % 2);
        cell.borderColor[kTop] = int32_t(random() % 3);
    }
    merge(3, 5, 2, 4);
    std::vector<std::pair<int32_t, int32_t>> seen;
    std::string expected;
    for (int64_t i = 0; i < rows * columns; ++i) {
        const auto& cell = grid().cells[i];
        std::pair<int32_t, int32_t> key{cell.backColor, cell.border[kTop] ? cell.borderColor[kTop] : 0xFFFFFF};
        size_t n = 0;
        while (n < seen.size() && seen[n] != key) ++n;
        if (n == seen.size()) seen.push_back(key);
        if (cell.mergePosition <= 1) expected += "class=\"gweaveC" + std::to_string(n) + "\"";
    }
    const std::string html = write();
    std::string found;
    for (size_t at = html.find("class=\"gweaveC"); at != std::string::npos; at = html.find("class=\"gweaveC", at + 1))
        found += html.substr(at, html.find('"', at + 7) - at + 1);
    EXPECT_EQ(found, expected);
    EXPECT_EQ(styleClasses().cellClassLast, int32_t(seen.size()) - 1);
}

TEST(EscapeHtmlText, EntitiesAndEverythingElse) {
    FakeAllocation allocator;
    TextBuffer<char16_t> out;
    ASSERT_EQ(InitTextBuffer(out, 10000), kOk);
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"a b", u"a&nbsp;b"}, {u"  ", u"&nbsp;&nbsp;"}, {u"x<y>z", u"x&lt;y&gt;z"},
        {u"Tom & Jerry", u"Tom&nbsp;&amp;&nbsp;Jerry"}, {u"ab\ncd", u"ab<BR>cd"}, {u"ab\r\ncd", u"ab\r<BR>cd"},
        {u"", u""}, {u"\"'\t日本\U0001F600", u"&quot;'\t日本\U0001F600"}, {u"&amp;", u"&amp;amp;"},
    };
    for (const auto& [text, escaped] : cases) {
        ASSERT_EQ(EscapeHtmlText(out, text.c_str()), kOk);
        EXPECT_EQ(std::u16string(out.data), escaped);
    }
    // Longer than the buffer: written whole, the buffer grown.
    ASSERT_EQ(EscapeHtmlText(out, std::u16string(2000, u' ').c_str()), kOk);
    EXPECT_EQ(out.length, 12000);
    EXPECT_EQ(std::u16string(out.data).substr(11994), u"&nbsp;");
    FreeTextBuffer(out);
    EXPECT_EQ(allocator.liveBlocks(), 0u);
}

// The inline style: formatting as CSS in one style attribute per element, what the table declares
// left out of its cells, every side's line, spans and breaks in lower case.
TEST_F(HtmlWriterTest, InlineStyle) {
    struct Case {
        const char* name;
        const char* param;
        const char* html;
    };
    const Case cases[] = {
        {"every flag on, centred table",
         "inline_style_yn=ON\nhtmlversion=4\ntable_posh=center\nline_width_yn=ON\nline_color_yn=ON\nback_color_yn=ON\n"
         "font_color_yn=ON\nfont_size_yn=ON\nfont_bold_yn=ON\nfont_underline_yn=ON\nfont_italic_yn=ON\n"
         "font_strikethrough_yn=ON\ncell_posh_yn=ON\ncell_posv_yn=ON\n",
         "<table style=\"border-collapse:collapse;white-space:nowrap;margin-left:auto;margin-right:auto;"
         "background:#ffffff;color:#000000;font-size:10pt\">\r\n"
         "<tr style=\"vertical-align:bottom\">\r\n"
         "<td colspan=\"2\" style=\"font-weight:bold;text-align:center;vertical-align:top;border:1px solid #000000\">"
         "a&nbsp;b<br>&lt;c&gt;</td>\r\n</tr>\r\n"
         "<tr style=\"vertical-align:bottom\">\r\n"
         "<td style=\"background:#ffff00;color:#ff0000;font-size:14pt;font-style:italic;"
         "text-decoration:underline line-through;text-align:right;vertical-align:middle;"
         "border-left:2px solid #0000ff;border-bottom:1px solid #000000\">d</td>\r\n"
         "<td></td>\r\n</tr>\r\n</table>"},
        {"lines without colours, nothing else",
         "inline_style_yn=ON\nline_width_yn=ON\n",
         "<table style=\"border-collapse:collapse;white-space:nowrap\">\r\n<tr>\r\n"
         "<td colspan=\"2\" style=\"border:1px solid\">a&nbsp;b<br>&lt;c&gt;</td>\r\n</tr>\r\n<tr>\r\n"
         "<td style=\"border-left:2px solid;border-bottom:1px solid\">d</td>\r\n<td></td>\r\n</tr>\r\n</table>"},
        {"every flag off", "inline_style_yn=ON\ntable_posh=CENTER_NOT\n",
         "<table style=\"border-collapse:collapse;white-space:nowrap\">\r\n<tr>\r\n"
         "<td colspan=\"2\">a&nbsp;b<br>&lt;c&gt;</td>\r\n</tr>\r\n<tr>\r\n<td>d</td>\r\n<td></td>\r\n</tr>\r\n</table>"},
        {"a flag of another case is off", "inline_style_yn=on\nhtmlversion=4\n",
         "<TABLE BORDER>\r\n<TR>\r\n<TD COLSPAN=2 NOWRAP>a&nbsp;b<BR>&lt;c&gt;</TD>\r\n</TR>\r\n<TR>\r\n"
         "<TD NOWRAP>d</TD>\r\n<TD NOWRAP></TD>\r\n</TR>\r\n</TABLE>"},
    };
    for (const Case& c : cases) {
        useSettings(std::string("[Param]\n") + c.param);
        makeGrid(2, 2);
        setText(0, 0, u"a b\n<c>");
        setText(0, 1, u"d");
        merge(0, 1, 0, 0);
        auto& a = grid().at(0, 0);
        a.bold = 1, a.horiJustify = kHoriCenter, a.vertJustify = kVertTop, a.charColor = 0;
        for (int side = kLeft; side <= kBottom; ++side) a.border[side] = kThinLine;
        a.border[kRight] = kNoLine;  // the area's right line lies in its last column, as normalised
        grid().at(1, 0).border[kRight] = kThinLine;
        auto& d = grid().at(0, 1);
        d.backColor = 0xFFFF00, d.charColor = 0xFF0000, d.charHeight = 14, d.italic = 1, d.underline = 1;
        d.strikeout = 1, d.horiJustify = kHoriRight, d.vertJustify = kVertCenter;
        d.border[kLeft] = kThickLine, d.borderColor[kLeft] = 0x0000FF, d.border[kBottom] = kThinLine;
        EXPECT_EQ(write(), c.html) << c.name;
        ReleaseCellGrid<char16_t>();
        resetStyleClasses();
    }
}

// Sizes below 1 point, which a grid may hold though no capture gives them, are no CSS sizes: the
// inline style leaves them out, of the table and of its cells.
TEST_F(HtmlWriterTest, InlineStyleLeavesOutSizesBelowOnePoint) {
    useSettings("[Param]\ninline_style_yn=ON\nfont_size_yn=ON\n");
    makeGrid(1, 3);
    grid().at(0, 0).charHeight = -3;
    grid().at(1, 0).charHeight = 0;
    grid().at(2, 0).charHeight = 9;
    EXPECT_EQ(write(), "<table style=\"border-collapse:collapse;white-space:nowrap\">\r\n<tr>\r\n<td></td>\r\n"
                       "<td></td>\r\n<td style=\"font-size:9pt\"></td>\r\n</tr>\r\n</table>");
    ReleaseCellGrid<char16_t>();
}

// HTML's table model wants a cell to begin in every row and column: where merged areas cover a
// whole row or column, the row is left out and the spans across it count one less.
TEST_F(HtmlWriterTest, InlineStyleLeavesOutRowsAndColumnsWhereNoCellBegins) {
    useSettings("[Param]\ninline_style_yn=ON\n");
    makeGrid(3, 3);
    setText(0, 0, u"a"), setText(1, 0, u"b"), setText(0, 1, u"c");
    merge(1, 2, 0, 1);  // column 2 begins nowhere
    merge(0, 2, 2, 2);  // row 2 holds one cell
    merge(0, 0, 1, 1);
    EXPECT_EQ(write(), "<table style=\"border-collapse:collapse;white-space:nowrap\">\r\n<tr>\r\n<td>a</td>\r\n"
                       "<td rowspan=\"2\">b</td>\r\n</tr>\r\n<tr>\r\n<td>c</td>\r\n</tr>\r\n<tr>\r\n"
                       "<td colspan=\"2\"></td>\r\n</tr>\r\n</table>");
    ReleaseCellGrid<char16_t>();
    makeGrid(3, 2);
    merge(0, 1, 1, 2);  // rows 1 and 2 as one: row 2 begins nothing
    EXPECT_EQ(write(), "<table style=\"border-collapse:collapse;white-space:nowrap\">\r\n<tr>\r\n<td></td>\r\n"
                       "<td></td>\r\n</tr>\r\n<tr>\r\n<td colspan=\"2\"></td>\r\n</tr>\r\n</table>");
}

TEST_F(HtmlWriterTest, LongCellTextIsWrittenWhole) {
    useSettings("[Param]\nhtmlversion=4\n");
    makeGrid(1, 1);
    setText(0, 0, std::u16string(2000, u' ') + u"<");
    std::string expected;
    for (int i = 0; i < 2000; ++i) expected += "&nbsp;";
    EXPECT_NE(write().find("<TD NOWRAP>" + expected + "&lt;</TD>"), std::string::npos);
}

// Every allocation of the writer failed in turn, as exhausted memory and otherwise: the writer
// returns 101 with the message of its failing step, and nothing leaks.
// Both the class style and the inline style (whose table of rows and columns is its own).
TEST_F(HtmlWriterTest, EveryFailedAllocationIsReported) {
    for (const char* style : {"", "inline_style_yn=ON\n"}) {
        useSettings(std::string("[Param]\nback_color_yn=ON\nfont_underline_yn=ON\n") + style);
        auto prepare = [&] {
            makeGrid(3, 2);
            setText(0, 0, std::u16string(30000, u'&'));
            grid().at(1, 1).underline = 1;
            merge(0, 1, 2, 2);
            boxes.clear();
        };
        prepare();
        const long before = allocator.allocations();
        ASSERT_EQ(WriteHtmlTable(), kOk);
        const long needed = allocator.allocations() - before;
        ReleaseCellGrid<char16_t>();
        ASSERT_GE(needed, 4) << style;  // two buffers, two class tables or the lines' counts, growth

        for (AllocationFailure kind : {AllocationFailure::exhausted, AllocationFailure::other}) {
            for (long n = 1; n <= needed; ++n) {
                prepare();
                allocator.failNth(n, kind);
                StatusCode status = WriteHtmlTable();
                allocator.failNth(0);
                const std::vector<int> codes = boxes.codes();
                ReleaseCellGrid<char16_t>();
                ASSERT_EQ(allocator.liveBlocks(), 0u) << n;
                // A buffer that cannot be had reports 12 or 13 by the failure's kind; a class table
                // reports nothing itself (the run shows 12); a buffer that cannot grow reports 13; room
                // reserved ahead that cannot be had is no failure at all.
                if (status == kOk) {
                    EXPECT_TRUE(codes.empty()) << n;
                    continue;
                }
                EXPECT_EQ(status, kNoMemory) << n;
                EXPECT_LE(codes.size(), 1u) << n;
                if (!codes.empty()) {
                    EXPECT_TRUE(codes[0] == 13 || (codes[0] == 12 && kind == AllocationFailure::exhausted)) << n;
                }
            }
        }
    }
}

}  // namespace
}  // namespace grid::test
