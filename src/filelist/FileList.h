// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file list: the rows of the window's list control, and the one place that reads or changes
// them. Column 0 holds a file's full path, column 1 its bitrate text ("128 kbps"; empty for
// dropped rows). Rows are counted from 0 here. Every row added through this class carries an id
// of its own (kept in the row's item) that stays with its file while rows are exchanged, removed
// or added around it.

#include <QHash>
#include <QMetaObject>
#include <QString>
#include <cstdint>

class QTreeWidget;
class QTreeWidgetItem;

class FileList {
  public:
    // A row's id: unique within one list, never reused; 0 is no row.
    using RowId = std::uint64_t;

    static constexpr int kPathColumn = 0;
    static constexpr int kBitrateColumn = 1;

    // Works on the rows of view, which outlives this list.
    explicit FileList(QTreeWidget& view);
    ~FileList();
    FileList(const FileList&) = delete;
    FileList& operator=(const FileList&) = delete;

    // A file that passed admission, with its bitrate text, as a new last row; its id.
    RowId AppendAdmitted(const QString& strPath, const QString& strBitrate);
    // A dropped path, taken unchecked and without a bitrate, as a new last row; its id.
    RowId AppendDropped(const QString& strPath);

    int RowCount() const;
    // The full path in lngRow ("" when there is no such row).
    QString PathAt(int lngRow) const;
    // The bitrate text in lngRow ("" for a dropped row or no such row).
    QString BitrateAt(int lngRow) const;

    // The id of the file in lngRow (0 when there is no such row).
    RowId IdAt(int lngRow) const;
    // The row now showing the file with id lngId, or -1 when it was removed. The first call builds
    // an index of the rows (one pass); later calls, and the changes made meanwhile, keep it.
    int RowOf(RowId lngId) const;

    // The control's item for lngRow (nullptr when there is no such row), and the row of an item
    // (-1 for none); for the window's handlers, which get items from the control.
    QTreeWidgetItem* ItemAt(int lngRow) const;
    int RowOfItem(const QTreeWidgetItem* item) const;

    // The files in the two rows trade places: each row takes the other's path, bitrate text and
    // id. The rows themselves (and so the selection) stay where they are.
    void ExchangeRows(int lngRowA, int lngRowB);
    // Takes lngRow out of the list; the rows after it move up one.
    void RemoveRow(int lngRow);
    void Clear();

  private:
    RowId Append(const QString& strPath, const QString& strBitrate);
    void Forget(int lngFirst, int lngLast);

    QTreeWidget& view;
    RowId lngNextId = 1;
    // Where each file is shown, so that RowOf needs no search of the rows. Built on the first
    // RowOf only: a list that is only filled and shown (100,000 rows, say) carries none.
    mutable QHash<RowId, QTreeWidgetItem*> items;
    mutable bool blnIndexed = false;
    QMetaObject::Connection removing;
    QMetaObject::Connection resetting;
};
