#pragma once
// The options of both programs, read once at start-up from the settings file beside the program
// (Gridweave.ini, Gridquill.ini) and never written back.
#include <cstddef>
#include <cstdint>

namespace grid {

// One template of Gridquill's settings: the text as read, split by the wiki writer at the control
// character into an opening and a closing part.
struct MarkupTemplate {
    int32_t closeStart;          // index in text of the closing part
    int32_t hasOpening;          // 1 when the opening part is not empty
    int32_t hasClosing;          // 1 when the closing part is not empty
    int32_t openingConversions;  // "%d", "%c", "%s" or "%x" sequences in the opening part
    int32_t closingConversions;
    char text[101];
};

// A rewrite of cell text: the pattern looked for, what replaces it, and the mode ("all" wraps the
// whole text instead).
struct SubstitutionEntry {
    MarkupTemplate pattern;
    MarkupTemplate replacement;
    MarkupTemplate mode;
};

template <class Ch> struct Settings;

template <>
struct Settings<char16_t> {
    char16_t timeValue[10];  // Log/Time; "ON" shows the elapsed time at the end
    int32_t clipWaitCount;   // Wait/ClipWaitCount: clipboard opening attempts
    int32_t clipWaitTime;    // Wait/ClipWaitTime: milliseconds between them
    // Param: the HTML writer's options; keys ending in _yn are flags, on only for "ON".
    char16_t htmlversion[101];
    char16_t table_posh[101];
    char16_t table_outline[101];
    char16_t line_color_yn[101];
    char16_t line_width_yn[101];
    char16_t back_color_yn[101];
    char16_t font_color_yn[101];
    char16_t font_size_yn[101];
    char16_t font_bold_yn[101];
    char16_t font_underline_yn[101];
    char16_t font_italic_yn[101];
    char16_t font_strikethrough_yn[101];
    char16_t cell_posh_yn[101];
    char16_t cell_posv_yn[101];
    char16_t inline_style_yn[101];  // ON: the third style, inline CSS (html/InlineStyle.h)
    char16_t localeName[1000];  // Locale/Locale: the LC_CTYPE locale; empty is the user's default
    char16_t fast_capture_yn[101];  // Param; ON: the cells are read in the office (capture/FastCapture.h)
    char16_t direct_capture_yn[101];  // Param; ON: the cells are read from the copy itself (capture/DirectCapture.h)
};

template <>
struct Settings<char> {
    char timeValue[10];
    int32_t clipWaitCount;
    int32_t clipWaitTime;
    // Param: the wiki writer's templates and text rewrites.
    char cntl_char[10];  // only its first byte is the control character
    MarkupTemplate line_color, line_width, back_color, font_color, font_size;
    MarkupTemplate font_bold, font_underline, font_italic, font_strikethrough;
    MarkupTemplate cell_poshr, cell_poshc, cell_poshl, cell_posvt, cell_posvc, cell_posvb;
    MarkupTemplate cell_sep, cell_mrgh, cell_mrgv;
    SubstitutionEntry substitutions[5];
    int32_t substitutionCount;  // entries in use: those before the first empty pattern
    // Param: the table's structure beyond cells and rows, all empty unless the file sets them.
    char newline_code[101];  // stands for a line end in the values of the keys below
    MarkupTemplate table_begin, table_end, row_line, row_frame;
    MarkupTemplate head_frame, head_sep, head_cell;
    MarkupTemplate rule_poshl, rule_poshc, rule_poshr;
    MarkupTemplate cell_span, cell_colspan, cell_rowspan;
    char cover_cells[101];  // "first" or "last": where a merged area's content goes among its cells
    MarkupTemplate cover_row, cover_column, cover_other;
    MarkupTemplate cell_break;
    char escape_chars[101];  // characters of the cell texts written through escape_code
    MarkupTemplate escape_code;
    char fast_capture_yn[101];  // Param; ON: the cells are read in the office (capture/FastCapture.h)
    char direct_capture_yn[101];  // Param; ON: the cells are read from the copy itself (capture/DirectCapture.h)
};

template <class Ch>
inline Settings<Ch> theSettings{};

template <class Ch>
Settings<Ch>& settings() {
    return theSettings<Ch>;
}

// Every value back to its state before start-up (all empty, as a test expects it).
template <class Ch> void resetSettings();

// True for a flag value of exactly "ON".
bool flagIsOn(const char16_t* value);
// The capture reads the cells in the office, in one request (fast_capture_yn is "ON").
template <class Ch> bool fastCaptureOn();
// The cells are read from what the copy put on the clipboard, without an office, where it can be
// (direct_capture_yn is "ON").
template <class Ch> bool directCaptureOn();
// HTML5 output: htmlversion starts with "5".
bool htmlFiveMode();

// The folder of the program file, without a trailing separator, into a buffer of 2048 wide
// characters (Gridweave) or 1024 bytes (Gridquill). A path without a separator gives ".".
template <class Ch> void locateSettingsFile(Ch* directory, size_t size);
// 0 when nothing lies at directory + separator + name, -1 for a directory, 1 for a file.
template <class Ch> int settingsFileExists(const Ch* directory, const Ch* name);
// Fills the settings from the file at path: the common keys, the Param keys of the program's own
// parts (core/Program.h), then Gridweave's Locale, then Param/fast_capture_yn and direct_capture_yn; a missing file or
// key gives the defaults.
template <class Ch> void readSettings(const Ch* path);
// One string key into value (size characters, NUL included), cleared first so that a value the
// reader cut leaves nothing of an earlier one behind.
template <class Ch>
void readSettingsString(const Ch* path, const Ch* section, const Ch* key, const Ch* defaultValue, Ch* value,
                        size_t size);
template <class Ch, size_t N>
void readSettingsString(const Ch* path, const Ch* section, const Ch* key, const Ch* defaultValue, Ch (&value)[N]) {
    readSettingsString(path, section, key, defaultValue, value, N);
}
// The start-up steps: locate the file (on Linux also in the user's settings folder), show
// message 31 without an owner when there is none, read it and set the LC_CTYPE locale.
template <class Ch> void prepareSettings();

}  // namespace grid
