// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/WindowPlacement.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "analysis/Rounding.h"

namespace {

constexpr int kAnswerMilliseconds = 200;  // how long the window manager gets to answer

// xcb replies are malloc'ed.
struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// Whether the window manager of root lists atom among what it supports (_NET_SUPPORTED).
bool Supports(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t atom) {
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, root, Atom(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 0,
                         4096),
        nullptr));
    if (!reply || reply->format != 32) return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int lngCount = xcb_get_property_value_length(reply.get()) / 4;
    for (int i = 0; i < lngCount; ++i) {
        if (atoms[i] == atom) return true;
    }
    return false;
}

std::optional<QMargins> ReadExtents(xcb_connection_t* connection, xcb_window_t window,
                                    xcb_atom_t atom) {
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, atom, XCB_ATOM_CARDINAL, 0, 4),
        nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 16)
        return std::nullopt;
    return FrameExtentsFromCardinals(
        static_cast<const unsigned int*>(xcb_get_property_value(reply.get())), 4);
}

}  // namespace

QPoint CentredFramePosition(const QRect& rctScreen, const QSize& sizFrame) {
    return {rctScreen.left() +
                static_cast<int>(RoundHalfEven((rctScreen.width() - sizFrame.width()) / 2.0)),
            rctScreen.top() +
                static_cast<int>(RoundHalfEven((rctScreen.height() - sizFrame.height()) / 2.0))};
}

QMargins FrameExtentsFromCardinals(const unsigned int* values, int lngCount) {
    if (values == nullptr || lngCount != 4) return {};
    // A frame wider than any screen is no frame a window manager would draw.
    for (int i = 0; i < 4; ++i) {
        if (values[i] > 10000) return {};
    }
    return {static_cast<int>(values[0]), static_cast<int>(values[2]), static_cast<int>(values[1]),
            static_cast<int>(values[3])};
}

QMargins AnnouncedFrameExtents(QWidget& window) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return {};
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (connection == nullptr) return {};

    const auto xWindow = static_cast<xcb_window_t>(window.winId());
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, xWindow), nullptr));
    if (!geometry) return {};
    const xcb_atom_t request = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = Atom(connection, "_NET_FRAME_EXTENTS");
    if (request == XCB_ATOM_NONE || extents == XCB_ATOM_NONE ||
        !Supports(connection, geometry->root, request))
        return {};

    // The window manager answers the request by setting the property on the window.
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = xWindow;
    message.type = request;
    xcb_send_event(connection, 0, geometry->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    QElapsedTimer timer;
    timer.start();
    do {
        if (const std::optional<QMargins> frame = ReadExtents(connection, xWindow, extents))
            return *frame;
        QThread::msleep(5);
    } while (timer.elapsed() < kAnswerMilliseconds);
    return {};
}

void TakeOffScreenNow(QWidget& window) {
    window.hide();
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr) xcb_flush(connection);
}
