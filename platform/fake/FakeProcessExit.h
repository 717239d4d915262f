#pragma once
// Turns a request to end the process into an exception that a test catches.
#include "platform/Ports.h"

namespace grid {

struct ProcessExitRequested {
    int code;
};

class FakeProcessExit final : public ProcessExitPort {
public:
    FakeProcessExit() { setProcessExitPort(this); }
    ~FakeProcessExit() override { setProcessExitPort(nullptr); }
    void exitProcess(int code) override { throw ProcessExitRequested{code}; }
};

}  // namespace grid
