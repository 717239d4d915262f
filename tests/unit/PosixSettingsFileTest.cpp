// The settings backend of Linux: real files, read as Windows reads them, with UTF-8 as the text
// of files without a byte-order mark.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "platform/CodePage.h"
#include "platform/SettingsFile.h"

namespace grid::test {
namespace {

class PosixSettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/gridsettings.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        path = folder + "/settings.ini";
    }
    void TearDown() override {
        unlink(path.c_str());
        rmdir(path.c_str());
        rmdir(folder.c_str());
    }
    void write(const std::string& bytes) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string narrowValue(const char* key, const char* fallback = "default") {
        char value[101];
        port.profileString("Param", key, fallback, value, sizeof value, path.c_str());
        return value;
    }
    std::u16string wideValue(const char16_t* key) {
        char16_t value[101];
        std::u16string widePath(path.begin(), path.end());
        port.profileString(u"Param", key, u"default", value, 101, widePath.c_str());
        return value;
    }

    SettingsFilePort& port = systemSettingsFile();
    std::string folder, path;
};

TEST_F(PosixSettingsFileTest, ProgramFileAndWhatLiesAtAPath) {
    char program[1024];
    size_t length = port.moduleFileName(program, sizeof program);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(program[0], '/');
    EXPECT_NE(std::string(program).find("unit_tests"), std::string::npos);
    EXPECT_EQ(port.find(folder.c_str()), FoundEntry::directory);
    EXPECT_EQ(port.find(path.c_str()), FoundEntry::nothing);
    write("");
    EXPECT_EQ(port.find(path.c_str()), FoundEntry::file);
    EXPECT_EQ(port.pathSeparator(), '/');
}

TEST_F(PosixSettingsFileTest, TextWithoutMarkIsUtf8ForBothPrograms) {
    write("[Param]\ncell_sep=罫線\n");
    EXPECT_EQ(wideValue(u"cell_sep"), u"罫線");
    EXPECT_EQ(narrowValue("cell_sep"), "罫線");
    write("\xEF\xBB\xBF[Param]\ncell_sep=表\xFF\n");  // a byte that is no UTF-8
    EXPECT_EQ(wideValue(u"cell_sep"), u"表\uFFFD");
}

TEST_F(PosixSettingsFileTest, ChangedFileIsReadAgain) {
    write("[Param]\ncell_sep=aa\n");
    EXPECT_EQ(narrowValue("cell_sep"), "aa");
    write("[Param]\ncell_sep=bbb\n");
    EXPECT_EQ(narrowValue("cell_sep"), "bbb");
    unlink(path.c_str());
    EXPECT_EQ(narrowValue("cell_sep"), "default");
}

TEST_F(PosixSettingsFileTest, BadFilesGiveTheDefaults) {
    // Binary noise with a key after it still reads.
    std::mt19937 random(7);
    std::string noise(1 << 20, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    write(noise + "\n[Param]\ncell_sep=found\n");
    EXPECT_EQ(narrowValue("cell_sep"), "found");

    // Larger than any settings file: not read.
    write("[Param]\ncell_sep=x\n");
    ASSERT_EQ(truncate(path.c_str(), 64 << 20), 0);
    EXPECT_EQ(narrowValue("cell_sep"), "default");
    unlink(path.c_str());

    // A folder or a pipe of that name.
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    EXPECT_EQ(narrowValue("cell_sep"), "default");
    EXPECT_EQ(port.profileInt("Wait", "ClipWaitCount", 20, path.c_str()), 20u);
    rmdir(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(narrowValue("cell_sep"), "default");
    unlink(path.c_str());

    if (geteuid() != 0) {  // root reads every file
        write("[Param]\ncell_sep=x\n");
        chmod(path.c_str(), 0);
        EXPECT_EQ(narrowValue("cell_sep"), "default");
    }
}

// The runtime's conversion to multibyte text, as wcstombs gives it for the whole text, also for
// texts longer than the pieces it is done in, with characters on their edges.
TEST_F(PosixSettingsFileTest, MultibyteConversionOfLongTexts) {
    const std::string saved = setlocale(LC_CTYPE, nullptr);
    port.setCharacterTypeLocale("C.UTF-8");
    auto wholeText = [](const std::u16string& text, char* out, size_t size) {
        std::wstring wide;
        for (size_t i = 0; i < text.size(); ++i) {
            char32_t c = text[i];
            if (c >= 0xD800 && c <= 0xDBFF) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
            wide.push_back(wchar_t(c));
        }
        return wcstombs(out, wide.c_str(), size);
    };
    for (size_t before : {4094u, 4095u, 4096u, 8191u}) {
        // A three-byte character and a pair of surrogates around the edge of the first piece.
        const std::u16string text = std::u16string(before, u'a') + u"日\U0001F600z" + std::u16string(5000, u'b');
        SCOPED_TRACE(before);
        const size_t length = wholeText(text, nullptr, 0);
        EXPECT_EQ(port.multibyteLength(text.c_str()), length);
        for (size_t size : {length + 1, length, before + 2, before + 1, size_t(0)}) {
            std::string want(length + 1, '#'), got(length + 1, '#');
            const size_t wanted = wholeText(text, want.data(), size);
            EXPECT_EQ(port.toMultibyte(text.c_str(), got.data(), size), wanted) << size;
            const auto differs = std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin();
            EXPECT_TRUE(got == want) << "the bytes differ from " << differs << " on, with room for " << size;
        }
    }
    const char16_t lone[] = {u'a', char16_t(0xD800), u'c', 0};
    EXPECT_EQ(port.multibyteLength(lone), SIZE_MAX);  // a lone surrogate has no form
    port.setCharacterTypeLocale(saved.c_str());
}

TEST_F(PosixSettingsFileTest, UserSettingsFolder) {
    auto saved = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    auto restore = [](const char* name, const std::optional<std::string>& value) {
        if (value) setenv(name, value->c_str(), 1);
        else unsetenv(name);
    };
    const auto config = saved("XDG_CONFIG_HOME"), home = saved("HOME");
    char folderName[1024];
    char16_t wideFolder[1024];

    setenv("XDG_CONFIG_HOME", "/etc/xdg-test", 1);
    ASSERT_TRUE(port.userSettingsFolder(folderName, sizeof folderName));
    EXPECT_STREQ(folderName, "/etc/xdg-test");
    ASSERT_TRUE(port.userSettingsFolder(wideFolder, 1024));
    EXPECT_EQ(std::u16string(wideFolder), u"/etc/xdg-test");

    setenv("HOME", "/home/someone", 1);
    setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not absolute: ignored, as the XDG rules say
    ASSERT_TRUE(port.userSettingsFolder(folderName, sizeof folderName));
    EXPECT_STREQ(folderName, "/home/someone/.config");
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_TRUE(port.userSettingsFolder(folderName, sizeof folderName));
    EXPECT_STREQ(folderName, "/home/someone/.config");
    EXPECT_FALSE(port.userSettingsFolder(folderName, 5));  // does not fit

    restore("XDG_CONFIG_HOME", config);
    restore("HOME", home);

    // The package's defaults: the share folder beside this program's folder.
    std::string program(4096, '\0');
    program.resize(static_cast<size_t>(readlink("/proc/self/exe", program.data(), program.size())));
    const std::string prefix = program.substr(0, program.substr(0, program.rfind('/')).rfind('/'));
    ASSERT_TRUE(port.packageSettingsFolder(folderName, sizeof folderName));
    EXPECT_EQ(std::string(folderName), prefix + "/share");
    ASSERT_TRUE(port.packageSettingsFolder(wideFolder, 1024));
    EXPECT_EQ(utf16ToUtf8(wideFolder), prefix + "/share");
    EXPECT_FALSE(port.packageSettingsFolder(folderName, 5));
}

}  // namespace
}  // namespace grid::test
