// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reordering the file list by dragging a row: the row under the pointer, and which row to bring
// into view while the pointer is in the first or the last row the list shows. The exchange of two
// rows' files is FileListModel::ExchangeRows.

#include <QModelIndex>

class QTreeView;

// The row at (x, y) in the list's viewport coordinates (its path column), or an invalid index
// over empty list space and anywhere outside the viewport (the pointer may leave the list while
// the button is held).
QModelIndex RowAt(const QTreeView& list, int x, int y);

// The first and the last row that the list's viewport shows wholly, counted from 1 (the rows at
// its edges when it shows none wholly); both 0 for an empty list.
struct VisibleRows {
    int lngFirst = 0;
    int lngLast = 0;
};
VisibleRows VisibleRowsOf(const QTreeView& list);

// After the dragged file moved into row lngRow (counted from 1, the row under the pointer) of a
// list of lngRows rows that shows the rows shown: the row to scroll into view, counted from 1, or
// 0 for none. lngRow - 1 when the pointer is in the first row shown and there is a row before it;
// else lngRow + 1 when it is in the last row shown and there is a row after it.
int AutoScrollRow(int lngRow, int lngRows, VisibleRows shown);
