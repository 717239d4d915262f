#include "core/Settings.h"

#include <cstring>

#include "core/Messages.h"
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

// One string key into its array; the array is cleared first so that a value the reader cut
// leaves nothing of an earlier one behind.
template <class Ch, size_t N>
void readString(const Ch* path, const Ch* section, const Ch* key, const Ch* defaultValue, Ch (&value)[N]) {
    std::memset(value, 0, sizeof value);
    settingsFilePort().profileString(section, key, defaultValue, value, N, path);
    value[N - 1] = 0;
}

template <class Ch>
int32_t readInteger(const Ch* path, const Ch* section, const Ch* key, int32_t defaultValue) {
    return static_cast<int32_t>(settingsFilePort().profileInt(section, key, defaultValue, path));
}

template <class Ch>
void readCommonKeys(const Ch* path, Settings<Ch>& s) {
    readString(path, TEXT_OF(Ch, "Log"), TEXT_OF(Ch, "Time"), TEXT_OF(Ch, "ON"), s.timeValue);
    runState<Ch>().showElapsedTime = isExactlyOn(s.timeValue) ? 1 : 0;
    s.clipWaitCount = readInteger(path, TEXT_OF(Ch, "Wait"), TEXT_OF(Ch, "ClipWaitCount"), 20);
    s.clipWaitTime = readInteger(path, TEXT_OF(Ch, "Wait"), TEXT_OF(Ch, "ClipWaitTime"), 50);
}

void readParamKeys(const char16_t* path, Settings<char16_t>& s) {
    struct Key {
        const char16_t* name;
        char16_t (Settings<char16_t>::*value)[101];
        const char16_t* defaultValue;
    };
    static constexpr Key keys[] = {
        {u"htmlversion", &Settings<char16_t>::htmlversion, u"5"},
        {u"table_posh", &Settings<char16_t>::table_posh, u""},
        {u"table_outline", &Settings<char16_t>::table_outline, u""},
        {u"line_color_yn", &Settings<char16_t>::line_color_yn, u""},
        {u"line_width_yn", &Settings<char16_t>::line_width_yn, u""},
        {u"back_color_yn", &Settings<char16_t>::back_color_yn, u""},
        {u"font_color_yn", &Settings<char16_t>::font_color_yn, u""},
        {u"font_size_yn", &Settings<char16_t>::font_size_yn, u""},
        {u"font_bold_yn", &Settings<char16_t>::font_bold_yn, u""},
        {u"font_underline_yn", &Settings<char16_t>::font_underline_yn, u""},
        {u"font_italic_yn", &Settings<char16_t>::font_italic_yn, u""},
        {u"font_strikethrough_yn", &Settings<char16_t>::font_strikethrough_yn, u""},
        {u"cell_posh_yn", &Settings<char16_t>::cell_posh_yn, u""},
        {u"cell_posv_yn", &Settings<char16_t>::cell_posv_yn, u""},
    };
    for (const Key& key : keys) readString(path, u"Param", key.name, key.defaultValue, s.*key.value);
}

void readParamKeys(const char* path, Settings<char>& s) {
    readString(path, "Param", "cntl_char", "@", s.cntl_char);
    struct Key {
        const char* name;
        MarkupTemplate Settings<char>::*value;
    };
    static constexpr Key keys[] = {
        {"line_color", &Settings<char>::line_color},
        {"line_width", &Settings<char>::line_width},
        {"back_color", &Settings<char>::back_color},
        {"font_color", &Settings<char>::font_color},
        {"font_size", &Settings<char>::font_size},
        {"font_bold", &Settings<char>::font_bold},
        {"font_underline", &Settings<char>::font_underline},
        {"font_italic", &Settings<char>::font_italic},
        {"font_strikethrough", &Settings<char>::font_strikethrough},
        {"cell_poshr", &Settings<char>::cell_poshr},
        {"cell_poshc", &Settings<char>::cell_poshc},
        {"cell_poshl", &Settings<char>::cell_poshl},
        {"cell_posvt", &Settings<char>::cell_posvt},
        {"cell_posvc", &Settings<char>::cell_posvc},
        {"cell_posvb", &Settings<char>::cell_posvb},
        {"cell_sep", &Settings<char>::cell_sep},
        {"cell_mrgh", &Settings<char>::cell_mrgh},
        {"cell_mrgv", &Settings<char>::cell_mrgv},
    };
    for (const Key& key : keys) readString(path, "Param", key.name, "", (s.*key.value).text);

    // The entries in use end at the first empty pattern; that entry's other two values are
    // read all the same.
    s.substitutionCount = 5;
    for (int n = 1; n <= 5; ++n) {
        SubstitutionEntry& entry = s.substitutions[n - 1];
        char pattern[] = "code_chenge_m?", replacement[] = "code_chenge_o?", mode[] = "code_chenge_r?";
        pattern[13] = replacement[13] = mode[13] = char('0' + n);
        readString(path, "Param", pattern, "", entry.pattern.text);
        readString(path, "Param", replacement, "", entry.replacement.text);
        readString(path, "Param", mode, "", entry.mode.text);
        if (entry.pattern.text[0] == 0) {
            s.substitutionCount = n - 1;
            break;
        }
    }
}

}  // namespace

template <class Ch>
void resetSettings() {
    theSettings<Ch> = Settings<Ch>{};
}

bool flagIsOn(const char16_t* value) { return isExactlyOn(value); }

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

template <>
void readSettings<char16_t>(const char16_t* path) {
    Settings<char16_t>& s = theSettings<char16_t>;
    readCommonKeys(path, s);
    readParamKeys(path, s);
    readString(path, u"Locale", u"Locale", u"", s.localeName);
}

template <>
void readSettings<char>(const char* path) {
    Settings<char>& s = theSettings<char>;
    readCommonKeys(path, s);
    readParamKeys(path, s);
}

template <class Ch>
void prepareSettings() {
    SettingsFilePort& port = settingsFilePort();
    Ch directory[kPathSize<Ch>];
    locateSettingsFile(directory, kPathSize<Ch>);
    const Ch* name = settingsFileName<Ch>();
    int found = settingsFileExists(directory, name);
    if (found == 0) {
        // Linux desktops keep settings in the user's settings folder; the program's own folder wins.
        Ch folder[kPathSize<Ch>];
        if (port.userSettingsFolder(folder, kPathSize<Ch>)) {
            Ch userDirectory[kPathSize<Ch>];
            joinPath(userDirectory, kPathSize<Ch>, static_cast<const Ch*>(folder), userFolderName<Ch>());
            found = settingsFileExists(static_cast<const Ch*>(userDirectory), name);
            if (found != 0) copyText(directory, kPathSize<Ch>, static_cast<const Ch*>(userDirectory));
        }
    }
    if (found == 0) showMessage<Ch>(31);
    Ch path[kPathSize<Ch>];
    joinPath(path, kPathSize<Ch>, static_cast<const Ch*>(directory), name);
    readSettings<Ch>(path);
    if constexpr (sizeof(Ch) == 1)
        port.setCharacterTypeLocale("");
    else
        port.setCharacterTypeLocale(theSettings<char16_t>.localeName);
}

template void resetSettings<char>();
template void resetSettings<char16_t>();
template void locateSettingsFile<char>(char*, size_t);
template void locateSettingsFile<char16_t>(char16_t*, size_t);
template int settingsFileExists<char>(const char*, const char*);
template int settingsFileExists<char16_t>(const char16_t*, const char16_t*);
template void prepareSettings<char>();
template void prepareSettings<char16_t>();

}  // namespace grid
