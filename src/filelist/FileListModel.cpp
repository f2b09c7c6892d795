// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/FileListModel.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "filelist/FileNames.h"

static_assert(sizeof(FileListModel::RowId) == 8);

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

FileListModel::~FileListModel() = default;

FileListModel::RowId FileListModel::Append(const QByteArray& btPath, int32_t lngKbps) {
    // The path's bytes as the file system gave them, whatever their encoding.
    const Row row{lngNextId++, arena.size(), static_cast<std::uint32_t>(btPath.size()), lngKbps};
    arena.insert(arena.end(), btPath.cbegin(), btPath.cend());
    rows.push_back(row);
    if (lngBatches == 0) ShowNewRows();
    return row.lngId;
}

void FileListModel::ShowNewRows() {
    if (lngShown == RowCount()) return;
    beginInsertRows(QModelIndex(), lngShown, RowCount() - 1);
    lngShown = RowCount();
    endInsertRows();
}

FileListModel::RowId FileListModel::AppendAdmitted(const QByteArray& btPath, int32_t lngKbps) {
    return Append(btPath, lngKbps);
}

FileListModel::RowId FileListModel::AppendDropped(const QByteArray& btPath) {
    return Append(btPath, kNoKbps);
}

QByteArray FileListModel::PathOfRow(const Row& row) const {
    return QByteArray(arena.data() + row.lngStart, static_cast<qsizetype>(row.lngBytes));
}

QByteArray FileListModel::PathBytesAt(int lngRow) const {
    return ValidRow(lngRow) ? PathOfRow(rows[static_cast<std::size_t>(lngRow)]) : QByteArray();
}

QString FileListModel::PathAt(int lngRow) const { return PathText(PathBytesAt(lngRow)); }

std::optional<int32_t> FileListModel::KbpsAt(int lngRow) const {
    if (!ValidRow(lngRow)) return std::nullopt;
    const int32_t lngKbps = rows[static_cast<std::size_t>(lngRow)].lngKbps;
    if (lngKbps == kNoKbps) return std::nullopt;
    return lngKbps;
}

QString FileListModel::BitrateAt(int lngRow) const {
    const std::optional<int32_t> lngKbps = KbpsAt(lngRow);
    return lngKbps ? KbpsText(*lngKbps) : QString();
}

QString FileListModel::KbpsText(int32_t lngKbps) {
    return QString::number(lngKbps) + QStringLiteral(" kbps");
}

bool FileListModel::SamePath(int lngRowA, int lngRowB) const {
    if (!ValidRow(lngRowA) || !ValidRow(lngRowB)) return false;
    const Row& rowA = rows[static_cast<std::size_t>(lngRowA)];
    const Row& rowB = rows[static_cast<std::size_t>(lngRowB)];
    // By the bytes: two names that show as the same text can be two files.
    return rowA.lngBytes == rowB.lngBytes &&
           std::memcmp(arena.data() + rowA.lngStart, arena.data() + rowB.lngStart, rowA.lngBytes) ==
               0;
}

FileListModel::RowId FileListModel::IdAt(int lngRow) const {
    return ValidRow(lngRow) ? rows[static_cast<std::size_t>(lngRow)].lngId : 0;
}

int FileListModel::RowOf(RowId lngId) const {
    // A pass over 24-byte rows: a few hundred microseconds at 100,000 rows, asked once a Reduce
    // step.
    if (lngId == 0) return -1;
    const auto found = std::find_if(rows.cbegin(), rows.cend(),
                                    [lngId](const Row& row) { return row.lngId == lngId; });
    return found == rows.cend() ? -1 : static_cast<int>(found - rows.cbegin());
}

QList<FileListModel::RowId> FileListModel::RowIds() const {
    QList<RowId> ids;
    ids.reserve(static_cast<qsizetype>(rows.size()));
    for (const Row& row : rows) ids << row.lngId;
    return ids;
}

QStringList FileListModel::Paths() const {
    QStringList strPaths;
    strPaths.reserve(static_cast<qsizetype>(rows.size()));
    for (const Row& row : rows) strPaths << PathText(PathOfRow(row));
    return strPaths;
}

void FileListModel::ExchangeRows(int lngRowA, int lngRowB) {
    if (!ValidRow(lngRowA) || !ValidRow(lngRowB) || lngRowA == lngRowB) return;
    ShowNewRows();
    std::swap(rows[static_cast<std::size_t>(lngRowA)], rows[static_cast<std::size_t>(lngRowB)]);
    for (const int lngRow : {lngRowA, lngRowB})
        emit dataChanged(index(lngRow, kPathColumn), index(lngRow, kBitrateColumn));
}

void FileListModel::RemoveRow(int lngRow) {
    if (!ValidRow(lngRow)) return;
    ShowNewRows();
    beginRemoveRows(QModelIndex(), lngRow, lngRow);
    const auto at = rows.begin() + lngRow;
    lngUnusedBytes += at->lngBytes;
    rows.erase(at);
    --lngShown;
    if (lngUnusedBytes > 4096 && lngUnusedBytes > arena.size() / 2) CompactArena();
    endRemoveRows();
}

void FileListModel::Clear() {
    beginResetModel();
    rows = {};
    arena = {};
    lngUnusedBytes = 0;
    lngShown = 0;
    endResetModel();
}

void FileListModel::CompactArena() {
    std::vector<char> packed;
    packed.reserve(arena.size() - lngUnusedBytes);
    for (Row& row : rows) {
        const auto* bytes = arena.data() + row.lngStart;
        row.lngStart = packed.size();
        packed.insert(packed.end(), bytes, bytes + row.lngBytes);
    }
    arena = std::move(packed);
    lngUnusedBytes = 0;
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : lngShown;
}

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.parent().isValid() || index.row() >= lngShown) return {};
    switch (role) {
        case Qt::DisplayRole:
            return index.column() == kPathColumn ? PathAt(index.row()) : BitrateAt(index.row());
        case Qt::ToolTipRole:
            return ToolTipAt(index.row());
        default:
            return {};
    }
}

QString FileListModel::ToolTipAt(int lngRow) const {
    // The full path, however the view shortens it; for a name that is not UTF-8 also its bytes,
    // which tell it from the names that show as the same text.
    const QByteArray btPath = PathBytesAt(lngRow);
    if (IsUtf8Path(btPath)) return PathText(btPath);
    return PathText(btPath) + u'\n' + EscapedPath(btPath);
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == kPathColumn) return QStringLiteral("MP3 File(s)");
    if (section == kBitrateColumn) return QStringLiteral("Bitrate");
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
