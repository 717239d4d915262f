// A second process for the Windows clipboard tests:
//   clipboard-helper hold EVENT   opens the clipboard, sets EVENT (the number of an event handle it
//                                 inherited) and keeps the clipboard open until its standard input
//                                 ends, that is until the test closes its end of the pipe or ends
//   clipboard-helper dump         prints CF_UNICODETEXT and CF_TEXT of the clipboard as hexadecimal
//   clipboard-helper put FORMAT=FILE ...  empties the clipboard and puts each FILE's bytes as they
//                                 are (terminators included) in FORMAT: a number, or the name of a
//                                 registered format such as "Link"; the blocks stay on the
//                                 clipboard after the helper ends
#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

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

int put(int count, char** items) {
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    for (int attempt = 0; !OpenClipboard(window); ++attempt) {
        if (attempt == 100) return 1;
        Sleep(50);
    }
    EmptyClipboard();
    int status = 0;
    for (int i = 0; i < count; ++i) {
        const std::string item = items[i];
        const size_t equals = item.find('=');
        const std::string name = item.substr(0, equals);
        std::ifstream file(item.substr(equals + 1), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        const UINT format = std::isdigit(static_cast<unsigned char>(name[0]))
                                ? UINT(std::strtoul(name.c_str(), nullptr, 10)) : RegisterClipboardFormatA(name.c_str());
        HGLOBAL block = equals == std::string::npos || !file || !format
                            ? nullptr : GlobalAlloc(GMEM_MOVEABLE, bytes.size() ? bytes.size() : 1);
        if (!block) {
            status = 3;
            continue;
        }
        std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
        if (!SetClipboardData(format, block)) {
            GlobalFree(block);
            status = 3;
        }
    }
    CloseClipboard();
    DestroyWindow(window);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "hold") == 0) {
        HANDLE held = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(argv[2], nullptr, 10)));
        // Opened for a window of its own, as a program does; without one, Wine lets anyone else
        // without one open it too.
        HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        if (!OpenClipboard(window)) return 1;
        if (!SetEvent(held)) return 3;
        // Held until the input ends: the test closes its end of the pipe to let go, and a test that
        // ends any other way closes it as well.
        char byte;
        DWORD got = 0;
        while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr) && got > 0) {
        }
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
    if (argc >= 3 && std::strcmp(argv[1], "put") == 0) return put(argc - 2, argv + 2);
    std::fprintf(stderr, "usage: clipboard-helper hold EVENT | dump | put FORMAT=FILE...\n");
    return 2;
}
