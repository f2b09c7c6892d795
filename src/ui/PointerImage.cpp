// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PointerImage.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QWidget>

namespace {

uint16_t Word(const QByteArray& btData, int lngOffset) {
    return static_cast<uint16_t>(static_cast<uint8_t>(btData[lngOffset]) |
                                 (static_cast<uint8_t>(btData[lngOffset + 1]) << 8));
}

}  // namespace

std::optional<QCursor> LoadPointerImage(const QString& strPath) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // Pointer files are small; anything beyond a few megabytes is not one.
    if (file.size() > 4 * 1024 * 1024) return std::nullopt;
    const QByteArray btData = file.readAll();

    // Both formats start with a 6-byte directory header (reserved 0, type 1 icon / 2 cursor,
    // count) and 16-byte entries; a cursor entry holds the hotspot where an icon holds planes
    // and bit count.
    if (btData.size() < 22 || Word(btData, 0) != 0) return std::nullopt;
    const uint16_t intType = Word(btData, 2);
    if ((intType != 1 && intType != 2) || Word(btData, 4) == 0) return std::nullopt;

    QBuffer buffer;
    buffer.setData(btData);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, intType == 2 ? "cur" : "ico");
    QImage image = reader.read();
    if (image.isNull() && intType == 2) {
        // The icon reader takes cursor files once the type word says "icon".
        QByteArray btIcon = btData;
        btIcon[2] = 1;
        QBuffer iconBuffer;
        iconBuffer.setData(btIcon);
        iconBuffer.open(QIODevice::ReadOnly);
        QImageReader iconReader(&iconBuffer, "ico");
        image = iconReader.read();
    }
    if (image.isNull()) return std::nullopt;

    int lngHotX = image.width() / 2;
    int lngHotY = image.height() / 2;
    if (intType == 2) {
        lngHotX = qBound(0, static_cast<int>(Word(btData, 10)), image.width() - 1);
        lngHotY = qBound(0, static_cast<int>(Word(btData, 12)), image.height() - 1);
    }
    return QCursor(QPixmap::fromImage(image), lngHotX, lngHotY);
}

void ShowPointerOn(QWidget& widget, Pointer::Value pointer, bool blnHasMouseIcon,
                   const QCursor& curMouseIcon) {
    switch (pointer) {
        case Pointer::Arrow:
            widget.setCursor(Qt::ArrowCursor);
            break;
        case Pointer::Hourglass:
            widget.setCursor(Qt::WaitCursor);
            break;
        case Pointer::Custom:
            widget.setCursor(blnHasMouseIcon ? curMouseIcon : QCursor(Qt::PointingHandCursor));
            break;
        default:
            widget.unsetCursor();
            break;
    }
}
