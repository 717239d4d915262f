#include "platform/SettingsFile.h"

namespace grid {
namespace {

// Before a backend is set: no program file, nothing found, every value its default.
struct NoSettingsFile final : SettingsFilePort {
    template <class Ch>
    static size_t copyDefault(const Ch* defaultValue, Ch* buffer, size_t size) {
        if (size == 0) return 0;
        size_t n = 0;
        for (; defaultValue && n + 1 < size && defaultValue[n] != 0; ++n) buffer[n] = defaultValue[n];
        buffer[n] = 0;
        return n;
    }
    size_t moduleFileName(char16_t* buffer, size_t size) override { return copyDefault<char16_t>(nullptr, buffer, size); }
    size_t moduleFileName(char* buffer, size_t size) override { return copyDefault<char>(nullptr, buffer, size); }
    FoundEntry find(const char16_t*) override { return FoundEntry::nothing; }
    FoundEntry find(const char*) override { return FoundEntry::nothing; }
    size_t profileString(const char16_t*, const char16_t*, const char16_t* defaultValue, char16_t* buffer, size_t size,
                         const char16_t*) override {
        return copyDefault(defaultValue, buffer, size);
    }
    size_t profileString(const char*, const char*, const char* defaultValue, char* buffer, size_t size,
                         const char*) override {
        return copyDefault(defaultValue, buffer, size);
    }
    uint32_t profileInt(const char16_t*, const char16_t*, int32_t defaultValue, const char16_t*) override {
        return static_cast<uint32_t>(defaultValue);
    }
    uint32_t profileInt(const char*, const char*, int32_t defaultValue, const char*) override {
        return static_cast<uint32_t>(defaultValue);
    }
    void setCharacterTypeLocale(const char16_t*) override {}
    void setCharacterTypeLocale(const char*) override {}
    size_t toMultibyte(const char16_t* text, char* out, size_t size) override {
        size_t n = 0;
        for (; text[n] != 0 && n < size; ++n) out[n] = char(text[n]);
        if (n < size) out[n] = 0;
        return n;
    }
    bool isLeadByte(char) override { return false; }
    size_t multibyteLength(const char16_t* text) override {
        size_t n = 0;
        while (text[n] != 0) ++n;
        return n;
    }
    char pathSeparator() const override { return '\\'; }
    bool userSettingsFolder(char16_t*, size_t) override { return false; }
    bool userSettingsFolder(char*, size_t) override { return false; }
    bool packageSettingsFolder(char16_t*, size_t) override { return false; }
    bool packageSettingsFolder(char*, size_t) override { return false; }
};

NoSettingsFile noSettingsFile;
SettingsFilePort* currentSettingsFile = &noSettingsFile;

}  // namespace

SettingsFilePort& settingsFilePort() { return *currentSettingsFile; }
void setSettingsFilePort(SettingsFilePort* port) { currentSettingsFile = port ? port : &noSettingsFile; }

}  // namespace grid
