#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "platform/fake/FakeSettingsFile.h"
#include "tests/unit/TestSupport.h"

namespace grid::test {
namespace {

template <class Ch>
class SettingsTest : public CoreTest<Ch> {
protected:
    void SetUp() override {
        CoreTest<Ch>::SetUp();
        resetSettings<Ch>();
    }
    void TearDown() override {
        resetSettings<Ch>();
        CoreTest<Ch>::TearDown();
    }
    static std::string settingsPath() { return std::string("C:\\Programs\\Grid\\") + Program<Ch>::settingsFileName; }
    void useFile(const std::string& text) { files.files[settingsPath()] = text; }

    FakeSettingsFile files;
};

TYPED_TEST_SUITE(SettingsTest, CharTypes);

TYPED_TEST(SettingsTest, FolderOfTheProgramFile) {
    using Ch = TypeParam;
    Ch directory[2048];
    locateSettingsFile(directory, 2048);
    EXPECT_EQ(narrow(directory), "C:\\Programs\\Grid");
    EXPECT_EQ(this->files.moduleNameSize, sizeof(Ch) == 1 ? 1023u : 2047u);

    this->files.programPath = "Gridweave.exe";
    locateSettingsFile(directory, 2048);
    EXPECT_EQ(narrow(directory), ".");

    // A path longer than the buffer is cut before its last separator is looked for.
    const size_t part = sizeof(Ch) == 1 ? 700 : 1500;
    this->files.programPath = "C:\\" + std::string(part, 'a') + "\\" + std::string(part, 'b') + "\\x.exe";
    locateSettingsFile(directory, 2048);
    EXPECT_EQ(narrow(directory), "C:\\" + std::string(part, 'a'));
}

TYPED_TEST(SettingsTest, WhatLiesAtTheSettingsPath) {
    using Ch = TypeParam;
    this->files.folders.insert("C:\\a\\folder.ini");
    this->files.files["C:\\a\\file.ini"] = "";
    const auto dir = textOf<Ch>("C:\\a");
    EXPECT_EQ(settingsFileExists(dir.c_str(), textOf<Ch>("none.ini").c_str()), 0);
    EXPECT_EQ(settingsFileExists(dir.c_str(), textOf<Ch>("folder.ini").c_str()), -1);
    EXPECT_EQ(settingsFileExists(dir.c_str(), textOf<Ch>("file.ini").c_str()), 1);
}

TYPED_TEST(SettingsTest, MissingFileIsReportedWithoutOwnerAndGivesTheDefaults) {
    using Ch = TypeParam;
    prepareSettings<Ch>();
    ASSERT_EQ(this->boxes.codes(), std::vector<int>{31});
    EXPECT_EQ(this->boxes.shown()[0].owner, nullptr);
    const Settings<Ch>& s = settings<Ch>();
    EXPECT_EQ(narrow(s.timeValue), "ON");
    EXPECT_EQ(runState<Ch>().showElapsedTime, 1);
    EXPECT_EQ(s.clipWaitCount, 20);
    EXPECT_EQ(s.clipWaitTime, 50);
    EXPECT_EQ(this->files.locales, std::vector<std::string>{""});
}

TYPED_TEST(SettingsTest, FolderOfTheSettingsFileNameCountsAsPresent) {
    using Ch = TypeParam;
    this->files.folders.insert(this->settingsPath());
    prepareSettings<Ch>();
    EXPECT_TRUE(this->boxes.codes().empty());
    EXPECT_EQ(settings<Ch>().clipWaitCount, 20);
    EXPECT_EQ(runState<Ch>().showElapsedTime, 1);
}

TYPED_TEST(SettingsTest, TimeOnlyOnWhenExactlyOn) {
    using Ch = TypeParam;
    const std::pair<const char*, int> cases[] = {
        {"ON", 1}, {"\"ON\"", 1}, {"  ON  ", 1}, {"on", 0}, {"On", 0}, {"OFF", 0}, {"", 0}, {"ON!", 0}, {"O N", 0},
    };
    for (const auto& [value, shown] : cases) {
        this->useFile(std::string("[Log]\nTime=") + value + "\n");
        readSettings<Ch>(textOf<Ch>(this->settingsPath().c_str()).c_str());
        EXPECT_EQ(runState<Ch>().showElapsedTime, shown) << value;
    }
}

TYPED_TEST(SettingsTest, ClipboardWaitsAsWritten) {
    using Ch = TypeParam;
    this->useFile("[Wait]\nClipWaitCount=0\nClipWaitTime=-5\n");
    prepareSettings<Ch>();
    EXPECT_EQ(settings<Ch>().clipWaitCount, 0);
    EXPECT_EQ(settings<Ch>().clipWaitTime, -5);
    EXPECT_TRUE(this->boxes.codes().empty());
}

TYPED_TEST(SettingsTest, UserSettingsFolderServesWhenTheProgramFolderHasNone) {
    using Ch = TypeParam;
    const std::string folder = sizeof(Ch) == 1 ? "/home/u/.config/gridquill/" : "/home/u/.config/gridweave/";
    const std::string name = Program<Ch>::settingsFileName;
    this->files.separator = '/';
    this->files.programPath = "/opt/grid/program";
    this->files.hasUserFolder = true;
    this->files.userFolder = "/home/u/.config";
    this->files.files[folder + name] = "[Wait]\nClipWaitCount=7\n";
    prepareSettings<Ch>();
    EXPECT_TRUE(this->boxes.codes().empty());
    EXPECT_EQ(settings<Ch>().clipWaitCount, 7);

    // The program's own folder wins.
    this->files.files["/opt/grid/" + name] = "[Wait]\nClipWaitCount=3\n";
    prepareSettings<Ch>();
    EXPECT_EQ(settings<Ch>().clipWaitCount, 3);

    // An installed package's defaults come last, after the user's file.
    const std::string packaged = sizeof(Ch) == 1 ? "/usr/share/gridquill/" : "/usr/share/gridweave/";
    this->files.hasPackageFolder = true;
    this->files.packageFolder = "/usr/share";
    this->files.files.clear();
    this->files.files[packaged + name] = "[Wait]\nClipWaitCount=9\n";
    prepareSettings<Ch>();
    EXPECT_TRUE(this->boxes.codes().empty());
    EXPECT_EQ(settings<Ch>().clipWaitCount, 9);
    this->files.files[folder + name] = "[Wait]\nClipWaitCount=7\n";
    prepareSettings<Ch>();
    EXPECT_EQ(settings<Ch>().clipWaitCount, 7);

    // None: message 31 and the defaults.
    this->files.files.clear();
    prepareSettings<Ch>();
    EXPECT_EQ(this->boxes.codes(), std::vector<int>{31});
    EXPECT_EQ(settings<Ch>().clipWaitCount, 20);
}

TYPED_TEST(SettingsTest, LongValuesAreCutToTheirArrays) {
    using Ch = TypeParam;
    this->useFile("[Log]\nTime=" + std::string(30, 'T') + "\n[Param]\ntable_posh=" + std::string(150, 'x') +
                  "\ncell_sep=" + std::string(150, 'x') + "\ncntl_char=" + std::string(20, 'c') + "\n");
    prepareSettings<Ch>();
    if constexpr (sizeof(Ch) == 1) {
        EXPECT_EQ(std::strlen(settings<char>().cell_sep.text), 100u);
        EXPECT_EQ(std::strlen(settings<char>().cntl_char), 9u);
    } else {
        EXPECT_EQ(narrow(settings<char16_t>().table_posh), std::string(100, 'x'));
    }
    EXPECT_EQ(narrow(settings<Ch>().timeValue), std::string(9, 'T'));
}

using WeaveSettingsTest = SettingsTest<char16_t>;
using QuillSettingsTest = SettingsTest<char>;

TEST_F(WeaveSettingsTest, KeysAreReadInOrderAndTheLocaleIsSet) {
    useFile("[Locale]\nLocale=ja_JP.UTF-8\n");
    prepareSettings<char16_t>();
    const std::vector<std::string> expected = {
        "Log/Time", "Wait/ClipWaitCount", "Wait/ClipWaitTime", "Param/htmlversion", "Param/table_posh",
        "Param/table_outline", "Param/line_color_yn", "Param/line_width_yn", "Param/back_color_yn",
        "Param/font_color_yn", "Param/font_size_yn", "Param/font_bold_yn", "Param/font_underline_yn",
        "Param/font_italic_yn", "Param/font_strikethrough_yn", "Param/cell_posh_yn", "Param/cell_posv_yn",
        "Param/inline_style_yn", "Locale/Locale", "Param/fast_capture_yn", "Param/direct_capture_yn",
    };
    EXPECT_EQ(files.keysRead, expected);
    EXPECT_EQ(files.locales, std::vector<std::string>{"ja_JP.UTF-8"});
}

TEST_F(WeaveSettingsTest, FlagsAndTheHtmlVersion) {
    EXPECT_TRUE(flagIsOn(u"ON"));
    for (const char16_t* off : {u"on", u"On", u"oN", u"YES", u"1", u"", u"ONE", u"O"}) EXPECT_FALSE(flagIsOn(off));

    const std::pair<const char*, bool> versions[] = {
        {"", true}, {"htmlversion=5", true}, {"htmlversion=5.0", true}, {"htmlversion=5x", true},
        {"htmlversion=4", false}, {"htmlversion=4.01", false}, {"htmlversion=", false}, {"htmlversion= 5", true},
        {"htmlversion=\" 5\"", false},
    };
    for (const auto& [line, five] : versions) {
        useFile(std::string("[Param]\n") + line + "\n");
        readSettings<char16_t>(u"C:\\Programs\\Grid\\Gridweave.ini");
        EXPECT_EQ(htmlFiveMode(), five) << line;
    }
}

TEST_F(QuillSettingsTest, SubstitutionsEndAtTheFirstEmptyPattern) {
    useFile("[Param]\ncode_chenge_m1=a\ncode_chenge_m3=c\ncode_chenge_o2=unused\n");
    prepareSettings<char>();
    EXPECT_EQ(settings<char>().substitutionCount, 1);
    // The entries' keys come before those of the table's structure.
    const auto entriesEnd = std::find(files.keysRead.begin(), files.keysRead.end(), "Param/newline_code");
    std::vector<std::string> tail(entriesEnd - 6, entriesEnd);
    EXPECT_EQ(tail, (std::vector<std::string>{"Param/code_chenge_m1", "Param/code_chenge_o1", "Param/code_chenge_r1",
                                              "Param/code_chenge_m2", "Param/code_chenge_o2",
                                              "Param/code_chenge_r2"}));
    EXPECT_STREQ(settings<char>().substitutions[1].replacement.text, "unused");  // read, never used

    useFile("[Param]\ncode_chenge_m1=1\ncode_chenge_m2=2\ncode_chenge_m3=3\ncode_chenge_m4=4\ncode_chenge_m5=5\n");
    files.keysRead.clear();
    prepareSettings<char>();
    EXPECT_EQ(settings<char>().substitutionCount, 5);
    EXPECT_EQ(*(std::find(files.keysRead.begin(), files.keysRead.end(), "Param/newline_code") - 1),
              "Param/code_chenge_r5");

    useFile("[Param]\ncode_chenge_o1=x\n");
    prepareSettings<char>();
    EXPECT_EQ(settings<char>().substitutionCount, 0);
}

TEST_F(QuillSettingsTest, KeysAreReadInOrderAndTheLocaleIsTheUsers) {
    useFile("[Locale]\nLocale=C\n");
    prepareSettings<char>();
    std::vector<std::string> expected = {"Log/Time", "Wait/ClipWaitCount", "Wait/ClipWaitTime", "Param/cntl_char"};
    for (const char* key : {"line_color", "line_width", "back_color", "font_color", "font_size", "font_bold",
                            "font_underline", "font_italic", "font_strikethrough", "cell_poshr", "cell_poshc",
                            "cell_poshl", "cell_posvt", "cell_posvc", "cell_posvb", "cell_sep", "cell_mrgh",
                            "cell_mrgv", "code_chenge_m1", "code_chenge_o1", "code_chenge_r1", "newline_code",
                            "table_begin", "table_end", "row_line", "row_frame", "head_frame", "head_sep", "head_cell",
                            "rule_poshl", "rule_poshc", "rule_poshr", "cell_span", "cell_colspan", "cell_rowspan",
                            "cover_cells", "cover_row", "cover_column", "cover_other", "cell_break", "escape_chars",
                            "escape_code", "fast_capture_yn", "direct_capture_yn"})
        expected.push_back(std::string("Param/") + key);
    EXPECT_EQ(files.keysRead, expected);
    EXPECT_EQ(files.locales, std::vector<std::string>{""});
    EXPECT_STREQ(settings<char>().cntl_char, "@");
}

TEST_F(QuillSettingsTest, ControlCharacterKeepsWhatWasWritten) {
    useFile("[Param]\ncntl_char=@@\n");
    prepareSettings<char>();
    EXPECT_STREQ(settings<char>().cntl_char, "@@");
    useFile("[Param]\ncntl_char=\x81\x97\n");  // a double-byte character: its lead byte comes first
    prepareSettings<char>();
    EXPECT_EQ(static_cast<unsigned char>(settings<char>().cntl_char[0]), 0x81);
    useFile("[Param]\ncntl_char=\n");
    prepareSettings<char>();
    EXPECT_STREQ(settings<char>().cntl_char, "");
}

}  // namespace
}  // namespace grid::test
