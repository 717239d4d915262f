// A minimal X11 clipboard manager for the end-to-end tests: it owns CLIPBOARD_MANAGER, and when a
// program asks it to SAVE_TARGETS (as GTK does at exit), it fetches the clipboard's UTF-8 text,
// takes the clipboard over and serves that text from then on. Prints "saved N bytes" to stdout
// each time it has taken text over. Runs until it is ended.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

Display* display;
Window window;
Atom clipboard, manager, saveTargets, targets, utf8, fetched, multiple, timestamp;
std::string saved;
bool holding = false;

void reply(const XSelectionRequestEvent& request, Atom property) {
    XEvent notify{};
    notify.xselection.type = SelectionNotify;
    notify.xselection.display = request.display;
    notify.xselection.requestor = request.requestor;
    notify.xselection.selection = request.selection;
    notify.xselection.target = request.target;
    notify.xselection.property = property;
    notify.xselection.time = request.time;
    XSendEvent(display, request.requestor, False, NoEventMask, &notify);
    XFlush(display);
}

// The clipboard's text, converted to our window's property; false when the owner gives none.
bool fetchText(std::string& text) {
    XConvertSelection(display, clipboard, utf8, fetched, window, CurrentTime);
    XFlush(display);
    XEvent event;
    for (;;) {
        XNextEvent(display, &event);
        if (event.type == SelectionNotify && event.xselection.selection == clipboard) break;
    }
    if (event.xselection.property == None) return false;
    Atom type;
    int format;
    unsigned long count, left;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, fetched, 0, 1 << 24, True, AnyPropertyType, &type, &format, &count, &left,
                           &data) != Success)
        return false;
    text.assign(reinterpret_cast<const char*>(data), count);
    XFree(data);
    return true;
}

void serveClipboard(const XSelectionRequestEvent& request) {
    Atom property = request.property == None ? request.target : request.property;
    if (request.target == targets) {
        const Atom offered[] = {targets, utf8, XA_STRING};
        XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 3);
    } else if (request.target == utf8 || request.target == XA_STRING) {
        XChangeProperty(display, request.requestor, property, request.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(saved.data()), int(saved.size()));
    } else {
        property = None;
    }
    reply(request, property);
}

}  // namespace

int main() {
    display = XOpenDisplay(nullptr);
    if (!display) return 1;
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    clipboard = XInternAtom(display, "CLIPBOARD", False);
    manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
    saveTargets = XInternAtom(display, "SAVE_TARGETS", False);
    targets = XInternAtom(display, "TARGETS", False);
    utf8 = XInternAtom(display, "UTF8_STRING", False);
    fetched = XInternAtom(display, "GRID_FETCHED", False);
    multiple = XInternAtom(display, "MULTIPLE", False);
    timestamp = XInternAtom(display, "TIMESTAMP", False);
    XSetSelectionOwner(display, manager, window, CurrentTime);
    if (XGetSelectionOwner(display, manager) != window) return 1;
    std::printf("managing\n");
    std::fflush(stdout);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionClear && event.xselectionclear.selection == clipboard) {
            holding = false;
        } else if (event.type == SelectionRequest) {
            const XSelectionRequestEvent request = event.xselectionrequest;
            if (request.selection == manager) {
                if (request.target == saveTargets) {
                    std::string text;
                    if (fetchText(text)) {
                        saved = text;
                        XSetSelectionOwner(display, clipboard, window, CurrentTime);
                        holding = XGetSelectionOwner(display, clipboard) == window;
                        std::printf("saved %zu bytes\n", saved.size());
                        std::fflush(stdout);
                    }
                    reply(request, request.property == None ? saveTargets : request.property);
                } else {
                    reply(request, None);
                }
            } else if (request.selection == clipboard && holding) {
                serveClipboard(request);
            } else {
                reply(request, None);
            }
        }
    }
}
