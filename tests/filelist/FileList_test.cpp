// SPDX-License-Identifier: GPL-3.0-or-later
// The file list's rows: appending, reading, exchanging and removing, and the ids that follow each
// file through all of it.
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "filelist/FileList.h"

namespace {

// Each case appends "/m/a.mp3" (admitted, "8 kbps"), "/m/b.mp3" (dropped) and "/m/c.mp3"
// (admitted, "24 kbps"), then changes the list; the rows expected afterwards are given as the
// indexes of those three files, top to bottom.
struct Case {
    const char* strName;
    std::function<void(FileList&)> change;
    std::vector<int> files;
};

const Case kCases[] = {
    {"nothing changed", [](FileList&) {}, {0, 1, 2}},
    {"first and last exchanged", [](FileList& list) { list.ExchangeRows(0, 2); }, {2, 1, 0}},
    {"a row exchanged with itself", [](FileList& list) { list.ExchangeRows(1, 1); }, {0, 1, 2}},
    {"exchange with a row past the end",
     [](FileList& list) { list.ExchangeRows(0, 3); },
     {0, 1, 2}},
    {"middle removed", [](FileList& list) { list.RemoveRow(1); }, {0, 2}},
    {"removal past the end", [](FileList& list) { list.RemoveRow(3); }, {0, 1, 2}},
    {"exchanged, then the first removed",
     [](FileList& list) {
         list.ExchangeRows(0, 1);
         list.RemoveRow(0);
     },
     {0, 2}},
    {"the control's own removal", [](FileList& list) { delete list.ItemAt(0); }, {1, 2}},
    {"cleared", [](FileList& list) { list.Clear(); }, {}},
};

TEST(FileListTest, RowsAndTheirIdsFollowEachFile) {
    const QString strPaths[] = {"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"};
    const QString strBitrates[] = {"8 kbps", "", "24 kbps"};
    // The index behind RowOf is built by its first call: before the change, or only after it.
    for (const auto& [c, blnIndexFirst] : [] {
             std::vector<std::pair<Case, bool>> runs;
             for (const Case& c : kCases) runs.insert(runs.end(), {{c, false}, {c, true}});
             return runs;
         }()) {
        SCOPED_TRACE(std::string(c.strName) + (blnIndexFirst ? ", index built first" : ""));
        QTreeWidget view;
        view.setColumnCount(2);
        FileList list(view);
        const FileList::RowId ids[] = {list.AppendAdmitted(strPaths[0], strBitrates[0]),
                                       list.AppendDropped(strPaths[1]),
                                       list.AppendAdmitted(strPaths[2], strBitrates[2])};
        EXPECT_TRUE(ids[0] != 0 && ids[0] != ids[1] && ids[1] != ids[2] && ids[0] != ids[2]);
        if (blnIndexFirst) {
            EXPECT_EQ(list.RowOf(ids[1]), 1);
        }
        c.change(list);

        ASSERT_EQ(list.RowCount(), int(c.files.size()));
        std::vector<bool> present(3, false);
        for (int lngRow = 0; lngRow < list.RowCount(); ++lngRow) {
            const int lngFile = c.files[size_t(lngRow)];
            present[size_t(lngFile)] = true;
            EXPECT_EQ(list.PathAt(lngRow), strPaths[lngFile]);
            EXPECT_EQ(list.BitrateAt(lngRow), strBitrates[lngFile]);
            EXPECT_EQ(list.IdAt(lngRow), ids[lngFile]);
            EXPECT_EQ(list.RowOf(ids[lngFile]), lngRow);
            EXPECT_EQ(list.RowOfItem(list.ItemAt(lngRow)), lngRow);
        }
        for (int lngFile = 0; lngFile < 3; ++lngFile) {
            if (!present[size_t(lngFile)]) {
                EXPECT_EQ(list.RowOf(ids[lngFile]), -1);
            }
        }
        // Past the end there is nothing, and new rows never take an id given before.
        EXPECT_EQ(list.PathAt(list.RowCount()), "");
        EXPECT_EQ(list.IdAt(-1), 0u);
        EXPECT_EQ(list.ItemAt(list.RowCount()), nullptr);
        EXPECT_EQ(list.RowOf(0), -1);
        EXPECT_GT(list.AppendDropped("/m/d.mp3"), ids[2]);
    }
}

}  // namespace
