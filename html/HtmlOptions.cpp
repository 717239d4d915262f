#include "html/HtmlOptions.h"

namespace grid {

void readHtmlOptions(const char16_t* path, Settings<char16_t>& s) {
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
        {u"inline_style_yn", &Settings<char16_t>::inline_style_yn, u""},
    };
    for (const Key& key : keys) readSettingsString(path, u"Param", key.name, key.defaultValue, s.*key.value);
}

HtmlFlags currentHtmlFlags() {
    const Settings<char16_t>& s = settings<char16_t>();
    return {htmlFiveMode(),         flagIsOn(s.line_width_yn),  flagIsOn(s.line_color_yn),
            flagIsOn(s.back_color_yn), flagIsOn(s.font_color_yn), flagIsOn(s.font_size_yn),
            flagIsOn(s.font_bold_yn),  flagIsOn(s.font_underline_yn), flagIsOn(s.font_italic_yn),
            flagIsOn(s.font_strikethrough_yn), flagIsOn(s.cell_posh_yn), flagIsOn(s.cell_posv_yn)};
}

}  // namespace grid
