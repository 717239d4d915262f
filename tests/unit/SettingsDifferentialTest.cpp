// The portable settings reader against the Windows functions: every tricky file read both ways must
// give the same stored values, byte for byte. The Windows build reads the files with the real
// functions and compares them with the record in tests/data; every build compares the portable
// reader with the same record.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "platform/fake/FakeSettingsFile.h"
#include "tests/unit/SettingsCases.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace grid::test {
namespace {

// The record split by case: "[name]" lines start each.
std::map<std::string, std::string> recordByCase(const std::string& record) {
    std::map<std::string, std::string> cases;
    std::string name, body;
    size_t start = 0;
    while (start < record.size()) {
        size_t end = record.find('\n', start);
        if (end == std::string::npos) end = record.size();
        std::string line = record.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            if (!name.empty()) cases[name] = body;
            name = line.substr(1, line.size() - 2);
            body.clear();
        } else if (!line.empty()) {
            body += line + '\n';
        }
        start = end + 1;
    }
    if (!name.empty()) cases[name] = body;
    return cases;
}

TEST(SettingsDifferential, EnoughTrickyFiles) {
    EXPECT_GE(trickySettingsFiles().size(), 30u);
    EXPECT_EQ(recordByCase(recordedWindowsValues()).size(), trickySettingsFiles().size())
        << "tests/data/settings-read-by-windows.txt is out of date: scripts/record-windows-settings renews it";
}

TEST(SettingsDifferential, PortableReaderReadsWhatWindowsRead) {
    const auto expected = recordByCase(recordedWindowsValues());
    for (const SettingsCase& c : trickySettingsFiles()) {
        FakeSettingsFile port;
        port.ansiCodePage = &codePage932();  // the code page the record was made with
        port.files["settings.ini"] = c.bytes;
        auto record = expected.find(c.name);
        ASSERT_NE(record, expected.end()) << c.name;
        EXPECT_EQ(recordOfSettings("settings.ini"), record->second) << "case " << c.name;
    }
}

#ifdef _WIN32
// Under Wine the ANSI code page is 932, as on the users' machines.
TEST(SettingsDifferential, WindowsFunctionsReadWhatIsRecorded) {
    ASSERT_EQ(GetACP(), 932u) << "run with LANG=ja_JP.UTF-8";
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    std::string folder = std::string(temp) + "gridsettings" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    setSettingsFilePort(&systemSettingsFile());

    std::string record;
    const auto expected = recordByCase(recordedWindowsValues());
    for (const SettingsCase& c : trickySettingsFiles()) {
        // A file of its own for each case: Windows keeps the last file it read.
        std::string path = folder + "\\" + c.name + ".ini";
        {
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            file.write(c.bytes.data(), static_cast<std::streamsize>(c.bytes.size()));
        }
        std::string values = recordOfSettings(path);
        record += "[" + c.name + "]\n" + values;
        auto recorded = expected.find(c.name);
        if (!std::getenv("GRID_RECORD_WINDOWS_SETTINGS")) {
            ASSERT_NE(recorded, expected.end()) << c.name;
            EXPECT_EQ(values, recorded->second) << "case " << c.name;
        }
        // The portable reader on the same file and code page, without the record in between.
        {
            FakeSettingsFile portable;
            portable.ansiCodePage = &systemCodePage();
            portable.files[path] = c.bytes;
            EXPECT_EQ(recordOfSettings(path), values) << "case " << c.name;
        }
        setSettingsFilePort(&systemSettingsFile());
        DeleteFileA(path.c_str());
    }
    setSettingsFilePort(nullptr);
    RemoveDirectoryA(folder.c_str());
    if (const char* out = std::getenv("GRID_RECORD_WINDOWS_SETTINGS")) {
        std::ofstream file(out, std::ios::binary | std::ios::trunc);
        file << record;
    }
}
#endif

}  // namespace
}  // namespace grid::test
