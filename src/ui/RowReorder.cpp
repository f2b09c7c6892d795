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
    // Below the last row the viewport shows empty space: the last row shown is the list's last.
    VisibleRows shown{first.isValid() ? first.row() + 1 : 1,
                      last.isValid() ? last.row() + 1 : model->rowCount()};
    // A row cut off at an edge lies beyond the first or last row wholly shown, so the pointer in
    // it scrolls too; unless the viewport shows no row wholly.
    auto wholly = [&](int lngRow) {
        const QRect rctRow = list.visualRect(model->index(lngRow - 1, 0));
        return rctRow.top() >= rctShown.top() && rctRow.bottom() <= rctShown.bottom();
    };
    if (shown.lngFirst < shown.lngLast && !wholly(shown.lngFirst)) ++shown.lngFirst;
    if (shown.lngLast > shown.lngFirst && !wholly(shown.lngLast)) --shown.lngLast;
    return shown;
}

int AutoScrollRow(int lngRow, int lngRows, VisibleRows shown) {
    if (lngRow <= shown.lngFirst && lngRow > 1) return lngRow - 1;
    if (lngRow >= shown.lngLast && lngRow < lngRows) return lngRow + 1;
    return 0;
}
