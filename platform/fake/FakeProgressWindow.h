#pragma once
// A progress window for tests: records every position and closing, and can act on a position.
#include <functional>
#include <vector>

#include "platform/Window.h"

namespace grid {

struct FakeProgressWindow final : ProgressWindowPort {
    FakeProgressWindow() { setProgressWindowPort(this); }
    ~FakeProgressWindow() override { setProgressWindowPort(nullptr); }
    FakeProgressWindow(const FakeProgressWindow&) = delete;
    FakeProgressWindow& operator=(const FakeProgressWindow&) = delete;

    void setProgress(int32_t position) override {
        positions.push_back(position);
        if (onProgress) onProgress(position);
    }
    void close() override { ++closes; }

    std::vector<int32_t> positions;
    std::function<void(int32_t)> onProgress;  // as the user might do while the bar moves
    int closes = 0;
};

}  // namespace grid
