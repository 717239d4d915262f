#include <windows.h>

#include <ctype.h>

#include <clocale>
#include <cstdlib>
#include <cwchar>

#include "platform/SettingsFile.h"

namespace grid {
namespace {

// char16_t and wchar_t are the same UTF-16 units on Windows.
const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
wchar_t* wide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }

DWORD bounded(size_t size) { return size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size); }

FoundEntry entryOf(HANDLE search, DWORD attributes) {
    if (search == INVALID_HANDLE_VALUE) return FoundEntry::nothing;
    FindClose(search);
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FoundEntry::directory : FoundEntry::file;
}

struct WindowsSettingsFile final : SettingsFilePort {
    size_t moduleFileName(char16_t* buffer, size_t size) override {
        if (size == 0) return 0;
        DWORD n = GetModuleFileNameW(nullptr, wide(buffer), bounded(size));
        if (n >= size) n = static_cast<DWORD>(size - 1);
        buffer[n] = 0;
        return n;
    }
    size_t moduleFileName(char* buffer, size_t size) override {
        if (size == 0) return 0;
        DWORD n = GetModuleFileNameA(nullptr, buffer, bounded(size));
        if (n >= size) n = static_cast<DWORD>(size - 1);
        buffer[n] = 0;
        return n;
    }
    FoundEntry find(const char16_t* path) override {
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW(wide(path), &found);
        return entryOf(search, found.dwFileAttributes);
    }
    FoundEntry find(const char* path) override {
        WIN32_FIND_DATAA found = {};
        HANDLE search = FindFirstFileA(path, &found);
        return entryOf(search, found.dwFileAttributes);
    }
    size_t profileString(const char16_t* section, const char16_t* key, const char16_t* defaultValue, char16_t* buffer,
                         size_t size, const char16_t* path) override {
        return GetPrivateProfileStringW(wide(section), wide(key), wide(defaultValue), wide(buffer), bounded(size),
                                        wide(path));
    }
    size_t profileString(const char* section, const char* key, const char* defaultValue, char* buffer, size_t size,
                         const char* path) override {
        return GetPrivateProfileStringA(section, key, defaultValue, buffer, bounded(size), path);
    }
    uint32_t profileInt(const char16_t* section, const char16_t* key, int32_t defaultValue,
                        const char16_t* path) override {
        return GetPrivateProfileIntW(wide(section), wide(key), defaultValue, wide(path));
    }
    uint32_t profileInt(const char* section, const char* key, int32_t defaultValue, const char* path) override {
        return GetPrivateProfileIntA(section, key, defaultValue, path);
    }
    void setCharacterTypeLocale(const char16_t* name) override { _wsetlocale(LC_CTYPE, wide(name)); }
    void setCharacterTypeLocale(const char* name) override { setlocale(LC_CTYPE, name); }
    size_t multibyteLength(const char16_t* text) override { return wcstombs(nullptr, wide(text), 0); }
    size_t toMultibyte(const char16_t* text, char* out, size_t size) override { return wcstombs(out, wide(text), size); }
    bool isLeadByte(char byte) override { return isleadbyte(static_cast<unsigned char>(byte)) != 0; }
    char pathSeparator() const override { return '\\'; }
    bool userSettingsFolder(char16_t*, size_t) override { return false; }
    bool userSettingsFolder(char*, size_t) override { return false; }
    bool packageSettingsFolder(char16_t*, size_t) override { return false; }
    bool packageSettingsFolder(char*, size_t) override { return false; }
};

}  // namespace

SettingsFilePort& systemSettingsFile() {
    static WindowsSettingsFile port;
    return port;
}

}  // namespace grid
