#include "shell/win32/ProgressWindow_win.h"

#include <commctrl.h>

#include <string>

#include "core/ConversionRun.h"
#include "core/Program.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "platform/Clipboard.h"
#include "platform/SettingsFile.h"
#include "platform/Window.h"
#include "platform/win32/MessageBox_win.h"

namespace grid {
namespace {

constexpr int kCancelButton = 123;
const char* const kClassName = "NothingWClass";

HWND progressBar = nullptr;
HWND statusText = nullptr;
HWND cancelButton = nullptr;

// The controls' font, deleted when the program's message loop is over and the window that uses it
// is gone.
struct OwnedFont {
    HFONT handle = nullptr;
    OwnedFont() = default;
    OwnedFont(const OwnedFont&) = delete;
    OwnedFont& operator=(const OwnedFont&) = delete;
    ~OwnedFont() {
        if (handle) DeleteObject(handle);
    }
};

// Texts of the window in the code page 932 form that the 8-bit calls expect.
std::string ansi(const char* utf8) {
    std::string bytes;
    utf8ToCodePage932(utf8, bytes);
    return bytes;
}

// Progress by SendMessageA, so that the worker waits until the window has moved the bar; the end
// by PostMessageA of WM_CLOSE.
struct Win32ProgressWindow final : ProgressWindowPort {
    void setProgress(int32_t position) override { SendMessageA(progressBar, PBM_SETPOS, WPARAM(position), 0); }
    void close() override { PostMessageA(static_cast<HWND>(mainWindow), WM_CLOSE, 0, 0); }
};

template <class Ch>
LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    RunState<Ch>& run = runState<Ch>();
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kCancelButton) run.cancelState.store(kCancelRequested);
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN || wParam == VK_ESCAPE || wParam == VK_SPACE) run.cancelState.store(kCancelRequested);
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            // A cancel request still pending keeps the program alive until the worker has seen it,
            // for ten seconds at most.
            for (int check = 0; check < 100 && run.cancelState.load() == kCancelRequested; ++check) Sleep(100);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

template <class Ch>
DWORD WINAPI workerThread(LPVOID) {
    workerMain<Ch>();
    return 0;
}

template <class Ch>
bool createWindow(HINSTANCE instance, int showCommand, OwnedFont& controlFont) {
    RunState<Ch>& run = runState<Ch>();
    run.cancelState.store(kCancelNotRequested);
    run.bordersAccepted = 0;
    InitCommonControls();

    const int left = (GetSystemMetrics(SM_CXFULLSCREEN) - 260) / 2;
    const int top = (GetSystemMetrics(SM_CYFULLSCREEN) - 130) / 2;
    HWND window = CreateWindowExA(0, kClassName, programCaption<Ch>(), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, left,
                                  top, 260, 130, nullptr, nullptr, instance, nullptr);
    if (!window) return false;
    ShowWindow(window, showCommand);
    statusText = CreateWindowExA(0, "STATIC", ansi("データを変換中です。しばらくお待ちください。").c_str(),
                                 WS_CHILD | WS_VISIBLE, 10, 7, 272, 16, window, nullptr, instance, nullptr);
    progressBar = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | WS_VISIBLE, 30, 30, 200, 20, window, nullptr,
                                  instance, nullptr);
    SendMessageA(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    cancelButton = CreateWindowExA(0, "BUTTON", ansi("キャンセル").c_str(), WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON,
                                   80, 65, 86, 20, window, reinterpret_cast<HMENU>(INT_PTR(kCancelButton)), instance,
                                   nullptr);
    SetFocus(window);
    // The owner of every message box and clipboard opening, set before the worker reads it.
    mainWindow = window;
    HANDLE worker = CreateThread(nullptr, 0, workerThread<Ch>, window, 0, nullptr);
    if (worker) CloseHandle(worker);

    LOGFONTA font = {};
    font.lfHeight = -11;
    font.lfWeight = FW_BOLD;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfOutPrecision = OUT_STROKE_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
    const std::string face = ansi("ＭＳ Ｐ明朝");
    lstrcpynA(font.lfFaceName, face.c_str(), LF_FACESIZE);
    controlFont.handle = CreateFontIndirectA(&font);
    if (!controlFont.handle) return false;
    for (HWND control : {statusText, progressBar, cancelButton})
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(controlFont.handle), TRUE);
    return true;
}

}  // namespace

template <class Ch>
int runWindowsProgram(HINSTANCE instance, int showCommand, const ProgramParts<Ch>& parts) {
    static Win32MessageBox messageBoxes;
    static Win32ProgressWindow progressWindow;
    setMessageBoxPort(&messageBoxes);
    setSettingsFilePort(&systemSettingsFile());
    setClipboardPort(systemClipboard());
    setProgressWindowPort(&progressWindow);
    setProgramParts(parts);

    prepareSettings<Ch>();

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProcedure<Ch>;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(128));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass)) return 0;
    OwnedFont controlFont;
    if (!createWindow<Ch>(instance, showCommand, controlFont)) return 0;

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

template int runWindowsProgram<char>(HINSTANCE, int, const ProgramParts<char>&);
template int runWindowsProgram<char16_t>(HINSTANCE, int, const ProgramParts<char16_t>&);

}  // namespace grid
