#include "wiki/WikiSettings.h"

namespace grid {

void readWikiSettings(const char* path, Settings<char>& s) {
    readSettingsString(path, "Param", "cntl_char", "@", s.cntl_char);
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
    for (const Key& key : keys) readSettingsString(path, "Param", key.name, "", (s.*key.value).text);

    // The entries in use end at the first empty pattern; that entry's other two values are
    // read all the same.
    s.substitutionCount = 5;
    for (int n = 1; n <= 5; ++n) {
        SubstitutionEntry& entry = s.substitutions[n - 1];
        char pattern[] = "code_chenge_m?", replacement[] = "code_chenge_o?", mode[] = "code_chenge_r?";
        pattern[13] = replacement[13] = mode[13] = char('0' + n);
        readSettingsString(path, "Param", pattern, "", entry.pattern.text);
        readSettingsString(path, "Param", replacement, "", entry.replacement.text);
        readSettingsString(path, "Param", mode, "", entry.mode.text);
        if (entry.pattern.text[0] == 0) {
            s.substitutionCount = n - 1;
            break;
        }
    }

    // The table's structure and the escapes, after everything above so that the order in which
    // the keys before them are read stays as it was.
    readSettingsString(path, "Param", "newline_code", "", s.newline_code);
    static constexpr Key structure[] = {
        {"table_begin", &Settings<char>::table_begin},   {"table_end", &Settings<char>::table_end},
        {"row_line", &Settings<char>::row_line},         {"row_frame", &Settings<char>::row_frame},
        {"head_frame", &Settings<char>::head_frame},     {"head_sep", &Settings<char>::head_sep},
        {"head_cell", &Settings<char>::head_cell},       {"rule_poshl", &Settings<char>::rule_poshl},
        {"rule_poshc", &Settings<char>::rule_poshc},     {"rule_poshr", &Settings<char>::rule_poshr},
        {"cell_span", &Settings<char>::cell_span},       {"cell_colspan", &Settings<char>::cell_colspan},
        {"cell_rowspan", &Settings<char>::cell_rowspan},
    };
    for (const Key& key : structure) readSettingsString(path, "Param", key.name, "", (s.*key.value).text);
    readSettingsString(path, "Param", "cover_cells", "", s.cover_cells);
    static constexpr Key markers[] = {
        {"cover_row", &Settings<char>::cover_row},
        {"cover_column", &Settings<char>::cover_column},
        {"cover_other", &Settings<char>::cover_other},
        {"cell_break", &Settings<char>::cell_break},
    };
    for (const Key& key : markers) readSettingsString(path, "Param", key.name, "", (s.*key.value).text);
    readSettingsString(path, "Param", "escape_chars", "", s.escape_chars);
    readSettingsString(path, "Param", "escape_code", "", s.escape_code.text);
}

}  // namespace grid
