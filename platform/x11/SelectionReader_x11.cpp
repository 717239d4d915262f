#include "platform/x11/SelectionReader_x11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <climits>

namespace grid {

struct SelectionReader::Connection {
    Display* display = nullptr;
    Window window = 0;
    Atom clipboard = 0, property = 0, targets = 0, incremental = 0;
};

namespace {

using Clock = std::chrono::steady_clock;

// How often the wait looks at the user's cancel request and at the time, in milliseconds.
constexpr int kWaitSlice = 100;

// One property value of our window, taken off it, appended to data; false when there was none.
bool takeProperty(Display* display, Window window, Atom property, std::string& data, Atom& type, int& format,
                  unsigned long& items) {
    unsigned char* value = nullptr;
    unsigned long after = 0;
    if (XGetWindowProperty(display, window, property, 0, LONG_MAX / 4, True, AnyPropertyType, &type, &format, &items,
                           &after, &value) != Success)
        return false;
    if (value) {
        // Xlib hands 32-bit items over as longs, 16-bit ones as shorts.
        const size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
        data.append(reinterpret_cast<const char*>(value), items * unit);
        XFree(value);
    }
    return true;
}

}  // namespace

void prepareX11Threads() { XInitThreads(); }

SelectionReader::SelectionReader(const char* displayName, std::chrono::milliseconds silence,
                                 std::function<bool()> cancelled)
    : connection_(new Connection), silence_(silence), cancelled_(std::move(cancelled)) {
    Connection& c = *connection_;
    c.display = XOpenDisplay(displayName);
    if (!c.display) return;
    c.window = XCreateSimpleWindow(c.display, DefaultRootWindow(c.display), 0, 0, 1, 1, 0, 0, 0);
    // The pieces of a large selection come as new values of the property.
    XSelectInput(c.display, c.window, PropertyChangeMask);
    c.clipboard = XInternAtom(c.display, "CLIPBOARD", False);
    c.property = XInternAtom(c.display, "GRID_CLIPBOARD_DATA", False);
    c.targets = XInternAtom(c.display, "TARGETS", False);
    c.incremental = XInternAtom(c.display, "INCR", False);
}

SelectionReader::~SelectionReader() {
    if (connection_->display) {
        XDestroyWindow(connection_->display, connection_->window);
        XCloseDisplay(connection_->display);
    }
    delete connection_;
}

bool SelectionReader::hasOwner() {
    const Connection& c = *connection_;
    return c.display && XGetSelectionOwner(c.display, c.clipboard) != None;
}

SelectionResult SelectionReader::receive(unsigned long target, std::string& data, unsigned long& type, int& format) {
    const Connection& c = *connection_;
    if (!c.display) return SelectionResult::noDisplay;
    if (!hasOwner()) return SelectionResult::noOwner;
    XDeleteProperty(c.display, c.window, c.property);
    XConvertSelection(c.display, c.clipboard, target, c.property, c.window, CurrentTime);
    XFlush(c.display);
    data.clear();
    bool incremental = false;
    Clock::time_point heard = Clock::now();
    for (;;) {
        while (XPending(c.display) > 0) {
            XEvent event;
            XNextEvent(c.display, &event);
            if (event.xany.window != c.window) continue;
            heard = Clock::now();
            unsigned long items = 0;
            Atom actual = None;
            if (!incremental && event.type == SelectionNotify && event.xselection.selection == c.clipboard) {
                if (event.xselection.property == None) return SelectionResult::refused;
                if (!takeProperty(c.display, c.window, c.property, data, actual, format, items))
                    return SelectionResult::refused;
                if (actual != c.incremental) {
                    type = actual;
                    return SelectionResult::received;
                }
                // A large selection: taking the property off asks for the first piece.
                data.clear();
                incremental = true;
                XFlush(c.display);
            } else if (incremental && event.type == PropertyNotify && event.xproperty.atom == c.property &&
                       event.xproperty.state == PropertyNewValue) {
                if (!takeProperty(c.display, c.window, c.property, data, actual, format, items))
                    return SelectionResult::refused;
                XFlush(c.display);
                if (items == 0) return SelectionResult::received;  // an empty piece ends it
                type = actual;
            }
        }
        if (cancelled_ && cancelled_()) {
            answerOwed_ = true;
            return SelectionResult::cancelled;
        }
        if (Clock::now() - heard > silence_) {
            answerOwed_ = true;
            return SelectionResult::ownerSilent;
        }
        pollfd connection{ConnectionNumber(c.display), POLLIN, 0};
        poll(&connection, 1, kWaitSlice);
    }
}

SelectionResult SelectionReader::targets(std::vector<std::string>& names) {
    names.clear();
    std::string data;
    unsigned long type = 0;
    int format = 0;
    const SelectionResult result = receive(connection_->targets, data, type, format);
    if (result != SelectionResult::received) return result;
    if (format != 32) return SelectionResult::refused;
    const Connection& c = *connection_;
    for (size_t at = 0; at + sizeof(long) <= data.size(); at += sizeof(long)) {
        long atom = 0;
        data.copy(reinterpret_cast<char*>(&atom), sizeof atom, at);
        if (atom == None) continue;
        if (char* name = XGetAtomName(c.display, Atom(atom))) {
            names.emplace_back(name);
            XFree(name);
        }
    }
    return SelectionResult::received;
}

SelectionResult SelectionReader::read(const std::string& target, std::string& data, std::string& type) {
    const Connection& c = *connection_;
    if (!c.display) return SelectionResult::noDisplay;
    unsigned long actual = 0;
    int format = 0;
    const SelectionResult result = receive(XInternAtom(c.display, target.c_str(), False), data, actual, format);
    type.clear();
    if (result == SelectionResult::received && actual != None) {
        if (char* name = XGetAtomName(c.display, Atom(actual))) {
            type = name;
            XFree(name);
        }
    }
    return result;
}

}  // namespace grid
