#include "platform/gtk/MainThread_gtk.h"

#include <glib.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace grid {
namespace {

std::thread::id mainThread;

struct Request {
    const std::function<void()>* work;
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
};

gboolean runRequest(gpointer data) {
    auto* request = static_cast<Request*>(data);
    (*request->work)();
    {
        std::lock_guard<std::mutex> guard(request->lock);
        request->done = true;
    }
    request->finished.notify_one();
    return G_SOURCE_REMOVE;
}

}  // namespace

void markGtkMainThread() { mainThread = std::this_thread::get_id(); }
bool onGtkMainThread() { return std::this_thread::get_id() == mainThread; }

void runOnGtkMainThread(const std::function<void()>& work) {
    if (onGtkMainThread()) {
        work();
        return;
    }
    Request request;
    request.work = &work;
    g_idle_add(runRequest, &request);
    std::unique_lock<std::mutex> guard(request.lock);
    request.finished.wait(guard, [&] { return request.done; });
}

}  // namespace grid
