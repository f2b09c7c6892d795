// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pointer images from ".cur" and ".ico" files, as the window and the list use them.

#include <QCursor>
#include <QString>
#include <optional>

#include "common/Pointer.h"

class QWidget;

// Loads the pointer image at strPath. A cursor file (".cur") keeps the hotspot stored in it; an
// icon file's hotspot is its centre. Empty when the file is missing or cannot be read as an image.
std::optional<QCursor> LoadPointerImage(const QString& strPath);

// Shows pointer over widget: the arrow, the hourglass, the custom image curMouseIcon (the hand
// when blnHasMouseIcon is false), or for every other value the pointer widget inherits.
void ShowPointerOn(QWidget& widget, Pointer::Value pointer, bool blnHasMouseIcon,
                   const QCursor& curMouseIcon);
