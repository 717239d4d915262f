#pragma once
// What the run asks of the progress window: moving its bar (SendMessage, so it waits until the
// window has done it) and closing it at the end (PostMessage of WM_CLOSE).
#include <cstdint>

namespace grid {

struct ProgressWindowPort {
    virtual ~ProgressWindowPort() = default;
    virtual void setProgress(int32_t position) = 0;  // 0 to 100
    virtual void close() = 0;
};

// The port in use; without a window, progress and closing go nowhere.
ProgressWindowPort& progressWindowPort();
void setProgressWindowPort(ProgressWindowPort* port);

}  // namespace grid
