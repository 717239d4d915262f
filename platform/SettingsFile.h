#pragma once
// The settings file port: finding the program's own file and reading an initialisation file,
// shaped after GetModuleFileName, FindFirstFile, GetPrivateProfileString, GetPrivateProfileInt and
// setlocale. Gridweave calls the wide forms, Gridquill the 8-bit ones (text of the system code page).
#include <cstddef>
#include <cstdint>

namespace grid {

enum class FoundEntry { nothing, directory, file };

struct SettingsFilePort {
    virtual ~SettingsFilePort() = default;

    // The full path of the program file, cut to size - 1 characters; returns its length, 0 on failure.
    virtual size_t moduleFileName(char16_t* buffer, size_t size) = 0;
    virtual size_t moduleFileName(char* buffer, size_t size) = 0;
    // What lies at path.
    virtual FoundEntry find(const char16_t* path) = 0;
    virtual FoundEntry find(const char* path) = 0;
    // The value of section/key of the file at path (or the default), cut to size - 1 characters.
    virtual size_t profileString(const char16_t* section, const char16_t* key, const char16_t* defaultValue,
                                 char16_t* buffer, size_t size, const char16_t* path) = 0;
    virtual size_t profileString(const char* section, const char* key, const char* defaultValue, char* buffer,
                                 size_t size, const char* path) = 0;
    virtual uint32_t profileInt(const char16_t* section, const char16_t* key, int32_t defaultValue,
                                const char16_t* path) = 0;
    virtual uint32_t profileInt(const char* section, const char* key, int32_t defaultValue, const char* path) = 0;
    // setlocale(LC_CTYPE, name); the empty name selects the user's default locale.
    virtual void setCharacterTypeLocale(const char16_t* name) = 0;
    virtual void setCharacterTypeLocale(const char* name) = 0;
    // wcstombs(NULL, text, 0) under that locale: the bytes of the text in its multibyte code page,
    // NUL not counted, or SIZE_MAX when a character has no form there.
    virtual size_t multibyteLength(const char16_t* text) = 0;
    // wcstombs(out, text, size) under that locale: the bytes written, NUL not counted.
    virtual size_t toMultibyte(const char16_t* text, char* out, size_t size) = 0;
    // isleadbyte under that locale: true when the byte begins a character of two bytes, which only
    // double-byte code pages have (never UTF-8 or a single-byte code page).
    virtual bool isLeadByte(char byte) = 0;

    // The character that separates the folders of a path.
    virtual char pathSeparator() const = 0;
    // Where the desktop keeps the user's settings (XDG_CONFIG_HOME) when the program's own folder
    // has none; false on platforms without such a place.
    virtual bool userSettingsFolder(char16_t* buffer, size_t size) = 0;
    virtual bool userSettingsFolder(char* buffer, size_t size) = 0;
    // Where an installed package keeps its default settings, a folder for each program, tried
    // after the user's: the shared data beside the program's folder (/usr/share for /usr/bin);
    // false on platforms without such a place.
    virtual bool packageSettingsFolder(char16_t* buffer, size_t size) = 0;
    virtual bool packageSettingsFolder(char* buffer, size_t size) = 0;
};

// The port in use; without a backend set, a port that finds no program file and no settings.
SettingsFilePort& settingsFilePort();
void setSettingsFilePort(SettingsFilePort* port);

// The platform's own backend: the Windows functions, or elsewhere the file system and a reader
// that reads the files as Windows does.
SettingsFilePort& systemSettingsFile();

}  // namespace grid
