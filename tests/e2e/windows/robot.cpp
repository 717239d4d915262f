// A test robot for the Windows programs, used the way a user would use them:
//
//   robot put FORMAT=HEX [FORMAT=HEX ...]   empties the clipboard and puts the formats on it
//                                           (FORMAT 1 CF_TEXT, 4 CF_SYLK, 13 CF_UNICODETEXT, or any
//                                           number; HEX the bytes, terminators included)
//   robot empty                             leaves the clipboard empty
//   robot hold MS                           holds the clipboard open for MS milliseconds
//   robot dump                              prints every format on the clipboard with its bytes
//                                           (see dump() for the form)
//   robot run PROGRAM [OPTIONS]             starts the program, answers its message boxes and waits
//                                           for its end; prints one line per box and the exit code
//     --answer A,B,...     answers in turn: OK, Cancel or Close (the close box); then OK
//     --escape-at N        presses Escape on the progress window just before answering box N
//     --hold-at-progress P,MS  once the progress bar reaches P, holds the clipboard MS ms
//     --screenshot-at N FILE   moves box N below the progress window and saves the screen as a BMP
//                              file before answering it
//     --timeout S          gives up after S seconds (default 60)
//
// A box line reads: box CAPTION | BUTTONS | OWNER | TEXT, the text with "\n" and "\r" for its line
// breaks. Output lines end in LF alone (stdout is binary), so a stray CR cannot hide in them.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return "";
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string bytesOfHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += char(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16));
    return bytes;
}

// The clipboard held by a window of its own, so that other programs cannot open it meanwhile.
void holdClipboard(DWORD milliseconds) {
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (OpenClipboard(window)) {
        Sleep(milliseconds);
        CloseClipboard();
    }
    DestroyWindow(window);
}

int put(int argc, char** argv, bool anything) {
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    for (int attempt = 0; !OpenClipboard(window); ++attempt) {
        if (attempt == 100) return 1;
        Sleep(50);
    }
    EmptyClipboard();
    for (int i = 2; anything && i < argc; ++i) {
        std::string item = argv[i];
        size_t equals = item.find('=');
        UINT format = UINT(std::strtoul(item.substr(0, equals).c_str(), nullptr, 10));
        std::string bytes = bytesOfHex(item.substr(equals + 1));
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size() ? bytes.size() : 1);
        memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
        SetClipboardData(format, block);
    }
    CloseClipboard();
    DestroyWindow(window);
    return 0;
}

// The formats whose data is a GDI object rather than a block of memory.
bool isGdiObject(UINT format) {
    return format == CF_BITMAP || format == CF_METAFILEPICT || format == CF_PALETTE || format == CF_ENHMETAFILE ||
           format == CF_DSPBITMAP || format == CF_DSPMETAFILEPICT || format == CF_DSPENHMETAFILE;
}

// One line per format on the clipboard, those the system makes from another included, in the order
// of their numbers: "clipboard FORMAT HEX", FORMAT the number (a registered format's quoted name)
// and HEX its bytes. A text format ends at its terminator, which is shown: what lies after it in
// the block is room left over, not text. A text without a terminator shows its whole block. A GDI
// object shows "object", data that cannot be had "none"; no format at all is "clipboard empty".
int dump() {
    for (int attempt = 0; !OpenClipboard(nullptr); ++attempt) {
        if (attempt == 100) return 1;
        Sleep(50);
    }
    std::vector<UINT> formats;
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format)) formats.push_back(format);
    std::sort(formats.begin(), formats.end());
    if (formats.empty()) std::printf("clipboard empty\n");
    for (UINT format : formats) {
        std::string name = std::to_string(format);
        char registered[256] = {};
        if (format >= 0xC000 && GetClipboardFormatNameA(format, registered, sizeof registered) > 0)
            name = std::string("\"") + registered + "\"";
        HANDLE data = GetClipboardData(format);
        if (!data || isGdiObject(format)) {
            std::printf("clipboard %s %s\n", name.c_str(), data ? "object" : "none");
            continue;
        }
        const unsigned char* bytes = static_cast<const unsigned char*>(GlobalLock(data));
        size_t size = bytes ? GlobalSize(data) : 0;
        const size_t unit = format == CF_UNICODETEXT ? 2 : format == CF_TEXT || format == CF_OEMTEXT ? 1 : 0;
        if (unit) {
            for (size_t at = 0; at + unit <= size; at += unit) {
                if (bytes[at] == 0 && bytes[at + unit - 1] == 0) {
                    size = at + unit;
                    break;
                }
            }
        }
        std::printf("clipboard %s ", name.c_str());
        for (size_t i = 0; i < size; ++i) std::printf("%02X", bytes[i]);
        std::printf("\n");
        if (bytes) GlobalUnlock(data);
    }
    CloseClipboard();
    return 0;
}

// The whole screen as a 24-bit BMP file.
void saveScreen(const std::string& path) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO format = {};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD stride = DWORD((width * 3 + 3) & ~3), size = stride * DWORD(height);
    BITMAPFILEHEADER file = {0x4D42, DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) + size, 0, 0,
                             DWORD(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))};
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&format.bmiHeader, sizeof format.bmiHeader, 1, out);
        std::fwrite(bits, 1, size, out);
        std::fclose(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

struct Watch {
    DWORD process;
    std::vector<HWND> boxes;
    HWND progress = nullptr;
};

BOOL CALLBACK findWindows(HWND window, LPARAM parameter) {
    Watch& watch = *reinterpret_cast<Watch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != watch.process || !IsWindowVisible(window)) return TRUE;
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "#32770") watch.boxes.push_back(window);
    if (std::string(name) == "NothingWClass") watch.progress = window;
    return TRUE;
}

std::string describe(HWND box) {
    wchar_t caption[256] = {}, text[2048] = {};
    GetWindowTextW(box, caption, 256);
    GetDlgItemTextW(box, 0xFFFF, text, 2048);
    std::string body = utf8(text), escaped;
    for (char c : body) escaped += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    std::string buttons = GetDlgItem(box, IDCANCEL) && GetDlgItem(box, IDOK) ? "OK,Cancel" : "OK";
    HWND owner = GetWindow(box, GW_OWNER);
    char ownerClass[64] = "none";
    if (owner) GetClassNameA(owner, ownerClass, sizeof ownerClass);
    return "box " + utf8(caption) + " | " + buttons + " | " + ownerClass + " | " + escaped;
}

void answer(HWND box, const std::string& how) {
    if (how == "Close") {
        PostMessageA(box, WM_CLOSE, 0, 0);
        return;
    }
    int id = how == "Cancel" ? IDCANCEL : IDOK;
    HWND button = GetDlgItem(box, id);
    if (!button && id == IDOK) button = GetDlgItem(box, IDCANCEL), id = IDCANCEL;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

int run(int argc, char** argv) {
    std::string program = argv[2];
    std::vector<std::string> answers;
    int escapeAt = -1, holdAt = -1, holdFor = 0, timeout = 60, screenshotAt = -1;
    std::string screenshot;
    for (int i = 3; i + 1 < argc; i += 2) {
        std::string option = argv[i], value = argv[i + 1];
        if (option == "--answer") {
            for (size_t start = 0; start <= value.size();) {
                size_t comma = value.find(',', start);
                if (comma == std::string::npos) comma = value.size();
                answers.push_back(value.substr(start, comma - start));
                start = comma + 1;
            }
        } else if (option == "--escape-at") {
            escapeAt = std::atoi(value.c_str());
        } else if (option == "--hold-at-progress") {
            std::sscanf(value.c_str(), "%d,%d", &holdAt, &holdFor);
        } else if (option == "--screenshot-at" && i + 2 < argc) {
            screenshotAt = std::atoi(value.c_str());
            screenshot = argv[i + 2];
            ++i;
        } else if (option == "--timeout") {
            timeout = std::atoi(value.c_str());
        }
    }
    std::string folder = program.substr(0, program.find_last_of("\\/") + 1);
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION info = {};
    std::string command = "\"" + program + "\"";
    if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &start, &info)) {
        std::printf("cannot start %s\n", program.c_str());
        return 2;
    }
    CloseHandle(info.hThread);
    std::set<HWND> handled;
    std::vector<std::thread> holders;
    int shown = 0;
    const DWORD deadline = GetTickCount() + DWORD(timeout) * 1000;
    while (WaitForSingleObject(info.hProcess, 50) == WAIT_TIMEOUT) {
        if (GetTickCount() > deadline) {
            std::printf("timeout\n");
            TerminateProcess(info.hProcess, 99);
            break;
        }
        Watch watch{info.dwProcessId, {}, nullptr};
        EnumWindows(findWindows, reinterpret_cast<LPARAM>(&watch));
        if (holdAt >= 0 && watch.progress) {
            HWND bar = FindWindowExA(watch.progress, nullptr, "msctls_progress32", nullptr);
            if (bar && int(SendMessageA(bar, PBM_GETPOS, 0, 0)) >= holdAt) {
                holders.emplace_back([=] { holdClipboard(DWORD(holdFor)); });
                holdAt = -1;
            }
        }
        for (HWND box : watch.boxes) {
            if (handled.count(box)) continue;
            Sleep(100);  // let the box finish drawing its text
            handled.insert(box);
            ++shown;
            std::printf("%s\n", describe(box).c_str());
            std::fflush(stdout);
            if (shown == screenshotAt) {
                // The box below the progress window, so that the picture shows both.
                RECT window = {}, boxArea = {};
                if (watch.progress) GetWindowRect(watch.progress, &window);
                GetWindowRect(box, &boxArea);
                SetWindowPos(box, HWND_TOP, boxArea.left, window.bottom + 12, 0, 0, SWP_NOSIZE);
                Sleep(300);
                saveScreen(screenshot);
            }
            if (shown == escapeAt && watch.progress) PostMessageA(watch.progress, WM_KEYDOWN, VK_ESCAPE, 0);
            answer(box, size_t(shown) <= answers.size() ? answers[size_t(shown) - 1] : "OK");
        }
    }
    for (std::thread& holder : holders) holder.join();
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    std::printf("exit %lu\n", static_cast<unsigned long>(code));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "put") return put(argc, argv, true);
    if (command == "empty") return put(argc, argv, false);
    if (command == "hold" && argc == 3) {
        holdClipboard(DWORD(std::atoi(argv[2])));
        return 0;
    }
    if (command == "dump") return dump();
    if (command == "run" && argc >= 3) return run(argc, argv);
    std::fprintf(stderr, "usage: robot put|empty|hold|dump|run ... (see the source)\n");
    return 2;
}
