#pragma once
// Ports to the platform services that the conversion core needs. Each is shaped after the Windows
// function it stands for; the backends live in folders named for what they stand on (win32/,
// posix/, gtk/, uno/, portable/) and the test doubles in fake/.
#include <cstdint>
#include <string>

namespace grid {

using WindowHandle = void*;

// Message box styles and answers, with the values of the Windows constants.
inline constexpr uint32_t kBoxOk = 0x0;
inline constexpr uint32_t kBoxOkCancel = 0x1;
inline constexpr uint32_t kBoxIconHand = 0x10;
inline constexpr uint32_t kBoxIconQuestion = 0x20;
inline constexpr uint32_t kBoxIconInformation = 0x40;
inline constexpr uint32_t kBoxSetForeground = 0x10000;
inline constexpr int32_t kAnswerOk = 1;
inline constexpr int32_t kAnswerCancel = 2;

// A modal message box (MessageBoxA). Texts are UTF-8 here; a backend converts them to what its
// platform shows (code page 932 bytes for MessageBoxA). Returns the button pressed, or 0 when no
// box could be shown.
struct MessageBoxPort {
    virtual ~MessageBoxPort() = default;
    virtual int32_t show(WindowHandle owner, const char* text, const char* caption, uint32_t style) = 0;
};

// Ending the whole process at once (ExitProcess).
struct ProcessExitPort {
    virtual ~ProcessExitPort() = default;
    virtual void exitProcess(int code) = 0;
};

// The ports in use. Without a backend set, a message box is "not shown" (answer 0, which every
// question counts as Cancel) and the process exit ends the process.
MessageBoxPort& messageBoxPort();
void setMessageBoxPort(MessageBoxPort* port);
ProcessExitPort& processExitPort();
void setProcessExitPort(ProcessExitPort* port);

// UTF-8 to the bytes of code page 932 (Shift-JIS), as MessageBoxA and the window texts expect.
// Returns false when a character has no code page 932 form.
bool utf8ToCodePage932(const std::string& utf8, std::string& cp932);

}  // namespace grid
