#include "platform/fake/FakeSettingsFile.h"

#include <cstdint>
#include <memory>

#include "platform/portable/ProfileReader.h"

namespace grid {
namespace {

std::unique_ptr<ProfileFile> parsed(const FakeSettingsFile& port, const std::string& path) {
    auto file = port.files.find(path);
    if (file == port.files.end()) return nullptr;
    return std::make_unique<ProfileFile>(file->second.data(), file->second.size(), *port.ansiCodePage);
}

bool copyFolder(bool has, const std::string& folder, char16_t* buffer, size_t size) {
    if (!has) return false;
    std::u16string wide = utf8ToUtf16(folder.data(), folder.size());
    return wide.size() < size && copyCut(wide, buffer, size) == wide.size();
}

bool copyFolder(bool has, const std::string& folder, char* buffer, size_t size) {
    return has && folder.size() < size && copyCut(folder, buffer, size) == folder.size();
}

}  // namespace

FakeSettingsFile::FakeSettingsFile() { setSettingsFilePort(this); }
FakeSettingsFile::~FakeSettingsFile() { setSettingsFilePort(nullptr); }

size_t FakeSettingsFile::moduleFileName(char16_t* buffer, size_t size) {
    moduleNameSize = size;
    return copyCut(utf8ToUtf16(programPath.data(), programPath.size()), buffer, size);
}

size_t FakeSettingsFile::moduleFileName(char* buffer, size_t size) {
    moduleNameSize = size;
    return copyCut(programPath, buffer, size);
}

FoundEntry FakeSettingsFile::find(const char16_t* path) { return find(utf16ToUtf8(path).c_str()); }

FoundEntry FakeSettingsFile::find(const char* path) {
    if (folders.count(path)) return FoundEntry::directory;
    return files.count(path) ? FoundEntry::file : FoundEntry::nothing;
}

size_t FakeSettingsFile::profileString(const char16_t* section, const char16_t* key, const char16_t* defaultValue,
                                       char16_t* buffer, size_t size, const char16_t* path) {
    keysRead.push_back(utf16ToUtf8(section) + "/" + utf16ToUtf8(key));
    return grid::profileString(parsed(*this, utf16ToUtf8(path)).get(), section, key, defaultValue, buffer, size);
}

size_t FakeSettingsFile::profileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                                       size_t size, const char* path) {
    keysRead.push_back(std::string(section) + "/" + key);
    return grid::profileString(parsed(*this, path).get(), section, key, defaultValue, buffer, size, *ansiCodePage);
}

uint32_t FakeSettingsFile::profileInt(const char16_t* section, const char16_t* key, int32_t defaultValue,
                                      const char16_t* path) {
    keysRead.push_back(utf16ToUtf8(section) + "/" + utf16ToUtf8(key));
    return grid::profileInt(parsed(*this, utf16ToUtf8(path)).get(), section, key, defaultValue);
}

uint32_t FakeSettingsFile::profileInt(const char* section, const char* key, int32_t defaultValue, const char* path) {
    keysRead.push_back(std::string(section) + "/" + key);
    return grid::profileInt(parsed(*this, path).get(), section, key, defaultValue, *ansiCodePage);
}

void FakeSettingsFile::setCharacterTypeLocale(const char16_t* name) { locales.push_back(utf16ToUtf8(name)); }
void FakeSettingsFile::setCharacterTypeLocale(const char* name) { locales.push_back(name); }

size_t FakeSettingsFile::multibyteLength(const char16_t* text) {
    if (multibyteFails) return SIZE_MAX;
    std::string bytes;
    codePage932().fromUtf16(text, std::char_traits<char16_t>::length(text), SIZE_MAX, bytes);
    return bytes.size();
}

size_t FakeSettingsFile::toMultibyte(const char16_t* text, char* out, size_t size) {
    std::string bytes;
    codePage932().fromUtf16(text, std::char_traits<char16_t>::length(text), size, bytes);
    bytes.copy(out, bytes.size());
    if (bytes.size() < size) out[bytes.size()] = 0;
    return bytes.size();
}

bool FakeSettingsFile::isLeadByte(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    return doubleByteLocale && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
}

bool FakeSettingsFile::userSettingsFolder(char16_t* buffer, size_t size) {
    return copyFolder(hasUserFolder, userFolder, buffer, size);
}

bool FakeSettingsFile::userSettingsFolder(char* buffer, size_t size) {
    return copyFolder(hasUserFolder, userFolder, buffer, size);
}

bool FakeSettingsFile::packageSettingsFolder(char16_t* buffer, size_t size) {
    return copyFolder(hasPackageFolder, packageFolder, buffer, size);
}

bool FakeSettingsFile::packageSettingsFolder(char* buffer, size_t size) {
    return copyFolder(hasPackageFolder, packageFolder, buffer, size);
}

}  // namespace grid
