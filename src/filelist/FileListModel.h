// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file list itself: its rows, in order, and the item model through which the window shows
// them. A row holds a stable id, the file's full path as the bytes the file system gave, whatever
// their encoding, and its bitrate in kbps (none for a dropped row). The paths lie packed in one
// arena; the texts a view shows ("128 kbps", the path decoded) are formed when it asks for them.
// Rows are counted from 0 here. Every reader and writer of the list goes through this class:
// admission, the folder add, drops, removal, reordering and the Reduce run.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

class FileListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    // A row's id: unique within one list, never reused, kept by its file while rows are exchanged,
    // removed or added around it; 0 is no row.
    using RowId = std::uint64_t;

    static constexpr int kPathColumn = 0;     // "MP3 File(s)"
    static constexpr int kBitrateColumn = 1;  // "Bitrate"

    explicit FileListModel(QObject* parent = nullptr);
    ~FileListModel() override;

    // A file that passed admission, its path as the file system's bytes, with its bitrate in
    // whole kbps (never INT32_MIN), as a new last row; its id.
    RowId AppendAdmitted(const QByteArray& btPath, int32_t lngKbps);
    // A dropped path (bytes), taken unchecked and without a bitrate, as a new last row; its id.
    RowId AppendDropped(const QByteArray& btPath);

    // Appends made while a Batch lives reach the list at once but are announced to views in one
    // step when the last Batch ends (or before anything else changes the list, or on
    // ShowNewRows): a view pays for one insertion, not one a row.
    class Batch {
      public:
        explicit Batch(FileListModel& list) : list(list) { ++list.lngBatches; }
        ~Batch() {
            if (--list.lngBatches == 0) list.ShowNewRows();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

      private:
        FileListModel& list;
    };
    // Announces to views the rows appended and not yet announced.
    void ShowNewRows();

    int RowCount() const { return static_cast<int>(rows.size()); }
    // The full path in lngRow as the file system's bytes, which is what names the file (empty
    // when there is no such row).
    QByteArray PathBytesAt(int lngRow) const;
    // The same path as text, for people: decoded as UTF-8, U+FFFD for bytes that are not
    // (PathText); "" when there is no such row.
    QString PathAt(int lngRow) const;
    // The row's tooltip: its path as text, and for a name that is not UTF-8 a second line with
    // the bytes written out (EscapedPath), "/m/Caf\xE9 del Mar.mp3".
    QString ToolTipAt(int lngRow) const;
    // The bitrate in lngRow, none for a dropped row or no such row.
    std::optional<int32_t> KbpsAt(int lngRow) const;
    // The bitrate text in lngRow: "128 kbps", "" for a dropped row or no such row.
    QString BitrateAt(int lngRow) const;
    // How a bitrate of lngKbps is shown: "128 kbps".
    static QString KbpsText(int32_t lngKbps);
    // Whether two rows hold the same path, byte for byte (false when either does not exist).
    bool SamePath(int lngRowA, int lngRowB) const;

    // The id of the file in lngRow (0 when there is no such row), and the row now holding the
    // file with id lngId (-1 once it was removed).
    RowId IdAt(int lngRow) const;
    int RowOf(RowId lngId) const;

    // The ids of all rows, and all paths as text, top to bottom.
    QList<RowId> RowIds() const;
    QStringList Paths() const;

    // The files in the two rows trade places: each row takes the other's path, bitrate and id. The
    // rows themselves stay, and so does whatever a view keeps of them (its selection).
    void ExchangeRows(int lngRowA, int lngRowB);
    // Takes lngRow out of the list; the rows after it move up one.
    void RemoveRow(int lngRow);
    void Clear();

    // The item model: two columns, one row per file, no children.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    // One row: 24 bytes, the path's bytes in the arena.
    struct Row {
        RowId lngId;
        std::uint64_t lngStart;  // where the path begins in the arena
        std::uint32_t lngBytes;  // its length
        int32_t lngKbps;         // kNoKbps for a dropped row
    };
    static constexpr int32_t kNoKbps = INT32_MIN;

    RowId Append(const QByteArray& btPath, int32_t lngKbps);
    QByteArray PathOfRow(const Row& row) const;
    bool ValidRow(int lngRow) const { return lngRow >= 0 && lngRow < RowCount(); }
    // Packs the arena anew in row order once removed paths make up most of it.
    void CompactArena();

    std::vector<Row> rows;
    std::vector<char> arena;
    std::size_t lngUnusedBytes = 0;  // arena bytes of removed rows
    int lngShown = 0;                // the rows views know of: the first lngShown
    int lngBatches = 0;              // Batches alive
    RowId lngNextId = 1;
};
