#pragma once
// A settings file port for tests: a program path, files and folders held in memory and read with
// the portable reader, and a record of every key asked for and every locale set.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/SettingsFile.h"

namespace grid {

struct FakeSettingsFile final : SettingsFilePort {
    FakeSettingsFile();            // installs itself
    ~FakeSettingsFile() override;  // restores the default
    FakeSettingsFile(const FakeSettingsFile&) = delete;
    FakeSettingsFile& operator=(const FakeSettingsFile&) = delete;

    // Paths are UTF-8 here; wide paths are converted to compare with them.
    std::string programPath = "C:\\Programs\\Grid\\Gridweave.exe";
    std::map<std::string, std::string> files;  // path to the file's bytes
    std::set<std::string> folders;
    char separator = '\\';
    const CodePage* ansiCodePage = &codePage932();
    bool hasUserFolder = false;
    std::string userFolder;
    bool hasPackageFolder = false;
    std::string packageFolder;

    size_t moduleNameSize = 0;          // the size the program file's path was asked for with
    std::vector<std::string> keysRead;  // "Section/Key", in the order asked for
    std::vector<std::string> locales;   // every name given to setCharacterTypeLocale
    bool multibyteFails = false;         // multibyteLength as for a character the code page lacks
    bool doubleByteLocale = false;       // lead bytes as code page 932 has them; else none, as in UTF-8

    size_t moduleFileName(char16_t* buffer, size_t size) override;
    size_t moduleFileName(char* buffer, size_t size) override;
    FoundEntry find(const char16_t* path) override;
    FoundEntry find(const char* path) override;
    size_t profileString(const char16_t* section, const char16_t* key, const char16_t* defaultValue, char16_t* buffer,
                         size_t size, const char16_t* path) override;
    size_t profileString(const char* section, const char* key, const char* defaultValue, char* buffer, size_t size,
                         const char* path) override;
    uint32_t profileInt(const char16_t* section, const char16_t* key, int32_t defaultValue,
                        const char16_t* path) override;
    uint32_t profileInt(const char* section, const char* key, int32_t defaultValue, const char* path) override;
    void setCharacterTypeLocale(const char16_t* name) override;
    void setCharacterTypeLocale(const char* name) override;
    size_t multibyteLength(const char16_t* text) override;  // the length in code page 932
    size_t toMultibyte(const char16_t* text, char* out, size_t size) override;
    bool isLeadByte(char byte) override;
    char pathSeparator() const override { return separator; }
    bool userSettingsFolder(char16_t* buffer, size_t size) override;
    bool userSettingsFolder(char* buffer, size_t size) override;
    bool packageSettingsFolder(char16_t* buffer, size_t size) override;
    bool packageSettingsFolder(char* buffer, size_t size) override;
};

}  // namespace grid
