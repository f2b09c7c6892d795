// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reordering the file list by dragging a row: the row under the pointer, and which row to bring
// into view while the pointer is near the top or the bottom of the screen. The exchange of two
// rows' files is FileList::ExchangeRows.

class QTreeWidget;
class QTreeWidgetItem;

// The row at (x, y) in the list's viewport coordinates, or nullptr over empty list space and
// anywhere outside the viewport (the pointer may leave the list while the button is held).
QTreeWidgetItem* RowAt(const QTreeWidget& list, int x, int y);

// Screen rows, in pixels from the top edge, that start the auto-scroll: above the first the row
// before the dragged file is brought into view, from the second on the row after it.
inline constexpr int kScrollUpBelowScreenY = 305;
inline constexpr int kScrollDownFromScreenY = 365;

// After the dragged file moved into row lngRow (counted from 1) of a list of lngRows rows, with
// the pointer at screen row lngScreenY: the row to scroll into view, counted from 1, or 0 for
// none. lngRow - 1 when lngScreenY < 305 and there is a row before; lngRow + 1 when
// lngScreenY >= 365 and that row exists.
int AutoScrollRow(int lngRow, int lngRows, int lngScreenY);
