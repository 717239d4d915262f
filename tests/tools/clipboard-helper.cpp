// A second process for the Windows clipboard tests:
//   clipboard-helper hold MS   opens the clipboard, signals the event "GridClipboardHeld", keeps it
//                              open MS milliseconds and closes it
//   clipboard-helper dump      prints CF_UNICODETEXT and CF_TEXT of the clipboard as hexadecimal
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void dump(UINT format, size_t unit) {
    HANDLE data = GetClipboardData(format);
    if (!data) {
        std::printf("%u none\n", format);
        return;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(GlobalLock(data));
    const size_t size = GlobalSize(data);
    std::printf("%u ", format);
    for (size_t i = 0; bytes && i + unit <= size; i += unit) {
        bool end = true;
        for (size_t k = 0; k < unit; ++k) end = end && bytes[i + k] == 0;
        if (end) break;
        for (size_t k = 0; k < unit; ++k) std::printf("%02X", bytes[i + k]);
    }
    std::printf("\n");
    GlobalUnlock(data);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "hold") == 0) {
        HANDLE held = CreateEventA(nullptr, TRUE, FALSE, "GridClipboardHeld");
        // Opened for a window of its own, as a program does; without one, Wine lets anyone else
        // without one open it too.
        HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        if (!OpenClipboard(window)) return 1;
        SetEvent(held);
        Sleep(static_cast<DWORD>(std::atoi(argv[2])));
        CloseClipboard();
        DestroyWindow(window);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "dump") == 0) {
        if (!OpenClipboard(nullptr)) return 1;
        dump(CF_UNICODETEXT, 2);
        dump(CF_TEXT, 1);
        CloseClipboard();
        return 0;
    }
    std::fprintf(stderr, "usage: clipboard-helper hold MS | dump\n");
    return 2;
}
