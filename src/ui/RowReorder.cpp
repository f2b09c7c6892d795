// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RowReorder.h"

#include <QAbstractItemModel>
#include <QTreeView>

QModelIndex RowAt(const QTreeView& list, int x, int y) {
    // Outside the viewport the list's own hit test would still answer with rows scrolled out of
    // sight; there is no row under the pointer there.
    if (!list.viewport()->rect().contains(x, y)) return {};
    const QModelIndex index = list.indexAt(QPoint(x, y));
    return index.isValid() ? index.siblingAtColumn(0) : index;
}

VisibleRows VisibleRowsOf(const QTreeView& list) {
    const QAbstractItemModel* model = list.model();
    if (model == nullptr || model->rowCount() == 0) return {};
    const QRect rctShown = list.viewport()->rect();
    const QModelIndex first = list.indexAt(QPoint(0, rctShown.top()));
    const QModelIndex last = list.indexAt(QPoint(0, rctShown.bottom()));
    // Below the last row the viewport shows empty space: the last row is the list's last.
    return {first.isValid() ? first.row() + 1 : 1,
            last.isValid() ? last.row() + 1 : model->rowCount()};
}

int AutoScrollRow(int lngRow, int lngRows, VisibleRows shown) {
    if (lngRow <= shown.lngFirst) return lngRow > 1 ? lngRow - 1 : 0;
    if (lngRow >= shown.lngLast) return lngRow < lngRows ? lngRow + 1 : 0;
    return 0;
}
