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
}

}  // namespace grid
