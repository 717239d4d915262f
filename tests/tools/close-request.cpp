// close-request WINDOW: asks an X window to close as a window manager's close box does, for the
// end-to-end tests, whose private display has no window manager: a WM_PROTOCOLS client message
// with WM_DELETE_WINDOW (ICCCM 4.2.8.1) sent to the window (its id, decimal or 0x hexadecimal, as
// xdotool prints it). The window is not destroyed: what follows is the program's to decide.
// Exits 1 when the display cannot be opened, or when the window does not take WM_DELETE_WINDOW
// (it is not in its WM_PROTOCOLS), 2 on a wrong argument.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    char* end = nullptr;
    const unsigned long id = argc == 2 ? std::strtoul(argv[1], &end, 0) : 0;
    if (argc != 2 || id == 0 || *end) {
        std::fprintf(stderr, "usage: close-request WINDOW\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "close-request: cannot open the display\n");
        return 1;
    }
    const Window window = id;
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Atom* taken = nullptr;
    int count = 0;
    bool takesDelete = false;
    if (XGetWMProtocols(display, window, &taken, &count)) {
        for (int i = 0; i < count; ++i) takesDelete = takesDelete || taken[i] == deleteWindow;
        XFree(taken);
    }
    if (!takesDelete) {
        std::fprintf(stderr, "close-request: window 0x%lx does not take WM_DELETE_WINDOW\n", id);
        XCloseDisplay(display);
        return 1;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
