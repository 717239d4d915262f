// The grid renderer from outside, as a test script would run it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace grid::test {
namespace {

struct Rendered {
    int exitCode;
    std::string out, err;
};

class RenderGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/rendergrid.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }

    std::string file(const std::string& name, const std::string& content) {
        std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    Rendered render(const std::string& arguments) {
        const std::string out = folder + "/out", err = folder + "/err";
        int status = std::system((std::string(GRID_RENDER_GRID) + " " + arguments + " >" + out + " 2>" + err).c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
    }
    // The text with every line feed written as CR LF, as the writers end their lines.
    static std::string crlf(const std::string& text) {
        std::string out;
        for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return out;
    }

    std::string folder;
};

// Formatting of every kind, a merged area whose covered cell has a style of its own, a cell
// without text, and default cells.
const char* const kGrid = R"({"rows": 2, "columns": 3, "merges": [[1, 2, 0, 1]], "cells": [
    {"text": "A & B", "bold": 1, "italic": 1, "underline": 1, "strikeout": 1, "horiJustify": 1, "vertJustify": 3,
     "charHeight": 12, "charColor": 255, "backColor": 16776960, "border": [1, 1, 2, 1],
     "borderColor": [0, 0, 8421504, 0]},
    {"text": "merged\nlines", "backColor": 65280, "border": [1, 1, 1, 1], "borderColor": [0, 0, 255, 0]},
    {"text": "covered", "backColor": 12345},
    {"text": null, "underline": 1}, {}, {"backColor": 16777215}]})";

const char* const kEveryFlag =
    "[Param]\nline_color_yn=ON\nline_width_yn=ON\nback_color_yn=ON\nfont_color_yn=ON\nfont_size_yn=ON\n"
    "font_bold_yn=ON\nfont_underline_yn=ON\nfont_italic_yn=ON\nfont_strikethrough_yn=ON\ncell_posh_yn=ON\n"
    "cell_posv_yn=ON\n";

TEST_F(RenderGridTest, EveryFlagOnInHtmlFive) {
    Rendered run = render("--program gridweave --ini " + file("s.ini", kEveryFlag) + " --grid " + file("g.json", kGrid));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, crlf(R"(<TABLE CLASS="gweaveT">
<TR>
<TD NOWRAP VALIGN="BOTTOM" class="gweaveC0"><SPAN STYLE="FONT-SIZE:12pt;COLOR:#0000ff"><P ALIGN="LEFT" class="gweaveF0"><B><I><S>A&nbsp;&amp;&nbsp;B</S></I></B></P></SPAN></TD>
<TD COLSPAN=2 ROWSPAN=2 NOWRAP class="gweaveC1"><SPAN STYLE="FONT-SIZE:10pt;COLOR:#000000">merged<BR>lines</SPAN></TD>
</TR>
<TR>
<TD NOWRAP class="gweaveC3"><SPAN STYLE="FONT-SIZE:10pt;COLOR:#000000"><P class="gweaveF0"></P></SPAN></TD>
</TR>
</TABLE>


<style type="text/css">
<!--
table.gweaveT, td.gweaveT, th.gweaveT { border: 2px #808080 solid}
p.gweaveF0 {text-decoration: underline}
td.gweaveC0 {background-color:#ffff00; border: 2px #808080 solid}
td.gweaveC1 {background-color:#00ff00; border: 2px #0000ff solid}
td.gweaveC2 {background-color:#003039; border: 2px #ffffff solid}
td.gweaveC3 {background-color:#ffffff; border: 2px #ffffff solid}
-->
</style>
)"));
    EXPECT_EQ(run.err, "");
}

TEST_F(RenderGridTest, EveryFlagOnInLegacyMode) {
    Rendered run = render("--program gridweave --ini " + file("s.ini", std::string(kEveryFlag) + "htmlversion=4\n") +
                     " --grid " + file("g.json", kGrid));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, crlf(R"(<TABLE BORDER CELLSPACING=2 BORDERCOLOR=#808080>
<TR>
<TD NOWRAP VALIGN="BOTTOM" BGCOLOR=#ffff00><SPAN STYLE="FONT-SIZE:12pt;COLOR:#0000ff"><P ALIGN="LEFT"><B><U><I><S>A&nbsp;&amp;&nbsp;B</S></I></U></B></P></SPAN></TD>
<TD COLSPAN=2 ROWSPAN=2 NOWRAP BGCOLOR=#00ff00><SPAN STYLE="FONT-SIZE:10pt;COLOR:#000000">merged<BR>lines</SPAN></TD>
</TR>
<TR>
<TD NOWRAP BGCOLOR=#ffffff><SPAN STYLE="FONT-SIZE:10pt;COLOR:#000000"><U></U></SPAN></TD>
</TR>
</TABLE>)"));
}

TEST_F(RenderGridTest, EveryFlagOff) {
    Rendered run = render("--program gridweave --ini " + file("s.ini", "") + " --grid " + file("g.json", kGrid));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, crlf(R"(<TABLE>
<TR>
<TD NOWRAP>A&nbsp;&amp;&nbsp;B</TD>
<TD COLSPAN=2 ROWSPAN=2 NOWRAP>merged<BR>lines</TD>
</TR>
<TR>
<TD NOWRAP></TD>
</TR>
</TABLE>


<style type="text/css">
<!--
td.gweaveC0 {}
-->
</style>
)"));
}

TEST_F(RenderGridTest, PlainTextGetsBordersOnEveryCell) {
    Rendered run = render("--program gridweave --ini " + file("s.ini", "[Param]\nline_width_yn=ON\nback_color_yn=ON\n") +
                     " --text " + file("t.txt", "a\tb b\n<c>\r\n"));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, crlf(R"(<TABLE CLASS="gweaveT">
<TR>
<TD NOWRAP class="gweaveC0">a</TD>
<TD NOWRAP class="gweaveC0">b&nbsp;b</TD>
</TR>
<TR>
<TD NOWRAP class="gweaveC0">&lt;c&gt;</TD>
<TD NOWRAP class="gweaveC0"></TD>
</TR>
</TABLE>


<style type="text/css">
<!--
table.gweaveT, td.gweaveT, th.gweaveT { border: 1px solid}
td.gweaveC0 {background-color:#ffffff; border: 1px solid}
-->
</style>
)"));
}

TEST_F(RenderGridTest, NormalisedMergedAreaTakesItsAnchorsOutline) {
    const std::string grid = R"({"rows": 2, "columns": 2, "merges": [[0, 1, 0, 0]],
        "cells": [{"text": "x", "border": [2, 2, 2, 2]}, {"border": [1, 1, 1, 1]}, {}, {}]})";
    Rendered run = render("--program gridweave --ini " + file("s.ini", "[Param]\nhtmlversion=4\nline_width_yn=ON\n") +
                     " --grid " + file("g.json", grid) + " --normalise");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, crlf("<TABLE BORDER CELLSPACING=2>\n<TR>\n<TD COLSPAN=2 NOWRAP>x</TD>\n</TR>\n<TR>\n"
                            "<TD NOWRAP></TD>\n<TD NOWRAP></TD>\n</TR>\n</TABLE>"));
}

TEST_F(RenderGridTest, WikiMarkupOfMergedAreasIsPrintedAsItsBytes) {
    const std::string ini = "[Param]\ncell_sep=|\ncell_mrgh=>\ncell_mrgv=~\nback_color=BG(%s):@\nline_color=[%s@]\n"
                            "code_chenge_m1=|\ncode_chenge_o1=&#124;\n";
    Rendered run = render("--program gridquill --ini " + file("s.ini", ini) + " --grid " + file("g.json", kGrid));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "[#808080|BG(#ffff00):A & B|~~>>BG(#00ff00):merged\nlines|\r\n"
                       "|BG(#ffffff):|\r\n]");
    run = render("--program gridquill --ini " + file("s.ini", ini) + " --text " + file("t.txt", "表|計\t\n"));
    EXPECT_EQ(run.out, "[#000000|BG(#ffffff):表&#124;計|BG(#ffffff):|\r\n]");
}

TEST_F(RenderGridTest, FailuresAndTheirMessages) {
    // An area beyond the grid is refused by the normalisation with message 39.
    Rendered run = render("--program gridweave --ini " + file("s.ini", "") + " --grid " +
                     file("g.json", R"({"rows": 1, "columns": 1, "merges": [[0, 3, 0, 0]]})") + " --normalise");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "message 39\n");

    EXPECT_EQ(render("--program gridweave --ini x --grid " + file("bad.json", "{\"rows\": ")).exitCode, 2);
    EXPECT_EQ(render("--program gridweave --ini x").exitCode, 2);
    EXPECT_EQ(render("--program other --ini x --text y").exitCode, 2);
}

}  // namespace
}  // namespace grid::test
