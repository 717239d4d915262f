#include "tests/unit/SettingsCases.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/RunState.h"
#include "core/Settings.h"
#include "platform/CodePage.h"

namespace grid::test {
namespace {

std::string utf16le(const std::u16string& text, bool mark = true) {
    std::string bytes = mark ? "\xFF\xFE" : "";
    for (char16_t unit : text) bytes += char(unit & 0xFF), bytes += char(unit >> 8);
    return bytes;
}

std::string utf16be(const std::u16string& text) {
    std::string bytes = "\xFE\xFF";
    for (char16_t unit : text) bytes += char(unit >> 8), bytes += char(unit & 0xFF);
    return bytes;
}

std::u16string wide(const std::string& utf8) { return utf8ToUtf16(utf8.data(), utf8.size()); }

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::string numbers(const char* count, const char* time) {
    return std::string("[Wait]\r\nClipWaitCount=") + count + "\r\nClipWaitTime=" + time + "\r\n";
}

std::vector<SettingsCase> makeCases() {
    const std::string digits150 = repeat("0123456789", 15);
    const std::string japanese = "罫線の色は赤、背景は白";  // 11 characters, 2 bytes each in code page 932
    return {
        {"empty", ""},
        {"plain",
         "[Log]\r\nTime=ON\r\n[Wait]\r\nClipWaitCount=3\r\nClipWaitTime=10\r\n[Param]\r\nhtmlversion=4.01\r\n"
         "table_posh=CENTER\r\nline_color_yn=ON\r\nfont_bold_yn=ON\r\ncntl_char=@\r\nline_color=[%s@]\r\n"
         "cell_sep=|\r\nfont_bold=''@''\r\ncode_chenge_m1=a\r\ncode_chenge_o1=b\r\ncode_chenge_r1=all\r\n"
         "[Locale]\r\nLocale=C\r\n"},
        {"double_quotes", "[Log]\nTime=\"ON\"\n[Param]\nhtmlversion=\"4\"\ntable_posh=\"\"\ncell_sep=\"|\"\n"
                          "line_color=\"a\"b\"\nfont_bold=\"x\nfont_italic=x\"\nfont_size=\"\n"},
        {"single_quotes", "[Log]\nTime='ON'\n[Param]\ntable_posh='P'\ncell_sep='|'\nline_color=\"a'\n"
                          "font_bold='x\"\nfont_italic=''\nfont_size='\n"},
        {"quotes_with_blanks", "[Param]\ntable_posh=\"  spaced  \"\ncell_sep=' | '\nfont_bold= \" B \" \n"
                               "[Wait]\nClipWaitCount=\" 7\"\nClipWaitTime=' -3 '\n"},
        {"blanks", "  [Log]  \r\n  Time   =   ON   \r\n\t[Param]\t\r\n\thtmlversion\t=\t4\t\r\n"
                   "table_posh = a b c \r\ncell_sep =  |  \r\n  \r\n\t\r\n"},
        {"section_blanks", "[ Log ]\nTime=off\n[Log]\nTime=on\n[Param ]\nhtmlversion=4\n[Param]x\ncell_sep=|\n"},
        {"duplicate_sections",
         "[Log]\nTime=off\n[Param]\nhtmlversion=4\n[Log]\nTime=ON\n[Param]\ntable_posh=late\ncell_sep=late\n"
         "[Wait]\nClipWaitCount=5\n[Wait]\nClipWaitCount=6\nClipWaitTime=7\n"},
        {"duplicate_keys", "[Log]\nTime=first\nTime=ON\n[Param]\ncell_sep=1\ncell_sep=2\nCELL_SEP=3\n"
                           "htmlversion=4\nhtmlversion=5\n"},
        {"case", "[log]\nTIME=ON\n[PARAM]\nHtmlVersion=4\nTABLE_POSH=Upper\nCell_Sep=Mixed\n[wait]\n"
                 "clipwaitcount=9\n[LOCALE]\nlocale=ja_JP\n"},
        {"comments", ";[Log]\n[Log]\n;Time=off\n# Time=off\nTime=ON ; not a comment\n[Param]\n; cell_sep=x\n"
                     "cell_sep=|;|\n//htmlversion=4\n"},
        {"overlong", "[Log]\nTime=ONONONONONONONON\n[Param]\ntable_posh=" + digits150 + "\ncell_sep=" + digits150 +
                         "\ncntl_char=0123456789ABC\ncode_chenge_m1=" + digits150 + "\n[Locale]\nLocale=" +
                         repeat("x", 1200) + "\n"},
        {"exact_lengths", "[Log]\nTime=123456789\n[Param]\ntable_posh=" + digits150.substr(0, 100) + "\ncell_sep=" +
                              digits150.substr(0, 101) + "\ncntl_char=123456789\nfont_bold=1234567890\n"},
        {"empty_values", "[Log]\nTime=\n[Wait]\nClipWaitCount=\nClipWaitTime=  \n[Param]\nhtmlversion=\n"
                         "cntl_char=\ncell_sep=\n[Locale]\nLocale=\n"},
        {"equals_in_values", "[Param]\ntable_posh=a=b\ncell_sep===\ncell_mrgh= = x = \nline_color=a = b\n"
                             "font_bold = = \n[Log]\nTime==ON\n"},
        {"no_final_line_end", "[Log]\nTime=ON\n[Param]\ncell_sep=|\nhtmlversion=4"},
        {"cr_only", "[Log]\rTime=ON\r[Param]\rhtmlversion=4\rcell_sep=|\r\r\rcell_mrgh=>\r"},
        {"lf_only_and_mixed", "[Log]\n\n\r\n\r\rTime=ON\n\r[Param]\n\rcell_sep=|\n\n"},
        {"utf16_with_mark",
         utf16le(u"[Log]\r\nTime=ON\r\n[Param]\r\nhtmlversion=4\r\ntable_posh=" + wide(japanese) +
                 u"\r\ncell_sep=｜\r\ncntl_char=＠\r\nline_color=" + wide(japanese) + u"@%s\r\n")},
        {"utf16_big_endian", utf16be(u"[Param]\r\ncell_sep=||\r\ntable_posh=" + wide(japanese) + u"\r\n")},
        {"utf16_odd_length", utf16le(u"[Param]\r\ncell_sep=|\r\ntable_posh=end") + "X"},
        {"utf16_big_endian_odd_length", utf16be(u"[Param]\r\ncell_sep=|\r\ntable_posh=end") + "X"},
        {"utf16_unicode_blanks",
         utf16le(u"[Param]\r\ntable_posh=\u3000x\u3000\r\ncell_sep=\u00A0y\u00A0\r\ncell_mrgh=\u2003z\u2003\r\n"
                 u"cell_mrgv=\u200Bw\u200B\r\nfont_bold=\u0085v\u0085\r\nfont_italic=\u001Cu\u001C\r\n"
                 u"font_size=\uFEFFt\uFEFF\r\nline_width=\u001As\u001A\r\n")},
        {"utf16_lone_surrogates", utf16le(u"[Param]\r\ncell_sep=a\xD800" u"b\r\ntable_posh=\xDC00\r\n")},
        {"utf16_overlong_japanese", utf16le(u"[Param]\r\ntable_posh=" + wide(repeat("日本語", 50)) +
                                            u"\r\ncell_sep=" + wide(repeat("日本語", 50)) + u"\r\ncell_mrgh=a" +
                                            wide(repeat("表", 60)) + u"\r\n")},
        {"utf8_without_mark", "[Param]\ntable_posh=" + japanese + "\ncell_sep=" + japanese + "\n"},
        {"utf8_with_mark", "\xEF\xBB\xBF[Log]\nTime=ON\n[Param]\ntable_posh=" + japanese + "\ncell_sep=" +
                               japanese + "\n"},
        {"code_page_932", "[Param]\ntable_posh=\x93\xFA\x96\x7B\ncell_sep=\x81\x62\ncntl_char=\x81\x97\n"
                          "line_color=\x81\x97%s\x81\x97\nfont_bold=\xB1\xB2\n"},
        {"code_page_932_bad_bytes", "[Param]\ntable_posh=a\x80" "b\xA0" "c\xFD\xFE\xFF\ncell_sep=\x81\ncell_mrgh=\x81\x20x\n"
                                    "cell_mrgv=\x85\x40\nfont_bold=\xEF\x40\nfont_italic=x\x82\n"},
        {"nul_bytes", std::string("[Log]\nTime=O\0N\n[Param]\ncell_sep=a\0b\ntable_posh\0x=y\nhtmlversion=\0\n", 64)},
        {"binary", std::string("\x00\x01\x02[Param]\x00\ncell_sep=\x01\x02\x03\n\x7F\x1B[Log]\nTime=ON\x04\n", 40)},
        {"number_signs", numbers("+12", "-3")},
        {"number_junk", numbers("12abc", "abc12")},
        {"number_bases", numbers("0x10", "0X10")},
        {"number_bases_more", numbers("0b101", "0o17")},
        {"number_signs_and_bases", numbers("-0x10", "+-3")},
        {"number_wraps", numbers("99999999999", "4294967296")},
        {"number_blanks", numbers("\" 7\"", "'\t12'")},
        {"number_empty_and_blank", numbers("", "\"\"")},
        {"number_long", numbers("000000000000000000000000000000000000042", "  1 2")},
        {"lines_without_equals", "[Log]\nTime\nTime=ON\n[Param]\ncell_sep\ncell_sep=|\nhtmlversion=4\n"},
        {"section_without_bracket", "[Param]\ncell_sep=|\n[Log\nTime=off\n[Wait\nClipWaitCount=4\n"},
        {"keys_before_sections", "Time=off\ncell_sep=x\n[Param]\nhtmlversion=4\n"},
        {"odd_sections", "[Param]]\ncell_sep=1\n[[Param]\ncell_sep=2\n[]\ncell_sep=3\n[Param] trailing\n"
                         "cell_sep=4\n"},
        {"odd_keys", "[Param]\ncell sep=x\n cell_sep \t= y\n=z\n"},
        {"dos_end_of_file", "[Log]\r\nTime=ON\x1A\r\n[Param]\r\ncell_sep=|\r\n\x1A"},
        {"substitutions_gap", "[Param]\ncode_chenge_m1=a\ncode_chenge_o1=b\ncode_chenge_r1=all\ncode_chenge_o2=q\n"
                              "code_chenge_r2=all\ncode_chenge_m3=c\ncode_chenge_o3=d\n"},
        {"substitutions_all_five", "[Param]\ncode_chenge_m1=1\ncode_chenge_m2=2\ncode_chenge_m3=3\n"
                                   "code_chenge_m4=4\ncode_chenge_m5=5\ncode_chenge_o5=five\ncode_chenge_r5=ALL\n"},
        {"substitutions_blank_pattern", "[Param]\ncode_chenge_m1=\"\"\ncode_chenge_o1=x\ncode_chenge_m2=y\n"},
        {"time_variants", "[Log]\nTime=on\n[Param]\nline_color_yn=On\nline_width_yn=ON\nback_color_yn=ON \n"
                          "font_color_yn=\"ON\"\nfont_size_yn=YES\nfont_bold_yn=1\n"},
        {"long_line", "[Param]\ncell_sep=" + repeat("y", 20000) + "\n" + repeat("x", 30000) + "=1\nhtmlversion=4\n"},
    };
}

void appendHex(std::string& out, const char16_t* units, size_t count) {
    while (count > 0 && units[count - 1] == 0) --count;
    char hex[8];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(units[i]));
        out += hex;
    }
}

void appendHex(std::string& out, const char* bytes, size_t count) {
    while (count > 0 && bytes[count - 1] == 0) --count;
    char hex[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(bytes[i]));
        out += hex;
    }
}

template <class Ch, size_t N>
void field(std::string& out, const char* name, const Ch (&value)[N]) {
    out += name;
    out += '=';
    appendHex(out, value, N);
    out += '\n';
}

void field(std::string& out, const char* name, long value) { out += std::string(name) + '=' + std::to_string(value) + '\n'; }

}  // namespace

const std::vector<SettingsCase>& trickySettingsFiles() {
    static const std::vector<SettingsCase> cases = makeCases();
    return cases;
}

std::string recordOfSettings(const std::string& path) {
    std::string out;
    resetSettings<char16_t>();
    resetRunState<char16_t>();
    std::u16string widePath = wide(path);
    readSettings<char16_t>(widePath.c_str());
    const Settings<char16_t>& w = settings<char16_t>();
    field(out, "weave.Time", w.timeValue);
    field(out, "weave.showElapsedTime", runState<char16_t>().showElapsedTime);
    field(out, "weave.ClipWaitCount", w.clipWaitCount);
    field(out, "weave.ClipWaitTime", w.clipWaitTime);
    field(out, "weave.htmlversion", w.htmlversion);
    field(out, "weave.table_posh", w.table_posh);
    field(out, "weave.table_outline", w.table_outline);
    field(out, "weave.line_color_yn", w.line_color_yn);
    field(out, "weave.line_width_yn", w.line_width_yn);
    field(out, "weave.back_color_yn", w.back_color_yn);
    field(out, "weave.font_color_yn", w.font_color_yn);
    field(out, "weave.font_size_yn", w.font_size_yn);
    field(out, "weave.font_bold_yn", w.font_bold_yn);
    field(out, "weave.font_underline_yn", w.font_underline_yn);
    field(out, "weave.font_italic_yn", w.font_italic_yn);
    field(out, "weave.font_strikethrough_yn", w.font_strikethrough_yn);
    field(out, "weave.cell_posh_yn", w.cell_posh_yn);
    field(out, "weave.cell_posv_yn", w.cell_posv_yn);
    field(out, "weave.Locale", w.localeName);

    resetSettings<char>();
    resetRunState<char>();
    readSettings<char>(path.c_str());
    const Settings<char>& q = settings<char>();
    field(out, "quill.Time", q.timeValue);
    field(out, "quill.showElapsedTime", runState<char>().showElapsedTime);
    field(out, "quill.ClipWaitCount", q.clipWaitCount);
    field(out, "quill.ClipWaitTime", q.clipWaitTime);
    field(out, "quill.cntl_char", q.cntl_char);
    const std::pair<const char*, const MarkupTemplate*> templates[] = {
        {"line_color", &q.line_color}, {"line_width", &q.line_width}, {"back_color", &q.back_color},
        {"font_color", &q.font_color}, {"font_size", &q.font_size}, {"font_bold", &q.font_bold},
        {"font_underline", &q.font_underline}, {"font_italic", &q.font_italic},
        {"font_strikethrough", &q.font_strikethrough}, {"cell_poshr", &q.cell_poshr}, {"cell_poshc", &q.cell_poshc},
        {"cell_poshl", &q.cell_poshl}, {"cell_posvt", &q.cell_posvt}, {"cell_posvc", &q.cell_posvc},
        {"cell_posvb", &q.cell_posvb}, {"cell_sep", &q.cell_sep}, {"cell_mrgh", &q.cell_mrgh},
        {"cell_mrgv", &q.cell_mrgv},
    };
    for (const auto& [name, value] : templates) field(out, (std::string("quill.") + name).c_str(), value->text);
    for (int n = 0; n < 5; ++n) {
        std::string entry = "quill.code_chenge_" + std::to_string(n + 1);
        field(out, (entry + ".m").c_str(), q.substitutions[n].pattern.text);
        field(out, (entry + ".o").c_str(), q.substitutions[n].replacement.text);
        field(out, (entry + ".r").c_str(), q.substitutions[n].mode.text);
    }
    field(out, "quill.substitutionCount", q.substitutionCount);
    return out;
}

std::string recordedWindowsValues() {
    std::ifstream file(GRID_TEST_DATA_DIR "/settings-read-by-windows.txt", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace grid::test
