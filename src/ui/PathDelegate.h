// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Paths in the list's path column, shortened to the column's width in the middle at a folder
// separator, so that the file name stays in view: "/home/ana/Music/…/03 Open Field.mp3". Only
// what is painted is shortened; the row's text stays the full path.

#include <QStyledItemDelegate>

class QFontMetrics;

// strPath as it fits into lngWidth pixels: whole when it fits; else as many leading folders as fit,
// "…" and the file name ("/home/ana/…/03 Song.mp3"); else "…" and the file name; else the file
// name itself shortened in its middle.
QString ElidePath(const QString& strPath, const QFontMetrics& fm, int lngWidth);

class PathDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
