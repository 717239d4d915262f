#include "platform/Ports.h"

#include <cstdlib>

namespace grid {
namespace {

struct NoMessageBox final : MessageBoxPort {
    int32_t show(WindowHandle, const char*, const char*, uint32_t) override { return 0; }
};

struct ImmediateExit final : ProcessExitPort {
    void exitProcess(int code) override { std::_Exit(code); }
};

NoMessageBox noMessageBox;
ImmediateExit immediateExit;
MessageBoxPort* currentMessageBox = &noMessageBox;
ProcessExitPort* currentExit = &immediateExit;

}  // namespace

MessageBoxPort& messageBoxPort() { return *currentMessageBox; }
void setMessageBoxPort(MessageBoxPort* port) { currentMessageBox = port ? port : &noMessageBox; }
ProcessExitPort& processExitPort() { return *currentExit; }
void setProcessExitPort(ProcessExitPort* port) { currentExit = port ? port : &immediateExit; }

}  // namespace grid
