#include "filelist/FileList.h"

#include <QTreeWidget>
#include <QTreeWidgetItem>

FileList::FileList(QTreeWidget& view) : view(view) {
    // Rows can also leave through the control itself (its clear(), or a removal elsewhere); the
    // ids of their files are dropped with them.
    removing = QObject::connect(view.model(), &QAbstractItemModel::rowsAboutToBeRemoved,
                                [this](const QModelIndex& parent, int lngFirst, int lngLast) {
                                    if (!parent.isValid()) Forget(lngFirst, lngLast);
                                });
    resetting = QObject::connect(view.model(), &QAbstractItemModel::modelAboutToBeReset,
                                 [this] { items.clear(); });
}

FileList::~FileList() {
    QObject::disconnect(removing);
    QObject::disconnect(resetting);
}

FileList::RowId FileList::Append(const QString& strPath, const QString& strBitrate) {
    const RowId lngId = lngNextId++;
    auto* item = new QTreeWidgetItem;
    item->setText(kPathColumn, strPath);
    item->setText(kBitrateColumn, strBitrate);
    item->setData(kPathColumn, kRowIdRole, QVariant::fromValue<quint64>(lngId));
    items.insert(lngId, item);
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
    const QTreeWidgetItem* item = ItemAt(lngRow);
    return item ? item->data(kPathColumn, kRowIdRole).value<quint64>() : 0;
}

int FileList::RowOf(RowId lngId) const {
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
    const QVariant varA = itmA->data(kPathColumn, kRowIdRole);
    const QVariant varB = itmB->data(kPathColumn, kRowIdRole);
    itmA->setData(kPathColumn, kRowIdRole, varB);
    itmB->setData(kPathColumn, kRowIdRole, varA);
    if (const RowId lngA = varA.value<quint64>()) items.insert(lngA, itmB);
    if (const RowId lngB = varB.value<quint64>()) items.insert(lngB, itmA);
}

void FileList::RemoveRow(int lngRow) {
    if (lngRow < 0 || lngRow >= view.topLevelItemCount()) return;
    delete view.takeTopLevelItem(lngRow);
}

void FileList::Clear() { view.clear(); }

void FileList::Forget(int lngFirst, int lngLast) {
    for (int lngRow = lngFirst; lngRow <= lngLast; ++lngRow) {
        if (const RowId lngId = IdAt(lngRow)) items.remove(lngId);
    }
}
