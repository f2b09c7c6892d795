// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How wide a message box's text should be so that the window manager can show its whole title and
// a path fits on one line, and where a long path may break: at its separators, not inside a name.

#include <QString>
#include <QStringList>

class QFontMetrics;

// Room for the window manager's title bar beyond the title's own text: the icon, the buttons and
// the margins.
inline constexpr int kTitleBarChrome = 140;

// strText with a zero-width space after each "/" that is followed by more of a name, and in lines
// that are paths (they begin with "/") no-break spaces for spaces, so that a path wrapped onto
// several lines breaks only after a separator.
QString WithPathBreaks(const QString& strText);

// The least width in pixels for a box's text column: the title's width in fmTitle plus
// kTitleBarChrome, and the widest line of strTexts in fmText, this one at most lngMaxWidth.
int MessageTextWidth(const QFontMetrics& fmText, const QFontMetrics& fmTitle,
                     const QString& strTitle, const QStringList& strTexts, int lngMaxWidth);
