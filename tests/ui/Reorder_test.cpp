// SPDX-License-Identifier: GPL-3.0-or-later
// Reordering the file list by dragging a row: clicks, held moves and releases on the list's
// viewport as the platform delivers them, the pointer's screen row answered by the prompt fake.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWindow>
#include <vector>

#include "WindowFixture.h"
#include "support/ReduceTestFiles.h"
#include "ui/RowReorder.h"

namespace {

using windowtest::Row;

class ReorderTest : public windowtest::WindowTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WindowTest::SetUp());
        ASSERT_NO_FATAL_FAILURE(ShowForm());
        prompts.cursorPos = QPoint(400, 330);  // between the two scroll rows of the screen
    }

    FileListView* List() const { return form->ListView1; }
    QWidget* Viewport() const { return form->ListView1->viewport(); }
    QTreeWidgetItem* Item(int lngRow) const { return form->fileList->ItemAt(lngRow - 1); }

    void SetRows(const std::vector<Row>& rows) {
        form->fileList->Clear();
        for (const auto& [strPath, strBitrate] : rows)
            form->fileList->AppendAdmitted(strPath, strBitrate);
    }
    // The selected rows, counted from 1.
    std::vector<int> Selected() const {
        std::vector<int> rows;
        for (int i = 1; i <= form->fileList->RowCount(); ++i)
            if (Item(i)->isSelected()) rows.push_back(i);
        return rows;
    }

    QPoint Centre(int lngRow) const { return List()->visualItemRect(Item(lngRow)).center(); }
    QPoint BelowTheRows() const {
        const QRect rctLast = List()->visualItemRect(Item(form->fileList->RowCount()));
        return QPoint(rctLast.center().x(), rctLast.bottom() + 20);
    }

    // The button going down, the pointer moving with it held, and the button coming up, on the
    // list's viewport.
    void Press(QPoint pntAt) {
        QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, pntAt);
    }
    void HeldMove(QPoint pntAt) {
        QMouseEvent move(QEvent::MouseMove, QPointF(pntAt), QPointF(Viewport()->mapToGlobal(pntAt)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Viewport(), &move);
    }
    void Release(QPoint pntAt) {
        QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, pntAt);
    }
    void Drag(int lngFromRow, std::initializer_list<int> overRows) {
        Press(Centre(lngFromRow));
        QPoint pntLast = Centre(lngFromRow);
        for (const int lngRow : overRows) {
            pntLast = Centre(lngRow);
            HeldMove(pntLast);
        }
        Release(pntLast);
    }

    // Drags local files from elsewhere onto the list through the window, as a file manager
    // does: the window hands the drag to whichever control under the pointer takes drops. True
    // when the drop was taken.
    bool DropFiles(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& strPath : paths) urls << QUrl::fromLocalFile(strPath);
        data.setUrls(urls);
        QWindow* window = form->windowHandle();
        const QPoint pntAt = Viewport()->mapTo(form.get(), QPoint(30, 5));
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(pntAt, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &enter);
        QDragMoveEvent over(pntAt, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &over);
        if (!over.isAccepted()) {
            QDragLeaveEvent leave;
            QApplication::sendEvent(window, &leave);
            return false;
        }
        QDropEvent drop(QPointF(pntAt), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &drop);
        return drop.isAccepted();
    }
};

// An icon file of lngSize by lngSize pixels.
QByteArray IconFile(int lngSize) {
    QImage image(lngSize, lngSize, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QByteArray btData;
    QBuffer buffer(&btData);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "ico"));
    return btData;
}

}  // namespace

TEST_F(ReorderTest, DraggingTheFirstOfThreeDownMakesItTheLast) {
    SetRows({{"/m/one.mp3", "128 kbps"}, {"/m/two.mp3", "160 kbps"}, {"/m/three.mp3", "96 kbps"}});
    const std::vector<QTreeWidgetItem*> items{Item(1), Item(2), Item(3)};

    Press(Centre(1));
    EXPECT_TRUE(form->blnDragging);
    EXPECT_EQ(form->itmDrag, Item(1));
    EXPECT_EQ(List()->MousePointer(), 99);
    EXPECT_FALSE(List()->DropTarget());
    EXPECT_FALSE(List()->DragSource());

    HeldMove(Centre(2));
    EXPECT_EQ(Rows(), (std::vector<Row>{{"/m/two.mp3", "160 kbps"},
                                        {"/m/one.mp3", "128 kbps"},
                                        {"/m/three.mp3", "96 kbps"}}));
    EXPECT_EQ(Selected(), std::vector<int>{2});
    EXPECT_EQ(form->itmDrag, Item(2));
    EXPECT_EQ(form->itmUnder, nullptr);

    HeldMove(Centre(3));
    Release(Centre(3));
    EXPECT_EQ(Rows(), (std::vector<Row>{{"/m/two.mp3", "160 kbps"},
                                        {"/m/three.mp3", "96 kbps"},
                                        {"/m/one.mp3", "128 kbps"}}));
    EXPECT_EQ(Selected(), std::vector<int>{3});
    EXPECT_EQ(List()->currentItem(), Item(3));
    // The rows stayed where they were; only what they show moved.
    EXPECT_EQ((std::vector<QTreeWidgetItem*>{Item(1), Item(2), Item(3)}), items);
    // The release ends the drag but leaves itmDrag on the dragged file.
    EXPECT_FALSE(form->blnDragging);
    EXPECT_EQ(form->itmDrag, Item(3));
    EXPECT_EQ(form->itmUnder, nullptr);
    EXPECT_EQ(List()->MousePointer(), 1);
    EXPECT_EQ(Viewport()->cursor().shape(), Qt::ArrowCursor);
    // The move handler also applies the pointer rule.
    EXPECT_EQ(form->MousePointer(), 0);
}

TEST_F(ReorderTest, AJumpOverRowsTradesOnlyWithTheRowUnderThePointer) {
    SetRows({{"/m/a.mp3", "8 kbps"}, {"/m/b.mp3", "16 kbps"}, {"/m/c.mp3", "24 kbps"}});
    Drag(3, {1});
    EXPECT_EQ(Rows(),
              (std::vector<Row>{
                  {"/m/c.mp3", "24 kbps"}, {"/m/b.mp3", "16 kbps"}, {"/m/a.mp3", "8 kbps"}}));
    EXPECT_EQ(Selected(), std::vector<int>{1});
}

TEST_F(ReorderTest, OneRowNeitherChangesNorScrolls) {
    SetRows({{"/m/only.mp3", "128 kbps"}});
    const int lngScroll = List()->verticalScrollBar()->value();
    for (const int lngScreenY : {0, 304, 365, 2000}) {
        prompts.cursorPos = QPoint(100, lngScreenY);
        Press(Centre(1));
        HeldMove(Centre(1) + QPoint(0, 2));
        HeldMove(BelowTheRows());
        HeldMove(Centre(1));
        Release(Centre(1));
    }
    EXPECT_EQ(Rows(), (std::vector<Row>{{"/m/only.mp3", "128 kbps"}}));
    EXPECT_EQ(List()->verticalScrollBar()->value(), lngScroll);
    EXPECT_EQ(Selected(), std::vector<int>{1});
}

TEST_F(ReorderTest, RowsNamingTheSameFileNeverTrade) {
    SetRows({{"/m/same.mp3", "128 kbps"}, {"/m/same.mp3", ""}, {"/m/other.mp3", "64 kbps"}});
    Press(Centre(1));
    HeldMove(Centre(2));
    // Nothing traded, and the selection stays with the dragged row rather than the row under the
    // pointer.
    EXPECT_EQ(Rows(),
              (std::vector<Row>{
                  {"/m/same.mp3", "128 kbps"}, {"/m/same.mp3", ""}, {"/m/other.mp3", "64 kbps"}}));
    EXPECT_EQ(Selected(), std::vector<int>{1});
    EXPECT_EQ(form->itmDrag, Item(1));
    // Further on, the dragged row trades with the next file directly; the row in between stays.
    HeldMove(Centre(3));
    Release(Centre(3));
    EXPECT_EQ(Rows(),
              (std::vector<Row>{
                  {"/m/other.mp3", "64 kbps"}, {"/m/same.mp3", ""}, {"/m/same.mp3", "128 kbps"}}));
    EXPECT_EQ(Selected(), std::vector<int>{3});
}

TEST_F(ReorderTest, TextsDifferingOnlyInLetterCaseDoTrade) {
    SetRows({{"/m/Song.mp3", "128 kbps"}, {"/m/song.mp3", "96 kbps"}});
    Drag(1, {2});
    EXPECT_EQ(Rows(), (std::vector<Row>{{"/m/song.mp3", "96 kbps"}, {"/m/Song.mp3", "128 kbps"}}));
}

TEST_F(ReorderTest, ADroppedRowsEmptyBitrateTravelsWithIt) {
    SetRows({{"/m/a.mp3", "128 kbps"}, {"/m/b.mp3", "160 kbps"}});
    QTemporaryDir drops;
    const QString strDropped = drops.filePath("dropped.mp3");
    ASSERT_TRUE(reducetest::WriteBytes(strDropped, "not checked"));
    ASSERT_TRUE(DropFiles({strDropped}));
    ASSERT_EQ(Rows().back(), (Row{strDropped, ""}));

    Drag(3, {2, 1});
    EXPECT_EQ(Rows(), (std::vector<Row>{
                          {strDropped, ""}, {"/m/a.mp3", "128 kbps"}, {"/m/b.mp3", "160 kbps"}}));
    Drag(1, {2});
    EXPECT_EQ(Rows(), (std::vector<Row>{
                          {"/m/a.mp3", "128 kbps"}, {strDropped, ""}, {"/m/b.mp3", "160 kbps"}}));
}

TEST_F(ReorderTest, APressOnEmptySpaceDragsTheRowClickedBefore) {
    SetRows({{"/m/a.mp3", "8 kbps"}, {"/m/b.mp3", "16 kbps"}, {"/m/c.mp3", "24 kbps"}});
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, Centre(1));
    ASSERT_EQ(form->itmDrag, Item(1));

    Press(BelowTheRows());
    EXPECT_TRUE(form->blnDragging);
    HeldMove(BelowTheRows() + QPoint(0, -3));  // still empty space: nothing happens
    EXPECT_EQ(Rows()[0].first, "/m/a.mp3");
    HeldMove(Centre(3));
    Release(Centre(3));
    EXPECT_EQ(Rows(),
              (std::vector<Row>{
                  {"/m/c.mp3", "24 kbps"}, {"/m/b.mp3", "16 kbps"}, {"/m/a.mp3", "8 kbps"}}));
    EXPECT_EQ(Selected(), std::vector<int>{3});
}

TEST_F(ReorderTest, AfterTheReleaseMovesChangeNothing) {
    SetRows({{"/m/a.mp3", "8 kbps"}, {"/m/b.mp3", "16 kbps"}, {"/m/c.mp3", "24 kbps"}});
    Drag(1, {2});
    const std::vector<Row> after = Rows();
    // Moves without a button, as the platform reports them, and the handler itself with a button
    // argument: only a press over the list starts a drag.
    QTest::mouseMove(Viewport(), Centre(3));
    QTest::mouseMove(Viewport(), Centre(1));
    form->ListView1_MouseMove(Qt::LeftButton, Qt::NoModifier, Centre(3).x(), Centre(3).y());
    EXPECT_EQ(Rows(), after);
    EXPECT_EQ(Selected(), std::vector<int>{2});
    EXPECT_EQ(form->itmDrag, Item(2));
}

TEST_F(ReorderTest, MovesOutsideTheListTradeNothing) {
    std::vector<Row> rows;
    for (int i = 1; i <= 12; ++i) rows.emplace_back(QStringLiteral("/m/%1.mp3").arg(i), "");
    SetRows(rows);
    List()->scrollToItem(Item(4), QAbstractItemView::PositionAtTop);
    QApplication::processEvents();
    const int lngTop = List()->indexOfTopLevelItem(List()->itemAt(2, 2)) + 1;
    ASSERT_GT(lngTop, 1);
    const QPoint pntAbove(Centre(lngTop).x(), -3);
    const QPoint pntBelow(Centre(lngTop).x(), Viewport()->height() + 3);
    const QPoint pntRight(Viewport()->width() + 40, Centre(lngTop).y());
    // Above and below the list lie rows scrolled out of sight, which the list's own hit test
    // would answer with; the pointer is not over them.
    ASSERT_NE(List()->itemAt(pntAbove), nullptr);
    ASSERT_NE(List()->itemAt(pntBelow), nullptr);

    Press(Centre(lngTop));
    HeldMove(pntAbove);
    HeldMove(pntBelow);
    HeldMove(pntRight);
    Release(pntRight);
    EXPECT_EQ(Rows(), rows);
}

// --- Auto-scroll ------------------------------------------------------------------------------

TEST(AutoScrollRowTest, ThePointersScreenRowPicksTheNeighbour) {
    struct Case {
        int lngRow, lngRows, lngScreenY, lngExpected;
    };
    for (const Case& c : std::vector<Case>{{5, 6, 304, 4},
                                           {5, 6, 305, 0},
                                           {5, 6, 364, 0},
                                           {5, 6, 365, 6},
                                           {5, 5, 365, 0},
                                           {5, 5, 304, 4},
                                           {1, 3, 0, 0},
                                           {1, 3, -40, 0},
                                           {3, 3, 5000, 0},
                                           {2, 3, 5000, 3}}) {
        EXPECT_EQ(AutoScrollRow(c.lngRow, c.lngRows, c.lngScreenY), c.lngExpected)
            << "row " << c.lngRow << " of " << c.lngRows << " at screen row " << c.lngScreenY;
    }
}

TEST_F(ReorderTest, TheListFollowsTheDraggedFileByTheScreenRow) {
    struct Case {
        int lngRows, lngScreenY, lngTopAfter;
    };
    for (const Case& c : std::vector<Case>{{6, 304, 4},
                                           {6, 305, 5},
                                           {6, 364, 5},
                                           {6, 365, 6},
                                           {5, 365, 5},
                                           {5, 304, 4},
                                           {5, 364, 5}}) {
        std::vector<Row> rows;
        for (int i = 1; i <= c.lngRows; ++i)
            rows.emplace_back(QStringLiteral("/m/%1.mp3").arg(i), "128 kbps");
        SetRows(rows);
        // A list one row high, so that the row at its top is the row in view.
        const int lngRowHeight = List()->visualItemRect(Item(1)).height();
        List()->resize(List()->width(), List()->height() - Viewport()->height() + lngRowHeight);
        QApplication::processEvents();
        ASSERT_EQ(Viewport()->height(), lngRowHeight);
        auto topRow = [&] { return List()->indexOfTopLevelItem(List()->itemAt(2, 2)) + 1; };

        // Row 4 was clicked earlier; the pointer, held, reaches row 5 at the top of the list.
        form->ListView1_ItemClick(Item(4));
        List()->scrollToItem(Item(5), QAbstractItemView::PositionAtTop);
        ASSERT_EQ(topRow(), 5);
        prompts.cursorPos = QPoint(200, c.lngScreenY);
        form->ListView1_MouseDown(Qt::LeftButton, Qt::NoModifier, Centre(5).x(), Centre(5).y());
        form->ListView1_MouseMove(Qt::LeftButton, Qt::NoModifier, Centre(5).x(), Centre(5).y());
        form->ListView1_MouseUp(Qt::LeftButton, Qt::NoModifier, Centre(5).x(), Centre(5).y());

        EXPECT_EQ(Item(5)->text(0), "/m/4.mp3") << c.lngRows << " rows, screen y " << c.lngScreenY;
        EXPECT_EQ(topRow(), c.lngTopAfter) << c.lngRows << " rows, screen y " << c.lngScreenY;
    }
}

TEST_F(ReorderTest, RestingNearAnEdgeWithoutAnExchangeScrollsNothing) {
    std::vector<Row> rows;
    for (int i = 1; i <= 12; ++i) rows.emplace_back(QStringLiteral("/m/%1.mp3").arg(i), "");
    SetRows(rows);
    // The dragged row is the one above the lowest row wholly in view, with more rows below.
    int lngLowest = 1;
    while (List()->visualItemRect(Item(lngLowest + 1)).bottom() < Viewport()->height()) ++lngLowest;
    ASSERT_LT(lngLowest, 12);
    const int lngScroll = List()->verticalScrollBar()->value();
    prompts.cursorPos = QPoint(200, 900);
    Press(Centre(lngLowest - 1));
    for (int i = 0; i < 5; ++i) HeldMove(Centre(lngLowest - 1) + QPoint(i, 1));
    EXPECT_EQ(List()->verticalScrollBar()->value(), lngScroll);
    // The same screen row in a step that exchanges does scroll.
    HeldMove(Centre(lngLowest));
    EXPECT_GT(List()->verticalScrollBar()->value(), lngScroll);
    Release(Centre(lngLowest));
}

// --- The list's pointer and drop target -------------------------------------------------------

TEST_F(ReorderTest, TheDragImageIsReadAfreshOnEveryRowClick) {
    SetRows({{"/m/a.mp3", "8 kbps"}, {"/m/b.mp3", "16 kbps"}});
    const QString strDrag = programFolder.filePath("drag.ico");
    auto imageSize = [&] { return Viewport()->cursor().pixmap().size(); };

    ASSERT_TRUE(reducetest::WriteBytes(strDrag, IconFile(16)));
    Press(Centre(1));
    EXPECT_EQ(List()->MousePointer(), 99);
    EXPECT_EQ(Viewport()->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(imageSize(), QSize(16, 16));
    Release(Centre(1));

    ASSERT_TRUE(reducetest::WriteBytes(strDrag, IconFile(24)));
    Press(Centre(2));
    EXPECT_EQ(imageSize(), QSize(24, 24));
    Release(Centre(2));

    // Unreadable or missing: a closed hand.
    ASSERT_TRUE(reducetest::WriteBytes(strDrag, "not an icon"));
    Press(Centre(1));
    EXPECT_EQ(List()->MousePointer(), 99);
    EXPECT_EQ(Viewport()->cursor().shape(), Qt::ClosedHandCursor);
    Release(Centre(1));
    ASSERT_TRUE(QFile::remove(strDrag));
    Press(Centre(2));
    EXPECT_EQ(Viewport()->cursor().shape(), Qt::ClosedHandCursor);
    Release(Centre(2));
    EXPECT_EQ(List()->MousePointer(), 1);
}

TEST_F(ReorderTest, FilesAreDroppedAgainOnceTheButtonIsReleased) {
    SetRows({{"/m/a.mp3", "8 kbps"}, {"/m/b.mp3", "16 kbps"}});
    QTemporaryDir drops;
    const QString strFirst = drops.filePath("first.mp3");
    const QString strSecond = drops.filePath("second.mp3");
    ASSERT_TRUE(DropFiles({strFirst}));

    Press(Centre(1));
    HeldMove(Centre(2));
    // While a row is held, the list takes no drops.
    EXPECT_FALSE(DropFiles({strSecond}));
    Release(Centre(2));
    ASSERT_TRUE(DropFiles({strSecond}));
    EXPECT_EQ(
        Rows(),
        (std::vector<Row>{
            {"/m/b.mp3", "16 kbps"}, {"/m/a.mp3", "8 kbps"}, {strFirst, ""}, {strSecond, ""}}));
}

TEST_F(ReorderTest, ARemovedDraggedRowIsForgotten) {
    SetRows({{"/m/a.mp3", "8 kbps"}, {"/m/b.mp3", "16 kbps"}, {"/m/c.mp3", "24 kbps"}});
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, Centre(2));
    ASSERT_EQ(form->itmDrag, Item(2));
    form->ListView1_DblClick();  // removes the selected row, the dragged one
    ASSERT_EQ(form->fileList->RowCount(), 2);
    EXPECT_EQ(form->itmDrag, nullptr);

    // A press on empty space and a move over a row now have no dragged file to trade.
    Press(BelowTheRows());
    HeldMove(Centre(1));
    Release(Centre(1));
    EXPECT_EQ(Rows(), (std::vector<Row>{{"/m/a.mp3", "8 kbps"}, {"/m/c.mp3", "24 kbps"}}));

    // Removing another row keeps the dragged one.
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, Centre(2));
    QTreeWidgetItem* itmKept = Item(2);
    form->fileList->RemoveRow(0);
    EXPECT_EQ(form->itmDrag, itmKept);
    List()->clear();
    EXPECT_EQ(form->itmDrag, nullptr);
}
