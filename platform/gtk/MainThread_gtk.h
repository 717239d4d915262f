#pragma once
// GTK is used from its main thread only; the worker hands its requests over and waits for them,
// as SendMessage does on Windows.
#include <functional>

namespace grid {

void markGtkMainThread();
bool onGtkMainThread();
// Runs the work on the main thread and returns once it is done (at once on the main thread).
void runOnGtkMainThread(const std::function<void()>& work);

}  // namespace grid
