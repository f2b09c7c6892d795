// SPDX-License-Identifier: GPL-3.0-or-later
// e2e_drop_files WINDOW X Y PATH...: drops files onto an X11 window the way a file manager does,
// through the XDND protocol: the paths travel as a text/uri-list (each path's bytes
// percent-encoded, so any byte string survives), offered at the point X,Y of the window (window
// coordinates, in pixels). WINDOW is a window id in decimal or 0x-prefixed hexadecimal, as
// xdotool prints it.
// Exit status: 0 when the window took the drop, 1 when it refused it or did not answer within ten
// seconds, 2 on a usage error.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr long kXdndVersion = 5;

struct Atoms {
    Atom aware, selection, enter, position, status, drop, finished, actionCopy, uriList;
};

Atoms InternAtoms(Display* display) {
    auto atom = [display](const char* name) { return XInternAtom(display, name, False); };
    return {atom("XdndAware"),    atom("XdndSelection"),  atom("XdndEnter"),
            atom("XdndPosition"), atom("XdndStatus"),     atom("XdndDrop"),
            atom("XdndFinished"), atom("XdndActionCopy"), atom("text/uri-list")};
}

// file:// followed by the path with every byte outside the unreserved set and "/" encoded.
std::string FileUri(const std::string& path) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const unsigned char byte : path) {
        const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                           byte == '_' || byte == '~' || byte == '/';
        if (plain) {
            uri += static_cast<char>(byte);
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return uri;
}

void SendMessage(Display* display, Window target, Atom type, long l0, long l1, long l2, long l3,
                 long l4) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = l0;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

// Waits up to the deadline for the next event; false when none came.
bool NextEvent(Display* display, XEvent& event, std::chrono::steady_clock::time_point deadline) {
    while (XPending(display) == 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
        poll(&descriptor, 1, static_cast<int>(left.count()));
    }
    XNextEvent(display, &event);
    return true;
}

// Answers a request for the dragged data with the uri list.
void AnswerSelectionRequest(Display* display, const XSelectionRequestEvent& request,
                            const Atoms& atoms, const std::string& uriList) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    if (request.target == atoms.uriList && request.property != None) {
        XChangeProperty(display, request.requestor, request.property, atoms.uriList, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(uriList.data()),
                        static_cast<int>(uriList.size()));
        reply.xselection.property = request.property;
    }
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XFlush(display);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "Usage: %s WINDOW X Y PATH...\n", argv[0]);
        return 2;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long target = std::strtoul(argv[1], &end, 0);
    if (errno != 0 || end == argv[1] || *end != '\0' || target == 0) {
        std::fprintf(stderr, "e2e_drop_files: not a window id: %s\n", argv[1]);
        return 2;
    }
    const int x = std::atoi(argv[2]);
    const int y = std::atoi(argv[3]);
    std::string uriList;
    for (int i = 4; i < argc; ++i) uriList += FileUri(argv[i]) + "\r\n";

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "e2e_drop_files: cannot open the display\n");
        return 1;
    }
    const Atoms atoms = InternAtoms(display);
    const Window root = DefaultRootWindow(display);
    // The drag's source: an unmapped window of this program that owns the drag selection.
    const Window source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, atoms.selection, source, CurrentTime);

    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, static_cast<Window>(target), root, x, y, &rootX, &rootY, &child);
    const long sourceId = static_cast<long>(source);
    SendMessage(display, target, atoms.enter, sourceId, kXdndVersion << 24,
                static_cast<long>(atoms.uriList), None, None);
    SendMessage(display, target, atoms.position, sourceId, 0, (rootX << 16) | (rootY & 0xFFFF),
                CurrentTime, static_cast<long>(atoms.actionCopy));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool dropped = false;
    XEvent event;
    while (NextEvent(display, event, deadline)) {
        if (event.type == SelectionRequest) {
            AnswerSelectionRequest(display, event.xselectionrequest, atoms, uriList);
        } else if (event.type == ClientMessage && event.xclient.message_type == atoms.status) {
            if (dropped) continue;
            if ((event.xclient.data.l[1] & 1) == 0) {
                std::fprintf(stderr, "e2e_drop_files: the window refuses the drop\n");
                SendMessage(display, target, XInternAtom(display, "XdndLeave", False), sourceId, 0,
                            0, 0, 0);
                break;
            }
            SendMessage(display, target, atoms.drop, sourceId, 0, CurrentTime, 0, 0);
            dropped = true;
        } else if (event.type == ClientMessage && event.xclient.message_type == atoms.finished) {
            const bool accepted = (event.xclient.data.l[1] & 1) != 0;
            XCloseDisplay(display);
            return accepted ? 0 : 1;
        }
    }
    if (!dropped) std::fprintf(stderr, "e2e_drop_files: no answer from the window\n");
    XCloseDisplay(display);
    return 1;
}
