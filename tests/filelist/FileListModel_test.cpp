// SPDX-License-Identifier: GPL-3.0-or-later
// The file list's rows: appending, reading, exchanging and removing, the ids that follow each file
// through all of it, and what a view sees of them through the item model.
#include <gtest/gtest.h>

#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <functional>
#include <string>
#include <vector>

#include "filelist/FileListModel.h"

namespace {

// Each case appends "/m/a.mp3" (admitted, 8 kbps), "/m/b.mp3" (dropped) and a path with
// non-ASCII letters whose last name is Latin-1, not UTF-8 (admitted, 24 kbps), then changes the
// list; the rows expected afterwards are given as the indexes of those three files, top to bottom.
struct Case {
    const char* strName;
    std::function<void(FileListModel&)> change;
    std::vector<int> files;
};

const Case kCases[] = {
    {"nothing changed", [](FileListModel&) {}, {0, 1, 2}},
    {"first and last exchanged", [](FileListModel& list) { list.ExchangeRows(0, 2); }, {2, 1, 0}},
    {"a row exchanged with itself",
     [](FileListModel& list) { list.ExchangeRows(1, 1); },
     {0, 1, 2}},
    {"exchange with a row past the end",
     [](FileListModel& list) { list.ExchangeRows(0, 3); },
     {0, 1, 2}},
    {"middle removed", [](FileListModel& list) { list.RemoveRow(1); }, {0, 2}},
    {"removal past the end", [](FileListModel& list) { list.RemoveRow(3); }, {0, 1, 2}},
    {"exchanged, then the first removed",
     [](FileListModel& list) {
         list.ExchangeRows(0, 1);
         list.RemoveRow(0);
     },
     {0, 2}},
    {"cleared", [](FileListModel& list) { list.Clear(); }, {}},
};

TEST(FileListModelTest, RowsAndTheirIdsFollowEachFile) {
    const QByteArray btPaths[] = {"/m/a.mp3", "/m/b.mp3", "/m/\xC3\x86r\xC3\xB8 S\xE5ng.mp3"};
    // What the list shows: the bytes decoded, U+FFFD for the one that is not UTF-8; the tooltip
    // adds that name's bytes.
    const QString strPaths[] = {"/m/a.mp3", "/m/b.mp3", QString::fromUtf8("/m/Ærø S\uFFFDng.mp3")};
    const QString strTips[] = {strPaths[0], strPaths[1],
                               strPaths[2] + QString::fromUtf8("\n/m/Ærø S\\xE5ng.mp3")};
    const QString strBitrates[] = {"8 kbps", "", "24 kbps"};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.strName);
        FileListModel list;
        const FileListModel::RowId ids[] = {list.AppendAdmitted(btPaths[0], 8),
                                            list.AppendDropped(btPaths[1]),
                                            list.AppendAdmitted(btPaths[2], 24)};
        EXPECT_TRUE(ids[0] != 0 && ids[0] != ids[1] && ids[1] != ids[2] && ids[0] != ids[2]);
        c.change(list);

        ASSERT_EQ(list.RowCount(), int(c.files.size()));
        ASSERT_EQ(list.rowCount(), list.RowCount());
        QStringList strExpected;
        for (int lngRow = 0; lngRow < list.RowCount(); ++lngRow) {
            const int lngFile = c.files[size_t(lngRow)];
            strExpected << strPaths[lngFile];
            EXPECT_EQ(list.PathBytesAt(lngRow), btPaths[lngFile]);
            EXPECT_EQ(list.PathAt(lngRow), strPaths[lngFile]);
            EXPECT_EQ(list.BitrateAt(lngRow), strBitrates[lngFile]);
            EXPECT_EQ(list.IdAt(lngRow), ids[lngFile]);
            EXPECT_EQ(list.RowOf(ids[lngFile]), lngRow);
            // What a view shows: the path, the bitrate text, the full path as tooltip.
            EXPECT_EQ(list.index(lngRow, 0).data().toString(), strPaths[lngFile]);
            EXPECT_EQ(list.index(lngRow, 1).data().toString(), strBitrates[lngFile]);
            EXPECT_EQ(list.index(lngRow, 1).data(Qt::ToolTipRole).toString(), strTips[lngFile]);
        }
        EXPECT_EQ(list.Paths(), strExpected);
        EXPECT_EQ(list.RowIds().size(), list.RowCount());
        for (int lngFile = 0; lngFile < 3; ++lngFile) {
            if (!strExpected.contains(strPaths[lngFile])) {
                EXPECT_EQ(list.RowOf(ids[lngFile]), -1);
            }
        }
        // Past the end there is nothing, and new rows never take an id given before.
        EXPECT_EQ(list.PathAt(list.RowCount()), "");
        EXPECT_EQ(list.PathBytesAt(-1), "");
        EXPECT_EQ(list.BitrateAt(-1), "");
        EXPECT_EQ(list.IdAt(-1), 0u);
        EXPECT_EQ(list.RowOf(0), -1);
        EXPECT_FALSE(list.SamePath(0, list.RowCount()));
        EXPECT_GT(list.AppendDropped("/m/d.mp3"), ids[2]);
    }
}

TEST(FileListModelTest, ManyRemovalsKeepEveryOtherPath) {
    // Removed paths leave room in the arena, which is packed again as it grows empty.
    FileListModel list;
    QStringList strKept;
    for (int i = 0; i < 3000; ++i) {
        list.AppendAdmitted(QStringLiteral("/music/album %1/track %1.mp3").arg(i).toUtf8(), i);
        if (i % 3 == 2) strKept << list.PathAt(i);
    }
    for (int lngRow = 0; lngRow < list.RowCount();) {
        if (*list.KbpsAt(lngRow) % 3 != 2)
            list.RemoveRow(lngRow);
        else
            ++lngRow;
    }
    EXPECT_EQ(list.Paths(), strKept);
    EXPECT_EQ(list.BitrateAt(0), "2 kbps");
}

TEST(FileListModelTest, RowsNameTheSameFileWhenTheirBytesAreTheSame) {
    FileListModel list;
    for (const char* szPath : {"/m/x\xFF.mp3", "/m/x\xEF\xBF\xBD.mp3", "/m/x\xFF.mp3"})
        list.AppendDropped(szPath);
    EXPECT_EQ(list.PathAt(0), list.PathAt(1));  // both show as "/m/x\uFFFD.mp3"
    EXPECT_FALSE(list.SamePath(0, 1));
    EXPECT_TRUE(list.SamePath(0, 2));
}

TEST(FileListModelTest, ViewsHearOfEveryChange) {
    FileListModel list;
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);
    for (const char* strPath : {"/a.mp3", "/b.mp3", "/c.mp3"}) list.AppendDropped(strPath);
    EXPECT_EQ(inserted.size(), 3);
    EXPECT_EQ(inserted.last().at(1).toInt(), 2);

    // A held row (as the dragged row is held) stays on its row through an exchange and is gone
    // with its row's removal.
    const QPersistentModelIndex held = list.index(2, 0);
    list.ExchangeRows(0, 2);
    EXPECT_EQ(changed.size(), 2);
    EXPECT_EQ(held.row(), 2);
    EXPECT_EQ(held.data().toString(), "/a.mp3");
    list.RemoveRow(2);
    EXPECT_FALSE(held.isValid());
    EXPECT_EQ(removed.size(), 1);

    // Rows appended in a batch are in the list at once and shown to views in one step.
    {
        const FileListModel::Batch batch(list);
        for (const char* strPath : {"/d.mp3", "/e.mp3"}) list.AppendDropped(strPath);
        const FileListModel::Batch inner(list);
        list.AppendDropped("/f.mp3");
        EXPECT_EQ(list.RowCount(), 5);
        EXPECT_EQ(list.rowCount(), 2);
    }
    EXPECT_EQ(inserted.size(), 4);
    EXPECT_EQ(inserted.last().at(1).toInt(), 2);
    EXPECT_EQ(inserted.last().at(2).toInt(), 4);
    EXPECT_EQ(list.rowCount(), 5);
    {
        // Any other change shows them first, so that views and list agree on every row.
        const FileListModel::Batch batch(list);
        list.AppendDropped("/g.mp3");
        list.ExchangeRows(0, 5);
        EXPECT_EQ(list.rowCount(), 6);
        EXPECT_EQ(list.index(5, 0).data().toString(), "/c.mp3");
    }
    EXPECT_EQ(inserted.size(), 5);

    EXPECT_EQ(list.columnCount(), 2);
    EXPECT_EQ(list.headerData(0, Qt::Horizontal).toString(), "MP3 File(s)");
    EXPECT_EQ(list.headerData(1, Qt::Horizontal).toString(), "Bitrate");
    EXPECT_EQ(list.rowCount(list.index(0, 0)), 0);  // a flat list
    EXPECT_FALSE(list.flags(list.index(0, 0)).testFlag(Qt::ItemIsEditable));
}

}  // namespace
