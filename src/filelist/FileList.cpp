// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/FileList.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <utility>

namespace {

// A row added through FileList: a plain item that also holds its file's id.
class FileListItem : public QTreeWidgetItem {
  public:
    explicit FileListItem(FileList::RowId lngId) : QTreeWidgetItem(UserType), lngId(lngId) {}
    FileList::RowId lngId;
};

FileListItem* AsFileListItem(QTreeWidgetItem* item) {
    return item != nullptr && item->type() == QTreeWidgetItem::UserType
               ? static_cast<FileListItem*>(item)
               : nullptr;
}

}  // namespace

FileList::FileList(QTreeWidget& view) : view(view) {
    // Rows can also leave through the control itself (its clear(), or a removal elsewhere); the
    // ids of their files are dropped with them.
    removing = QObject::connect(view.model(), &QAbstractItemModel::rowsAboutToBeRemoved,
                                [this](const QModelIndex& parent, int lngFirst, int lngLast) {
                                    if (!parent.isValid()) Forget(lngFirst, lngLast);
                                });
    resetting = QObject::connect(view.model(), &QAbstractItemModel::modelAboutToBeReset, [this] {
        items.clear();
        blnIndexed = false;
    });
}

FileList::~FileList() {
    QObject::disconnect(removing);
    QObject::disconnect(resetting);
}

FileList::RowId FileList::Append(const QString& strPath, const QString& strBitrate) {
    const RowId lngId = lngNextId++;
    auto* item = new FileListItem(lngId);
    item->setText(kPathColumn, strPath);
    item->setText(kBitrateColumn, strBitrate);
    if (blnIndexed) items.insert(lngId, item);
    view.addTopLevelItem(item);
    return lngId;
}

FileList::RowId FileList::AppendAdmitted(const QString& strPath, const QString& strBitrate) {
    return Append(strPath, strBitrate);
}

FileList::RowId FileList::AppendDropped(const QString& strPath) { return Append(strPath, {}); }

int FileList::RowCount() const { return view.topLevelItemCount(); }

QString FileList::PathAt(int lngRow) const {
    const QTreeWidgetItem* item = ItemAt(lngRow);
    return item ? item->text(kPathColumn) : QString();
}

QString FileList::BitrateAt(int lngRow) const {
    const QTreeWidgetItem* item = ItemAt(lngRow);
    return item ? item->text(kBitrateColumn) : QString();
}

FileList::RowId FileList::IdAt(int lngRow) const {
    const FileListItem* item = AsFileListItem(ItemAt(lngRow));
    return item ? item->lngId : 0;
}

int FileList::RowOf(RowId lngId) const {
    if (!blnIndexed) {
        items.clear();
        for (int lngRow = 0; lngRow < RowCount(); ++lngRow) {
            if (const RowId lngRowId = IdAt(lngRow)) items.insert(lngRowId, ItemAt(lngRow));
        }
        blnIndexed = true;
    }
    if (lngId == 0) return -1;
    const QTreeWidgetItem* item = items.value(lngId, nullptr);
    return item ? RowOfItem(item) : -1;
}

QTreeWidgetItem* FileList::ItemAt(int lngRow) const {
    if (lngRow < 0 || lngRow >= view.topLevelItemCount()) return nullptr;
    return view.topLevelItem(lngRow);
}

int FileList::RowOfItem(const QTreeWidgetItem* item) const {
    // The control finds an item's row from where it last was, without a search in the usual case.
    return item ? view.indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)) : -1;
}

void FileList::ExchangeRows(int lngRowA, int lngRowB) {
    QTreeWidgetItem* itmA = ItemAt(lngRowA);
    QTreeWidgetItem* itmB = ItemAt(lngRowB);
    if (itmA == nullptr || itmB == nullptr || itmA == itmB) return;
    for (const int lngColumn : {kPathColumn, kBitrateColumn}) {
        const QString strA = itmA->text(lngColumn);
        itmA->setText(lngColumn, itmB->text(lngColumn));
        itmB->setText(lngColumn, strA);
    }
    FileListItem* rowA = AsFileListItem(itmA);
    FileListItem* rowB = AsFileListItem(itmB);
    if (rowA == nullptr || rowB == nullptr) return;  // rows added behind the list's back
    std::swap(rowA->lngId, rowB->lngId);
    if (blnIndexed) {
        items.insert(rowA->lngId, rowA);
        items.insert(rowB->lngId, rowB);
    }
}

void FileList::RemoveRow(int lngRow) {
    if (lngRow < 0 || lngRow >= view.topLevelItemCount()) return;
    delete view.takeTopLevelItem(lngRow);
}

void FileList::Clear() { view.clear(); }

void FileList::Forget(int lngFirst, int lngLast) {
    if (!blnIndexed) return;
    for (int lngRow = lngFirst; lngRow <= lngLast; ++lngRow) {
        if (const RowId lngId = IdAt(lngRow)) items.remove(lngId);
    }
}
