// SPDX-License-Identifier: GPL-3.0-or-later
// e2e_close_window WINDOW: asks an X11 top-level window to close, the way a window manager does
// when the window's close button is pressed: a WM_PROTOCOLS client message carrying
// WM_DELETE_WINDOW. The end-to-end test runs without a window manager, so it sends this itself.
// WINDOW is a window id in decimal or 0x-prefixed hexadecimal, as xdotool prints it.
// Exit status: 0 when the request was delivered, 1 when it could not be, 2 on a usage error.
#include <X11/Xlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

bool blnXError = false;

int RecordXError(Display*, XErrorEvent*) {
    blnXError = true;
    return 0;
}

// True when the window lists WM_DELETE_WINDOW among its WM_PROTOCOLS.
bool TakesDeleteRequests(Display* display, Window window, Atom atmDelete) {
    Atom* atoms = nullptr;
    int lngCount = 0;
    if (XGetWMProtocols(display, window, &atoms, &lngCount) == 0) return false;
    bool blnFound = false;
    for (int i = 0; i < lngCount; ++i) blnFound = blnFound || atoms[i] == atmDelete;
    XFree(atoms);
    return blnFound;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: e2e_close_window WINDOW\n");
        return 2;
    }
    char* strEnd = nullptr;
    errno = 0;
    const unsigned long lngWindow = std::strtoul(argv[1], &strEnd, 0);
    if (errno != 0 || strEnd == argv[1] || *strEnd != '\0' || lngWindow == 0) {
        std::fprintf(stderr, "e2e_close_window: not a window id: %s\n", argv[1]);
        return 2;
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "e2e_close_window: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(RecordXError);
    const Window window = static_cast<Window>(lngWindow);
    const Atom atmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom atmDelete = XInternAtom(display, "WM_DELETE_WINDOW", False);

    const bool blnTakes = TakesDeleteRequests(display, window, atmDelete);
    XSync(display, False);
    if (blnXError || !blnTakes) {
        std::fprintf(stderr, "e2e_close_window: window %s %s\n", argv[1],
                     blnXError ? "does not exist" : "does not take WM_DELETE_WINDOW");
        XCloseDisplay(display);
        return 1;
    }

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atmProtocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(atmDelete);
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    const bool blnOk = sent != 0 && !blnXError;
    XCloseDisplay(display);
    if (!blnOk) {
        std::fprintf(stderr, "e2e_close_window: the close request to %s was not delivered\n",
                     argv[1]);
        return 1;
    }
    return 0;
}
