// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the window goes: centred on its screen by its outer frame, and off the screen at the
// program's end. On X11 the frame is what the
// window manager announces for the window (_NET_FRAME_EXTENTS), asked for before the window is
// first shown so that it never jumps; elsewhere the window has no frame the program can know.

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// The top-left corner of a frame of sizFrame centred on rctScreen: (screen width - frame width)
// / 2 from the screen's left, the same downward, halves rounded to even.
QPoint CentredFramePosition(const QRect& rctScreen, const QSize& sizFrame);

// The frame extents the X11 window manager announces for window, read before it is first shown
// (this creates its native window); none on other platforms, without a window manager that
// announces them, or when it does not answer within a fifth of a second.
QMargins AnnouncedFrameExtents(QWidget& window);

// The frame extents in a _NET_FRAME_EXTENTS value: left, right, top, bottom.
QMargins FrameExtentsFromCardinals(const unsigned int* values, int lngCount);

// Hides window and, on X11, sends the request to the display at once: the window leaves the
// screen even though no event loop runs again (the program's end, waiting for an encoder).
void TakeOffScreenNow(QWidget& window);
