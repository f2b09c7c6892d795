// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RowReorder.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>

QTreeWidgetItem* RowAt(const QTreeWidget& list, int x, int y) {
    // Outside the viewport the list's own hit test would still answer with rows scrolled out of
    // sight; there is no row under the pointer there.
    if (!list.viewport()->rect().contains(x, y)) return nullptr;
    return list.itemAt(x, y);
}

int AutoScrollRow(int lngRow, int lngRows, int lngScreenY) {
    if (lngScreenY < kScrollUpBelowScreenY) return lngRow > 1 ? lngRow - 1 : 0;
    if (lngScreenY >= kScrollDownFromScreenY) return lngRow < lngRows ? lngRow + 1 : 0;
    return 0;
}
