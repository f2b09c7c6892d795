// SPDX-License-Identifier: GPL-3.0-or-later
// Reordering the file list by dragging a row: clicks, held moves and releases on the list's
// viewport as the platform delivers them.
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
    }

    FileListView* List() const { return Ui().ListView1; }
    QWidget* Viewport() const { return Ui().ListView1->viewport(); }
    QModelIndex Item(int lngRow) const { return RowIndex(lngRow - 1); }

    void SetRows(const std::vector<Row>& rows) {
        Ui().fileList->Clear();
        for (const auto& [strPath, strBitrate] : rows)
            AppendRow(*Ui().fileList, strPath, strBitrate);
    }
    // The selected rows, counted from 1.
    std::vector<int> Selected() const {
        std::vector<int> rows;
        for (int i = 1; i <= Ui().fileList->RowCount(); ++i)
            if (List()->selectionModel()->isRowSelected(i - 1)) rows.push_back(i);
        return rows;
    }

    QPoint Centre(int lngRow) const { return List()->visualRect(Item(lngRow)).center(); }
    QPoint BelowTheRows() const {
        const QRect rctLast = List()->visualRect(Item(Ui().fileList->RowCount()));
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
    Press(Centre(1));
    EXPECT_TRUE(Form1TestAccess::Dragging(*form));
    EXPECT_EQ(Form1TestAccess::DragRow(*form), Item(1));
    EXPECT_EQ(List()->MousePointer(), 99);
    EXPECT_FALSE(List()->DropTarget());
    EXPECT_FALSE(List()->DragSource());

    HeldMove(Centre(2));
    EXPECT_EQ(Rows(), (std::vector<Row>{{"/m/two.mp3", "160 kbps"},
                                        {"/m/one.mp3", "128 kbps"},
                                        {"/m/three.mp3", "96 kbps"}}));
    EXPECT_EQ(Selected(), std::vector<int>{2});
    EXPECT_EQ(Form1TestAccess::DragRow(*form), Item(2));
    EXPECT_FALSE(Form1TestAccess::UnderRow(*form).isValid());

    HeldMove(Centre(3));
    Release(Centre(3));
    EXPECT_EQ(Rows(), (std::vector<Row>{{"/m/two.mp3", "160 kbps"},
                                        {"/m/three.mp3", "96 kbps"},
                                        {"/m/one.mp3", "128 kbps"}}));
    EXPECT_EQ(Selected(), std::vector<int>{3});
    EXPECT_EQ(List()->currentIndex(), Item(3));
    // The release ends the drag but leaves itmDrag on the dragged file.
    EXPECT_FALSE(Form1TestAccess::Dragging(*form));
    EXPECT_EQ(Form1TestAccess::DragRow(*form), Item(3));
    EXPECT_FALSE(Form1TestAccess::UnderRow(*form).isValid());
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
    for (int i = 0; i < 2; ++i) {
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
    EXPECT_EQ(Form1TestAccess::DragRow(*form), Item(1));
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
    ASSERT_EQ(Form1TestAccess::DragRow(*form), Item(1));

    Press(BelowTheRows());
    EXPECT_TRUE(Form1TestAccess::Dragging(*form));
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
    EXPECT_EQ(Form1TestAccess::DragRow(*form), Item(2));
}

TEST_F(ReorderTest, MovesOutsideTheListTradeNothing) {
    std::vector<Row> rows;
    for (int i = 1; i <= 12; ++i) rows.emplace_back(QStringLiteral("/m/%1.mp3").arg(i), "");
    SetRows(rows);
    List()->scrollTo(Item(4), QAbstractItemView::PositionAtTop);
    QApplication::processEvents();
    const int lngTop = List()->indexAt(QPoint(2, 2)).row() + 1;
    ASSERT_GT(lngTop, 1);
    const QPoint pntAbove(Centre(lngTop).x(), -3);
    const QPoint pntBelow(Centre(lngTop).x(), Viewport()->height() + 3);
    const QPoint pntRight(Viewport()->width() + 40, Centre(lngTop).y());
    // Above and below the list lie rows scrolled out of sight, which the list's own hit test
    // would answer with; the pointer is not over them.
    ASSERT_TRUE(List()->indexAt(pntAbove).isValid());
    ASSERT_TRUE(List()->indexAt(pntBelow).isValid());

    Press(Centre(lngTop));
    HeldMove(pntAbove);
    HeldMove(pntBelow);
    HeldMove(pntRight);
    Release(pntRight);
    EXPECT_EQ(Rows(), rows);
}

// --- Auto-scroll ------------------------------------------------------------------------------

TEST(AutoScrollRowTest, TheFirstAndLastRowShownPickTheNeighbour) {
    struct Case {
        int lngRow, lngRows, lngFirst, lngLast, lngExpected;
    };
    for (const Case& c : std::vector<Case>{{5, 12, 5, 8, 4},
                                           {6, 12, 5, 8, 0},
                                           {8, 12, 5, 8, 9},
                                           {4, 12, 5, 8, 3},  // a row cut off above
                                           {9, 12, 5, 8, 10},
                                           {1, 3, 1, 3, 0},
                                           {3, 3, 1, 3, 0},
                                           {12, 12, 9, 12, 0},
                                           {5, 6, 5, 5, 4},  // one row shown: up first
                                           {1, 6, 1, 1, 2}}) {
        EXPECT_EQ(AutoScrollRow(c.lngRow, c.lngRows, {c.lngFirst, c.lngLast}), c.lngExpected)
            << "row " << c.lngRow << " of " << c.lngRows << ", rows " << c.lngFirst << " to "
            << c.lngLast << " shown";
    }
}

TEST_F(ReorderTest, TheListFollowsTheDraggedFileFromItsFirstOrLastRowShown) {
    // Wherever the window stands: only the pointer's place in the list counts.
    struct Case {
        QPoint pntWindow;
        int lngFrom, lngTo, lngTopAfter;
    };
    for (const Case& c : std::vector<Case>{{{0, 0}, 4, 5, 4},
                                           {{0, 0}, 9, 8, 6},
                                           {{1800, 1000}, 4, 5, 4},
                                           {{1800, 1000}, 9, 8, 6},
                                           {{1800, 1000}, 7, 6, 5},
                                           {{-300, 700}, 5, 7, 5}}) {
        std::vector<Row> rows;
        for (int i = 1; i <= 12; ++i)
            rows.emplace_back(QStringLiteral("/m/%1.mp3").arg(i), "128 kbps");
        SetRows(rows);
        form->move(c.pntWindow);
        // A list four rows high, showing rows 5 to 8.
        const int lngRowHeight = List()->visualRect(Item(1)).height();
        List()->resize(List()->width(), List()->height() - Viewport()->height() + 4 * lngRowHeight);
        QApplication::processEvents();
        List()->scrollTo(Item(5), QAbstractItemView::PositionAtTop);
        auto topRow = [&] { return List()->indexAt(QPoint(2, 2)).row() + 1; };
        ASSERT_EQ(topRow(), 5);

        // The row lngFrom was clicked earlier; the pointer, held, reaches the row lngTo.
        form->ListView1_ItemClick(Item(c.lngFrom));
        const QPoint pntTo = Centre(c.lngTo);
        form->ListView1_MouseDown(Qt::LeftButton, Qt::NoModifier, pntTo.x(), pntTo.y());
        form->ListView1_MouseMove(Qt::LeftButton, Qt::NoModifier, pntTo.x(), pntTo.y());
        form->ListView1_MouseUp(Qt::LeftButton, Qt::NoModifier, pntTo.x(), pntTo.y());

        const QString strTrace = QStringLiteral("row %1 to %2").arg(c.lngFrom).arg(c.lngTo);
        EXPECT_EQ(Item(c.lngTo).data().toString(), QStringLiteral("/m/%1.mp3").arg(c.lngFrom))
            << strTrace.toStdString();
        EXPECT_EQ(topRow(), c.lngTopAfter) << strTrace.toStdString();
    }
}

TEST_F(ReorderTest, RestingNearAnEdgeWithoutAnExchangeScrollsNothing) {
    std::vector<Row> rows;
    for (int i = 1; i <= 12; ++i) rows.emplace_back(QStringLiteral("/m/%1.mp3").arg(i), "");
    SetRows(rows);
    // The dragged row is the one above the lowest row wholly in view, with more rows below.
    int lngLowest = 1;
    while (List()->visualRect(Item(lngLowest + 1)).bottom() < Viewport()->height()) ++lngLowest;
    ASSERT_LT(lngLowest, 12);
    const int lngScroll = List()->verticalScrollBar()->value();
    Press(Centre(lngLowest - 1));
    for (int i = 0; i < 5; ++i) HeldMove(Centre(lngLowest - 1) + QPoint(i, 1));
    EXPECT_EQ(List()->verticalScrollBar()->value(), lngScroll);
    // In the last row shown, a step that exchanges does scroll.
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
    ASSERT_EQ(Form1TestAccess::DragRow(*form), Item(2));
    form->ListView1_DblClick();  // removes the selected row, the dragged one
    ASSERT_EQ(Ui().fileList->RowCount(), 2);
    EXPECT_FALSE(Form1TestAccess::DragRow(*form).isValid());

    // A press on empty space and a move over a row now have no dragged file to trade.
    Press(BelowTheRows());
    HeldMove(Centre(1));
    Release(Centre(1));
    EXPECT_EQ(Rows(), (std::vector<Row>{{"/m/a.mp3", "8 kbps"}, {"/m/c.mp3", "24 kbps"}}));

    // Removing another row keeps the dragged one.
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, Centre(2));
    Ui().fileList->RemoveRow(0);
    EXPECT_EQ(Form1TestAccess::DragRow(*form), Item(1));
    EXPECT_EQ(Form1TestAccess::DragRow(*form).data().toString(), "/m/c.mp3");
    Ui().fileList->Clear();
    EXPECT_FALSE(Form1TestAccess::DragRow(*form).isValid());
}
