#include "platform/win32/MessageBox_win.h"

#include <windows.h>

namespace grid {

int32_t Win32MessageBox::show(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
    std::string ansiText, ansiCaption;
    // A text that code page 932 cannot hold is still shown, with the characters the conversion kept.
    utf8ToCodePage932(text, ansiText);
    utf8ToCodePage932(caption, ansiCaption);
    return MessageBoxA(static_cast<HWND>(owner), ansiText.c_str(), ansiCaption.c_str(), style);
}

}  // namespace grid
