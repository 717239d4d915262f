#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "platform/fake/FakeSettingsFile.h"
#include "tests/unit/TestSupport.h"
#include "wiki/MarkupTemplate.h"
#include "wiki/TextSubstitution.h"
#include "wiki/WholeCharacters.h"
#include "wiki/WikiWriter.h"

namespace grid::test {
namespace {

MarkupTemplate parsed(const char* text, const char* control = "@") {
    MarkupTemplate markup = {};
    std::strncpy(markup.text, text, 100);
    ParseTemplate(markup, control);
    return markup;
}

class WikiTest : public CoreTest<char> {
protected:
    void SetUp() override {
        CoreTest<char>::SetUp();
        ASSERT_EQ(InitTextBuffer(out, 100), kOk);
    }
    void TearDown() override {
        FreeTextBuffer(out);
        clearLeadBytes();
        resetSettings<char>();
        CoreTest<char>::TearDown();
    }
    std::string opening(const MarkupTemplate& m) { return part(m, kOpeningPart); }
    std::string closing(const MarkupTemplate& m) { return part(m, kClosingPart); }
    std::string part(const MarkupTemplate& m, TemplatePart which) {
        ClearTextBuffer(out);
        EXPECT_EQ(AppendTemplatePart(m, out, which), kOk);
        return out.data;
    }
    std::string formatted(const MarkupTemplate& m, TemplateValue kind, int32_t value, TemplatePart which) {
        ClearTextBuffer(out);
        EXPECT_EQ(AppendFormattedPart(m, kind, value, out, which), kOk);
        return out.data;
    }
    void useSettings(const std::string& ini) {
        files.files["s.ini"] = ini;
        readSettings<char>("s.ini");
    }

    TextBuffer<char> out;
    FakeSettingsFile files;
};

TEST_F(WikiTest, TemplatesSplitAtTheFirstControlCharacter) {
    struct Case {
        const char* text;
        const char* opening;
        const char* closing;
        int32_t hasOpening, hasClosing;
    };
    const Case cases[] = {
        {"x@y", "x", "y", 1, 1},     {"@", "", "", 0, 0},         {"abc@", "abc", "", 1, 0},
        {"@abc", "", "abc", 0, 1},   {"a@b@c", "a", "b@c", 1, 1}, {"abc", "abc", "", 1, 0},
        {"", "", "", 0, 0},
    };
    for (const Case& c : cases) {
        MarkupTemplate m = parsed(c.text);
        EXPECT_EQ(opening(m), c.opening) << c.text;
        EXPECT_EQ(closing(m), c.closing) << c.text;
        EXPECT_EQ(m.hasOpening, c.hasOpening) << c.text;
        EXPECT_EQ(m.hasClosing, c.hasClosing) << c.text;
    }
    MarkupTemplate counted = parsed("%d%c@%s%x%%%5d%");
    EXPECT_EQ(counted.openingConversions, 2);
    EXPECT_EQ(counted.closingConversions, 2);
    MarkupTemplate unsplit = parsed("a@b", "");  // no control character: no closing part
    EXPECT_EQ(opening(unsplit), "a@b");
    EXPECT_EQ(unsplit.hasClosing, 0);
    MarkupTemplate firstByte = parsed("a#b@c", "#@");  // only the first byte of the setting counts
    EXPECT_EQ(opening(firstByte), "a");
}

TEST_F(WikiTest, FormattedParts) {
    MarkupTemplate size = parsed("s=%d;@;");
    EXPECT_EQ(formatted(size, kIntegerValue, 12, kOpeningPart), "s=12;");
    EXPECT_EQ(formatted(size, kIntegerValue, 12, kClosingPart), ";");
    EXPECT_EQ(formatted(parsed("c=%s@"), kColourValue, 0xFF0080, kOpeningPart), "c=#ff0080");
    EXPECT_EQ(formatted(parsed("%5d"), kIntegerValue, 7, kOpeningPart), "%5d");
    EXPECT_EQ(formatted(parsed("%x"), kIntegerValue, 300, kOpeningPart), "2c");
    EXPECT_EQ(formatted(parsed("[%c]"), kIntegerValue, 65, kOpeningPart), "[A]");
    EXPECT_EQ(formatted(parsed("@%d"), kIntegerValue, 3, kClosingPart), "3");
    EXPECT_EQ(formatted(parsed("@"), kIntegerValue, 3, kOpeningPart), "");
    EXPECT_EQ(formatted(parsed(""), kColourValue, 3, kClosingPart), "");
}

// A part that does not hold exactly one fitting conversion is written as it stands; nothing reads
// a value that was not passed, and six "%" do not end the process.
TEST_F(WikiTest, UntrustedPartsThatDoNotFitAreWrittenLiterally) {
    const std::pair<const char*, TemplateValue> parts[] = {
        {"%d %d", kIntegerValue}, {"%s", kIntegerValue}, {"%d", kColourValue}, {"%x%s", kColourValue},
        {"%d%%", kIntegerValue}, {"%n%d", kIntegerValue}, {"%d%d%d%d%d%d", kIntegerValue},
        {"%s%s%s%s%s%s%s", kColourValue}, {"%5d %d", kIntegerValue},
    };
    for (const auto& [text, kind] : parts) EXPECT_EQ(formatted(parsed(text), kind, 1, kOpeningPart), text);
    EXPECT_TRUE(boxes.codes().empty());
}

class RewriteTest : public WikiTest {
protected:
    // Entries as "pattern", "replacement", "mode", read and parsed as the writer does.
    void entries(const std::vector<std::vector<const char*>>& list, const char* control = "@") {
        std::string ini = std::string("[Param]\ncntl_char=") + control + "\n";
        for (size_t n = 0; n < list.size(); ++n) {
            const std::string digit = std::to_string(n + 1);
            ini += "code_chenge_m" + digit + "=" + list[n][0] + "\ncode_chenge_o" + digit + "=" + list[n][1] +
                   "\ncode_chenge_r" + digit + "=" + list[n][2] + "\n";
        }
        useSettings(ini);
        Settings<char>& s = settings<char>();
        for (int32_t n = 0; n < s.substitutionCount; ++n) {
            ParseTemplate(s.substitutions[n].pattern, s.cntl_char);
            ParseTemplate(s.substitutions[n].replacement, s.cntl_char);
            ParseTemplate(s.substitutions[n].mode, s.cntl_char);
        }
    }
    std::string rewrite(const std::string& text) {
        EXPECT_EQ(RewriteCellText(out, text.c_str()), kOk);
        return out.data;
    }
};

TEST_F(RewriteTest, ReplaceMode) {
    entries({});
    EXPECT_EQ(rewrite("as is"), "as is");
    entries({{"|", "(bar)", ""}});
    EXPECT_EQ(rewrite("a|b"), "a(bar)b");
    entries({{"ab", "X", ""}});
    EXPECT_EQ(rewrite("abc"), "Xbc");
    entries({{"x", "", ""}});
    EXPECT_EQ(rewrite("axb"), "ab");
    entries({{"a", "b", ""}, {"b", "c", ""}});
    EXPECT_EQ(rewrite("ab"), "bc");
    entries({{"a", "1", ""}, {"a", "2", ""}});
    EXPECT_EQ(rewrite("a"), "12");
    entries({{"@x", "-", ""}});  // empty after parsing: matches every position
    EXPECT_EQ(rewrite("abc"), "---");
    entries({{"\x5C", "\\\\", ""}});  // without a double-byte code page every byte is a character
    EXPECT_EQ(rewrite("\x95\x5C"), "\x95\\\\");
    entries({{"x", "y", "ALL"}});
    EXPECT_EQ(rewrite("axb"), "ayb");
}

// Under code page 932 the katakana PO (83 7C) and the minus sign (81 7C) end in the byte of "|":
// the control character, the patterns and the escapes match whole characters only.
TEST_F(RewriteTest, DoubleByteCharactersStayWhole) {
    files.doubleByteLocale = true;
    loadLeadBytes();
    const std::string po = "\x83\x7C", minus = "\x81\x7C";
    entries({{"|", "&#124;", ""}});
    EXPECT_EQ(rewrite(po + "|" + minus), po + "&#124;" + minus);
    entries({{"\x83", "X", ""}, {"\x7C\x83", "Y", ""}});  // half a character, or two halves
    EXPECT_EQ(rewrite(po + po), po + po);
    entries({{po.c_str(), "P", ""}, {"x", "-", ""}});  // a replaced character goes whole
    EXPECT_EQ(rewrite("x" + po + "x"), "-P-");
    entries({{"|", "Q", "all"}});
    EXPECT_EQ(rewrite(po), po);
    EXPECT_EQ(rewrite("\x83"), "\x83");  // a lead byte at the end is a character of its own
    MarkupTemplate split = parsed((po + "|x|y").c_str(), "|");
    EXPECT_EQ(opening(split), po);
    EXPECT_EQ(closing(split), "x|y");
    entries({});
    Settings<char>& s = settings<char>();
    std::strcpy(s.escape_chars, ("*" + po).c_str());  // the list's double-byte characters list nothing
    s.escape_code = parsed("\\%c");
    EXPECT_EQ(rewrite(po + "*|"), po + "\\*|");
    clearLeadBytes();  // as in UTF-8 again: every byte is a character
    entries({{"|", "&#124;", ""}});
    EXPECT_EQ(rewrite(po), "\x83&#124;");
}

TEST_F(RewriteTest, EscapesAfterTheEntries) {
    struct Case {
        const char* chars;
        const char* code;
        const char* text;
        const char* rewritten;
    };
    const Case cases[] = {
        {"|*_", "\\%c", "a|b*c_d", "a\\|b\\*c\\_d"},
        {"|<", "&#%d;", "<a|b>", "&#60;a&#124;b>"},
        {"|", "%d%d", "|", "%d%d"},       // two conversions: written as it stands
        {"|", "", "a|b", "a|b"},          // no code: nothing escaped
        {"|", "@x", "a|b", "a|b"},        // nor with an empty opening part
        {"", "\\%c", "a|b", "a|b"},
        {"b", "[%c]", "abba", "a[b][b]a"},
    };
    for (const Case& c : cases) {
        entries({{"a", "A", ""}});  // an entry that matches wins over an escape
        Settings<char>& s = settings<char>();
        std::strcpy(s.escape_chars, c.chars);
        s.escape_code = parsed(c.code);
        std::string expected = c.rewritten;
        for (char& ch : expected)
            if (ch == 'a') ch = 'A';
        EXPECT_EQ(rewrite(c.text), expected) << c.chars << " " << c.code;
    }
}

TEST_F(RewriteTest, AllModeWrapsTheWholeText) {
    entries({{"x", "Q", "all"}});
    EXPECT_EQ(rewrite("axb"), "QaxbQ");
    EXPECT_EQ(rewrite(""), "");
    EXPECT_EQ(rewrite("ab"), "ab");
    entries({{"x", "A", "all"}, {"y", "B", "all"}});
    EXPECT_EQ(rewrite("xy"), "BAxyAB");
    entries({{"x", "A", "all"}, {"y", "A", "all"}});
    EXPECT_EQ(rewrite("xy"), "AxyA");
    entries({{"x", "Q", "all"}, {"x", "-", ""}});
    EXPECT_EQ(rewrite("x"), "Q-Q");
    entries({{"x", "Q", "all@x"}});
    EXPECT_EQ(rewrite("x"), "QxQ");
    entries({{"@", "W", "all"}});
    EXPECT_EQ(rewrite("t"), "WtW");
    EXPECT_EQ(rewrite(""), "");
}

TEST_F(RewriteTest, LongResultsAreWrittenWhole) {
    const std::string hundred(100, 'R');
    entries({{"a", hundred.c_str(), ""}, {"b", hundred.c_str(), "all"}});
    std::string expected;
    for (int i = 0; i < 200; ++i) expected += hundred;
    EXPECT_EQ(rewrite(std::string(200, 'a') + "b"), hundred + expected + "b" + hundred);
    EXPECT_EQ(rewrite(std::string(30000, 'c')), std::string(30000, 'c'));
}

class WikiWriterTest : public WikiTest {
protected:
    std::string write(StatusCode expected = kOk) {
        EXPECT_EQ(WriteWikiTable(), expected);
        const auto& o = runBuffers<char>().outputBuffer;
        return o.data ? std::string(o.data, size_t(o.length)) : std::string();
    }
};

TEST_F(WikiWriterTest, SeparatorsAndRows) {
    useSettings("[Param]\ncell_sep=|\n");
    makeGrid(3, 3);
    setText(0, 0, "a"), setText(1, 0, "b\nx"), setText(2, 0, "");
    merge(0, 1, 1, 1);  // anchor "c" in row 1, covered cell beside it
    setText(0, 1, "c"), setText(2, 1, "d");
    merge(0, 2, 2, 2);  // all of row 2: anchored there, so its anchor writes
    EXPECT_EQ(write(), "|a|b\nx||\r\n|c|d|\r\n||\r\n");
}

TEST_F(WikiWriterTest, RowCoveredFromAboveWritesOnlyItsEnd) {
    useSettings("[Param]\ncell_sep=|\n");
    makeGrid(2, 2);
    merge(0, 1, 0, 1);
    setText(0, 0, "a");
    EXPECT_EQ(write(), "|a|\r\n|\r\n");
}

TEST_F(WikiWriterTest, NoParamSectionRunsTextsTogether) {
    makeGrid(2, 2);
    setText(0, 0, "a"), setText(1, 0, "b"), setText(0, 1, "c"), setText(1, 1, "d");
    useSettings("");
    EXPECT_EQ(write(), "ab\r\ncd\r\n");
}

TEST_F(WikiWriterTest, MergeMarkers) {
    useSettings("[Param]\ncell_sep=|\ncell_mrgh=>\ncell_mrgv=~\n");
    makeGrid(2, 5);
    merge(0, 2, 0, 0);
    merge(3, 4, 0, 1);
    setText(0, 0, "a"), setText(3, 0, "b");
    EXPECT_EQ(write(), "|~>>>a|~~>>b|\r\n||||\r\n");
}

TEST_F(WikiWriterTest, NestingAndAlignment) {
    useSettings("[Param]\ncell_sep=|\nfont_bold=B@b\nfont_italic=I@i\nfont_underline=U@u\nfont_strikethrough=S@s\n"
                "cell_poshl=L@l\ncell_poshc=C@c\ncell_poshr=R@r\ncell_posvt=T@t\ncell_posvc=M@m\ncell_posvb=O@o\n");
    makeGrid(1, 4);
    auto& all = grid().at(0, 0);
    all.bold = all.italic = 1, all.underline = all.strikeout = 1, all.horiJustify = 3, all.vertJustify = 1;
    setText(0, 0, "x");
    grid().at(1, 0).horiJustify = 2, grid().at(1, 0).vertJustify = 2;
    grid().at(2, 0).vertJustify = 3, grid().at(2, 0).horiJustify = 1;
    grid().at(3, 0).horiJustify = 4;  // opens left, closes right; vertical 0 opens bottom, closes top
    EXPECT_EQ(write(), "|TRBUISxsiubrt|MCcm|OLlo|OLrt|\r\n");
}

TEST_F(WikiWriterTest, ValuesOfTheCellsAndTheFrame) {
    useSettings("[Param]\ncell_sep=|\nfont_size=s%d@\nback_color=<%s@>\nfont_color=(%s@)\nline_color=c=%s@/\n"
                "line_width=w%d@!\n");
    makeGrid(1, 1);
    grid().at(0, 0).charHeight = 11;
    grid().at(0, 0).charColor = 0x0000FF;
    EXPECT_EQ(write(), "c=#000000|<#ffffff(#0000ffs11)>|\r\n/");
    ReleaseCellGrid<char>();
    useSettings(files.files["s.ini"]);
    makeGrid(1, 1);
    grid().at(0, 0).border[kTop] = 2;
    grid().at(0, 0).borderColor[kTop] = 0x808080;
    EXPECT_EQ(write(), "c=#808080w2|<#ffffff(#000000s10)>|\r\n!/");
}

// The keys of the table's structure, on small grids that each syntax's markup needs; the values are
// those of the sample files of the README.
TEST_F(WikiWriterTest, StructureOfTheTable) {
    struct Case {
        const char* name;
        const char* param;
        const char* markup;
        const char* lineBreaks = "d\nx";
        bool lastRowMerged = false;
    };
    // 3 x 3: "a" "b" "c" / "d" "e" "f" / "g" "h" "i"; b..f merged (2 x 2 at columns 1-2, rows 0-1),
    // "a" bold and centred, "g" and "h" right-aligned, "i" centred, "d" holds a line break.
    const Case cases[] = {
        {"rows framed, header row, spans",
         "newline_code=\\n\ntable_begin={| class=\"wikitable\"\ntable_end=|}\nrow_line=|-\nrow_frame=|@\n"
         "cell_sep=||\nhead_frame=!@\nhead_sep=!!\ncell_colspan=\"colspan=\"%d\" \"\ncell_rowspan=\"rowspan=\"%d\" \"\n"
         "cell_poshl=@\ncell_break=<br>\n",
         "{| class=\"wikitable\"\r\n!a!!colspan=\"2\" rowspan=\"2\" b\r\n|-\r\n|d<br>x\r\n|-\r\n|g||h||i\r\n|}\r\n"},
        {"rule line, covered cells as empty cells",
         "cell_sep=|\nrule_poshl=---\nrule_poshc=:-:\nrule_poshr=--:\ncover_cells=first\ncell_break=<br>\n",
         "|a|b||\r\n|---|--:|:-:|\r\n|d<br>x|||\r\n|g|h|i|\r\n"},
        {"covered cells marked, content last",
         "cell_sep=|\ncover_cells=last\ncover_row=>\ncover_column=~\ncover_other=>\nhead_cell=@h\n",
         "|ah|>|bh|\r\n|d\nx|>|~|\r\n|g|h|i|\r\n"},
        {"covered cells marked, content first, header separator",
         "cell_sep=|\nhead_sep=^\ncover_cells=first\ncover_column=:::\ncell_break=\"\\\\ \"\n",
         "^a^b^^\r\n|d\\\\ x|:::||\r\n|g|h|i|\r\n"},
        {"span counts with lines of the table",
         "newline_code=~\ntable_begin=[cols=\"%d*\"]~|===\ntable_end=|===\ncell_sep=\" \"\ncell_span=@+\n"
         "cell_colspan=%d\ncell_rowspan=.%d\ncell_poshl=<|@\ncell_poshc=^|@\ncell_poshr=>|@\ncell_break=\" +~\"\n",
         "[cols=\"3*\"]\r\n|===\r\n ^|a 2.2+<|b \r\n <|d +\r\nx \r\n >|g >|h ^|i \r\n|===\r\n"},
        {"a frame that writes nothing, breaks of every kind", "row_frame=@\ncell_sep=;\ncell_break=/\n",
         "a;b\r\nd/x/y/\r\ng\r\n", "d\r\nx\ry\n", true},
    };
    for (const Case& c : cases) {
        useSettings(std::string("[Param]\n") + c.param);
        makeGrid(3, 3);
        const char* texts[] = {"a", "b", "c", c.lineBreaks, "e", "f", "g", "h", "i"};
        for (int32_t n = 0; n < 9; ++n) setText(n % 3, n / 3, texts[n]);
        merge(1, 2, 0, 1);
        if (c.lastRowMerged) merge(0, 2, 2, 2);
        grid().at(0, 0).bold = 1, grid().at(0, 0).horiJustify = kHoriCenter;
        grid().at(0, 2).horiJustify = grid().at(1, 2).horiJustify = kHoriRight;
        grid().at(2, 2).horiJustify = kHoriCenter;
        EXPECT_EQ(write(), c.markup) << c.name;
        ReleaseCellGrid<char>();
    }
}

// PukiWiki's table rules, as its manual gives them, for the sample that no engine here can judge:
// a row is a line "|cell|...|" (an "h" after it makes a header row); a cell of just ">" joins the
// cell on its right, one of just "~" the cell above; "LEFT:", "CENTER:", "RIGHT:", "BGCOLOR(..):",
// "COLOR(..):" and "SIZE(..):" lead a cell; "&br;" breaks a line; ''bold''; "&#NN;" is a character.
struct PukiCell {
    std::string text;
    int32_t column = 0, row = 0, columnSpan = 1, rowSpan = 1;
    bool right = false, bold = false;
};

std::vector<PukiCell> readPukiTable(const std::string& markup) {
    std::vector<PukiCell> cells;
    std::vector<std::vector<int>> at;  // the cell index of each place, row by row
    std::istringstream lines(markup);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EXPECT_TRUE(line.size() >= 2 && line.front() == '|' && line.back() == '|') << line;
        std::vector<std::string> parts;
        for (size_t from = 1, bar; (bar = line.find('|', from)) != std::string::npos; from = bar + 1)
            parts.push_back(line.substr(from, bar - from));
        const size_t row = at.size();
        at.emplace_back(parts.size(), -1);
        int32_t pendingJoin = 0;
        for (size_t column = 0; column < parts.size(); ++column) {
            std::string text = parts[column];
            if (text == ">") {
                ++pendingJoin;
                continue;
            }
            if (text == "~") {
                EXPECT_GT(row, 0u) << line;
                if (row == 0 || column >= at[row - 1].size() || at[row - 1][column] < 0) continue;
                const int above = at[row - 1][column];
                cells[size_t(above)].rowSpan += 1;
                for (int32_t c = cells[size_t(above)].column; c <= int32_t(column); ++c) at[row][size_t(c)] = above;
                pendingJoin = 0;
                continue;
            }
            PukiCell cell;
            cell.column = int32_t(column) - pendingJoin, cell.row = int32_t(row), cell.columnSpan = 1 + pendingJoin;
            pendingJoin = 0;
            for (bool again = true; again;) {  // the cell's leading formats
                again = false;
                for (const char* format : {"LEFT:", "CENTER:", "RIGHT:", "BGCOLOR(", "COLOR(", "SIZE("}) {
                    if (text.rfind(format, 0) != 0) continue;
                    cell.right = cell.right || std::strcmp(format, "RIGHT:") == 0;
                    const bool withValue = format[std::strlen(format) - 1] == '(';
                    text.erase(0, withValue ? text.find("):") + 2 : std::strlen(format));
                    again = true;
                }
            }
            const std::string two = "''", three = "'''";
            if (text.size() >= 4 && text.rfind(two, 0) == 0 && text.rfind(three, 0) != 0 &&
                text.compare(text.size() - 2, 2, two) == 0)
                cell.bold = true, text = text.substr(2, text.size() - 4);
            for (size_t at = 0; at < text.size();) {  // line breaks and character references
                const size_t end = text.find(';', at);
                if (text.compare(at, 4, "&br;") == 0) {
                    cell.text += '\n';
                    at += 4;
                } else if (text.compare(at, 2, "&#") == 0 && end != std::string::npos) {
                    cell.text += char(std::stoi(text.substr(at + 2, end - at - 2)));
                    at = end + 1;
                } else {
                    cell.text += text[at++];
                }
            }
            for (int32_t c = cell.column; c <= int32_t(column); ++c) at[row][size_t(c)] = int(cells.size());
            cells.push_back(cell);
        }
        EXPECT_EQ(pendingJoin, 0) << "a > at the end of the row joins nothing: " << line;
    }
    return cells;
}

TEST_F(WikiWriterTest, PukiWikiSampleByItsTableRules) {
    std::ifstream file(GRID_TEST_DATA_DIR "/../../examples/gridquill/pukiwiki/Gridquill.ini", std::ios::binary);
    std::stringstream sample;
    sample << file.rdbuf();
    ASSERT_FALSE(sample.str().empty());
    useSettings(sample.str());
    // 4 x 4 with areas of 2 x 2 (left edge), 3 x 1 (right and bottom edges) and 1 x 3 (left and
    // bottom edges); a line break, markup characters, a bold and a right-aligned cell.
    makeGrid(4, 4);
    const char* texts[] = {"Name", "a|b", "~x>", "'q'", "Two by two", "", "C|", "Three by one",
                           "",     "",    "two\nlines", "", "One by three", "", "", ""};
    for (int32_t n = 0; n < 16; ++n)
        if (texts[n][0] != 0) setText(n % 4, n / 4, texts[n]);
    merge(0, 1, 1, 2), merge(3, 3, 1, 3), merge(0, 2, 3, 3);
    grid().at(0, 1).bold = 1;
    grid().at(2, 1).horiJustify = kHoriRight;
    const std::vector<PukiCell> cells = readPukiTable(write());
    struct Expected {
        int32_t column, row, columnSpan, rowSpan;
        const char* text;
    };
    const Expected expected[] = {
        {0, 0, 1, 1, "Name"},       {1, 0, 1, 1, "a|b"}, {2, 0, 1, 1, "~x>"},          {3, 0, 1, 1, "'q'"},
        {0, 1, 2, 2, "Two by two"}, {2, 1, 1, 1, "C|"},  {3, 1, 1, 3, "Three by one"}, {2, 2, 1, 1, "two\nlines"},
        {0, 3, 3, 1, "One by three"},
    };
    ASSERT_EQ(cells.size(), std::size(expected));
    for (size_t n = 0; n < cells.size(); ++n) {
        EXPECT_EQ(cells[n].column, expected[n].column) << n;
        EXPECT_EQ(cells[n].row, expected[n].row) << n;
        EXPECT_EQ(cells[n].columnSpan, expected[n].columnSpan) << n;
        EXPECT_EQ(cells[n].rowSpan, expected[n].rowSpan) << n;
        EXPECT_EQ(cells[n].text, expected[n].text) << n;
        EXPECT_EQ(cells[n].bold, n == 4) << n;
        EXPECT_EQ(cells[n].right, n == 5) << n;
    }
}

TEST_F(WikiWriterTest, EveryFailedAllocationIsReported) {
    const std::string hundred(100, 'R');
    useSettings("[Param]\ncell_sep=|\ncode_chenge_m1=a\ncode_chenge_o1=" + hundred + "\ncode_chenge_m2=b\n"
                "code_chenge_o2=W\ncode_chenge_r2=all\n");
    const std::string ini = files.files["s.ini"];
    auto prepare = [&] {
        useSettings(ini);
        makeGrid(2, 2);
        setText(0, 0, std::string(300, 'a') + "b");
        setText(1, 1, "b");
        boxes.clear();
    };
    const size_t ownBlocks = allocator.liveBlocks();  // the fixture's own buffer
    prepare();
    const long before = allocator.allocations();
    ASSERT_EQ(WriteWikiTable(), kOk);
    const long needed = allocator.allocations() - before;
    ReleaseCellGrid<char>();
    ASSERT_GE(needed, 4);
    for (AllocationFailure kind : {AllocationFailure::exhausted, AllocationFailure::other}) {
        for (long n = 1; n <= needed; ++n) {
            prepare();
            allocator.failNth(n, kind);
            const StatusCode status = WriteWikiTable();
            allocator.failNth(0);
            const std::vector<int> codes = boxes.codes();
            ReleaseCellGrid<char>();
            ASSERT_EQ(allocator.liveBlocks(), ownBlocks) << n;
            if (status == kOk) {  // room reserved ahead that could not be had is no failure
                EXPECT_TRUE(codes.empty()) << n;
                continue;
            }
            EXPECT_EQ(status, kNoMemory) << n;
            ASSERT_FALSE(codes.empty()) << n;
            // 12 or 13 by the failure's kind for a buffer that cannot be had, else 13.
            EXPECT_TRUE(codes.back() == 13 || (codes.back() == 12 && kind == AllocationFailure::exhausted)) << n;
        }
    }
}

}  // namespace
}  // namespace grid::test
