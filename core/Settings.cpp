#include "core/Settings.h"

#include <cstring>

#include "core/Messages.h"
#include "core/Program.h"
#include "core/RunState.h"
#include "core/TextBuffer.h"
#include "platform/SettingsFile.h"

namespace grid {
namespace {

// Paths are assembled in buffers of these sizes; the program file's path is asked for with one
// character less.
template <class Ch> inline constexpr size_t kPathSize = sizeof(Ch) == 1 ? 1024 : 2048;

template <class Ch> const Ch* settingsFileName();
template <> const char* settingsFileName<char>() { return "Gridquill.ini"; }
template <> const char16_t* settingsFileName<char16_t>() { return u"Gridweave.ini"; }
// The program's folder inside the user's settings folder (Linux only).
template <class Ch> const Ch* userFolderName();
template <> const char* userFolderName<char>() { return "gridquill"; }
template <> const char16_t* userFolderName<char16_t>() { return u"gridweave"; }

// Bounded copy and concatenation: the text is cut where the buffer ends.
template <class Ch>
void copyText(Ch* buffer, size_t size, const Ch* text) {
    if (size == 0) return;
    size_t n = 0;
    for (; n + 1 < size && text[n] != 0; ++n) buffer[n] = text[n];
    buffer[n] = 0;
}

template <class Ch>
void appendText(Ch* buffer, size_t size, const Ch* text) {
    size_t used = 0;
    while (used < size && buffer[used] != 0) ++used;
    if (used < size) copyText(buffer + used, size - used, text);
}

template <class Ch>
void joinPath(Ch* buffer, size_t size, const Ch* directory, const Ch* name) {
    const Ch separator[2] = {Ch(settingsFilePort().pathSeparator()), 0};
    copyText(buffer, size, directory);
    appendText(buffer, size, separator);
    appendText(buffer, size, name);
}

template <class Ch>
bool isExactlyOn(const Ch* value) {
    return value[0] == Ch('O') && value[1] == Ch('N') && value[2] == 0;
}

template <class Ch>
int32_t readInteger(const Ch* path, const Ch* section, const Ch* key, int32_t defaultValue) {
    return static_cast<int32_t>(settingsFilePort().profileInt(section, key, defaultValue, path));
}

template <class Ch>
void readCommonKeys(const Ch* path, Settings<Ch>& s) {
    readSettingsString(path, TEXT_OF(Ch, "Log"), TEXT_OF(Ch, "Time"), TEXT_OF(Ch, "ON"), s.timeValue);
    runState<Ch>().showElapsedTime = isExactlyOn(s.timeValue) ? 1 : 0;
    s.clipWaitCount = readInteger(path, TEXT_OF(Ch, "Wait"), TEXT_OF(Ch, "ClipWaitCount"), 20);
    s.clipWaitTime = readInteger(path, TEXT_OF(Ch, "Wait"), TEXT_OF(Ch, "ClipWaitTime"), 50);
}

}  // namespace

template <class Ch>
void readSettingsString(const Ch* path, const Ch* section, const Ch* key, const Ch* defaultValue, Ch* value,
                        size_t size) {
    std::memset(value, 0, size * sizeof(Ch));
    settingsFilePort().profileString(section, key, defaultValue, value, size, path);
    value[size - 1] = 0;
}

template <class Ch>
void resetSettings() {
    theSettings<Ch> = Settings<Ch>{};
}

bool flagIsOn(const char16_t* value) { return isExactlyOn(value); }

template <class Ch>
bool fastCaptureOn() {
    return isExactlyOn(theSettings<Ch>.fast_capture_yn);
}

template <class Ch>
bool directCaptureOn() {
    return isExactlyOn(theSettings<Ch>.direct_capture_yn);
}

bool htmlFiveMode() { return settings<char16_t>().htmlversion[0] == u'5'; }

template <class Ch>
void locateSettingsFile(Ch* directory, size_t size) {
    Ch path[kPathSize<Ch>] = {};
    size_t length = settingsFilePort().moduleFileName(path, kPathSize<Ch> - 1);
    path[length < kPathSize<Ch> ? length : kPathSize<Ch> - 1] = 0;
    Ch* cut = nullptr;
    for (Ch* p = path; *p != 0; ++p)
        if (*p == Ch(settingsFilePort().pathSeparator())) cut = p;
    if (cut) {
        *cut = 0;
        copyText(directory, size, static_cast<const Ch*>(path));
    } else {
        copyText(directory, size, TEXT_OF(Ch, "."));
    }
}

template <class Ch>
int settingsFileExists(const Ch* directory, const Ch* name) {
    Ch path[kPathSize<Ch>];
    joinPath(path, kPathSize<Ch>, directory, name);
    switch (settingsFilePort().find(path)) {
        case FoundEntry::directory: return -1;
        case FoundEntry::file: return 1;
        default: return 0;
    }
}

template <class Ch>
void readSettings(const Ch* path) {
    Settings<Ch>& s = theSettings<Ch>;
    readCommonKeys(path, s);
    if (const auto readParamKeys = programParts<Ch>().readParamKeys) readParamKeys(path, s);
    if constexpr (sizeof(Ch) == 2) readSettingsString(path, u"Locale", u"Locale", u"", s.localeName);
    readSettingsString(path, TEXT_OF(Ch, "Param"), TEXT_OF(Ch, "fast_capture_yn"), TEXT_OF(Ch, ""),
                       s.fast_capture_yn);
    readSettingsString(path, TEXT_OF(Ch, "Param"), TEXT_OF(Ch, "direct_capture_yn"), TEXT_OF(Ch, ""),
                       s.direct_capture_yn);
}

template <class Ch>
void prepareSettings() {
    SettingsFilePort& port = settingsFilePort();
    Ch directory[kPathSize<Ch>];
    locateSettingsFile(directory, kPathSize<Ch>);
    const Ch* name = settingsFileName<Ch>();
    int found = settingsFileExists(directory, name);
    // Linux desktops keep settings in the user's settings folder, and an installed package its
    // defaults in its shared data; the program's own folder wins, then the user's.
    for (int place = 0; place < 2 && found == 0; ++place) {
        Ch folder[kPathSize<Ch>];
        const bool has = place == 0 ? port.userSettingsFolder(folder, kPathSize<Ch>)
                                    : port.packageSettingsFolder(folder, kPathSize<Ch>);
        if (!has) continue;
        Ch programDirectory[kPathSize<Ch>];
        joinPath(programDirectory, kPathSize<Ch>, static_cast<const Ch*>(folder), userFolderName<Ch>());
        found = settingsFileExists(static_cast<const Ch*>(programDirectory), name);
        if (found != 0) copyText(directory, kPathSize<Ch>, static_cast<const Ch*>(programDirectory));
    }
    if (found == 0) showMessage<Ch>(kMessageSettingsFileMissing);
    Ch path[kPathSize<Ch>];
    joinPath(path, kPathSize<Ch>, static_cast<const Ch*>(directory), name);
    readSettings<Ch>(path);
    if constexpr (sizeof(Ch) == 1)
        port.setCharacterTypeLocale("");
    else
        port.setCharacterTypeLocale(theSettings<char16_t>.localeName);
}

template bool fastCaptureOn<char>();
template bool fastCaptureOn<char16_t>();
template bool directCaptureOn<char>();
template bool directCaptureOn<char16_t>();
template void resetSettings<char>();
template void resetSettings<char16_t>();
template void locateSettingsFile<char>(char*, size_t);
template void locateSettingsFile<char16_t>(char16_t*, size_t);
template int settingsFileExists<char>(const char*, const char*);
template int settingsFileExists<char16_t>(const char16_t*, const char16_t*);
template void readSettingsString<char>(const char*, const char*, const char*, const char*, char*, size_t);
template void readSettingsString<char16_t>(const char16_t*, const char16_t*, const char16_t*, const char16_t*,
                                           char16_t*, size_t);
template void readSettings<char>(const char*);
template void readSettings<char16_t>(const char16_t*);
template void prepareSettings<char>();
template void prepareSettings<char16_t>();

}  // namespace grid
