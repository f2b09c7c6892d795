// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: its layout, the bitrate menu and its remembered choice, the hand pointer file,
// the progress and pointer accessors, the list's event forwarding, and adding files by dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>

#include "WindowFixture.h"
#include "filelist/FileListModel.h"
#include "support/FakePrompts.h"
#include "support/Mp3Bytes.h"
#include "ui/BitrateMenu.h"
#include "ui/FileListView.h"
#include "ui/Form1.h"
#include "ui/WindowPlacement.h"

namespace {

using windowtest::ControlsOf;

// The store's file: the settings store fixes its folder once per process, so ask it.
QString ConfigFile() { return QSettings("Venmarrow", "Kestrelund").fileName(); }

// Sets the stored menu text, or removes the key when strValue is null.
void StoreMenuSetting(const QString& strValue) {
    QSettings settings("Venmarrow", "Kestrelund");
    settings.beginGroup("Kestrelund");
    if (strValue.isNull()) {
        settings.remove("Combo1");
    } else {
        settings.setValue("Combo1", strValue);
    }
    settings.endGroup();
    settings.sync();
}

// The key's value as it stands in the store's file on disk.
QString StoredOnDisk() {
    QFile file(ConfigFile());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    bool blnInGroup = false;
    for (const QByteArray& btLine : file.readAll().split('\n')) {
        const QString strLine = QString::fromUtf8(btLine).trimmed();
        if (strLine.startsWith('[')) blnInGroup = strLine == "[Kestrelund]";
        if (blnInGroup && strLine.startsWith("Combo1=")) return strLine.mid(7);
    }
    return {};
}

using testsupport::Mp3Frames;

// Input as the window system delivers it, sent straight to the widget.
void SendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button,
               Qt::KeyboardModifiers shift, QPoint pntAt) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(pntAt), QPointF(widget->mapToGlobal(pntAt)), button, held,
                      shift);
    QApplication::sendEvent(widget, &event);
}
void Click(QWidget* widget, QPoint pntAt) {
    SendMouse(widget, QEvent::MouseButtonPress, Qt::LeftButton, Qt::NoModifier, pntAt);
    SendMouse(widget, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoModifier, pntAt);
}
void KeyClick(QWidget* widget, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "");
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "");
    QApplication::sendEvent(widget, &release);
}
void ShowAndSettle(QWidget* widget) {
    widget->show();
    widget->activateWindow();
    QApplication::processEvents();
}

// Each test starts its windows itself (Start), most of them after setting the stored choice.
class Form1Test : public windowtest::WindowTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(programFolder.isValid());  // no "HAND-M.CUR" unless a test puts one there
        ASSERT_TRUE(files.isValid());
    }

    QString MakeFile(const QString& strName, const QByteArray& btData) {
        const QString strPath = files.path() + "/" + strName;
        QFile file(strPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(btData);
        return strPath;
    }
    QString Mp3(const QString& strName) { return MakeFile(strName, Mp3Frames(3)); }

    static std::vector<windowtest::Row> Rows(const Form1& window) { return RowsOf(window); }

    QTemporaryDir files;
};

// --- Layout ---------------------------------------------------------------------------------

TEST_F(Form1Test, WindowIsFixedWhiteAndCaptioned) {
    StoreMenuSetting({});
    auto form = Start();
    EXPECT_EQ(form->windowTitle(), "Kestrelund");
    EXPECT_EQ(form->size(), QSize(441, 291));
    EXPECT_EQ(form->minimumSize(), QSize(441, 291));
    EXPECT_EQ(form->maximumSize(), QSize(441, 291));
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(form->autoFillBackground());
}

// What the user sees of the layout: every control but the hidden Command1 lies wholly inside the
// window and overlaps no other; the captions, the label, the menu's longest entry, a typical path
// and a bitrate are shown whole; every visible control's text is Arial, bold.
TEST_F(Form1Test, ControlsAreWhollyVisibleAndApart) {
    auto form = Start();
    ShowAndSettle(form.get());
    const windowtest::Controls ui = ControlsOf(*form);
    const std::vector<QWidget*> shown = {ui.Check1, ui.Check2,       ui.Check3, ui.ListView1,
                                         ui.Combo1, ui.ProgressBar1, ui.Label1};
    for (size_t i = 0; i < shown.size(); ++i) {
        SCOPED_TRACE(shown[i]->objectName().toStdString());
        EXPECT_TRUE(form->rect().contains(shown[i]->geometry()));
        for (size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                << shown[j]->objectName().toStdString();
    }
    EXPECT_LT(ui.Command1->geometry().right(), 0);  // never seen, yet first to take the focus

    for (QToolButton* button : {ui.Check1, ui.Check2, ui.Check3}) {
        SCOPED_TRACE(button->text().toStdString());
        const QRect rctCaption = button->fontMetrics().boundingRect(
            button->rect(), Qt::AlignHCenter | Qt::TextWordWrap, button->text());
        EXPECT_LE(rctCaption.width(), button->width());
        EXPECT_LE(button->iconSize().height() + rctCaption.height(), button->height());
        EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 11.25);
    }
    EXPECT_LE(ui.Label1->fontMetrics().horizontalAdvance(ui.Label1->text()), ui.Label1->width());
    // The menu's entries stand left of its arrow button.
    const QFontMetrics fmMenu = ui.Combo1->fontMetrics();
    for (int i = 0; i < ui.Combo1->count(); ++i)
        EXPECT_LE(fmMenu.horizontalAdvance(ui.Combo1->itemText(i)), ui.Combo1->width() - 40);
    // Both columns fit the list without scrolling; a typical path and a bitrate show whole.
    const QFontMetrics fmList = ui.ListView1->fontMetrics();
    EXPECT_LE(ui.ListView1->columnWidth(0) + ui.ListView1->columnWidth(1),
              ui.ListView1->viewport()->width());
    EXPECT_LT(fmList.horizontalAdvance("/home/anna/Music/Artist/Album/01 Song Title.mp3"),
              ui.ListView1->columnWidth(0) - 8);
    EXPECT_LT(fmList.horizontalAdvance("320 kbps"), ui.ListView1->columnWidth(1) - 8);
    for (QWidget* widget : shown) {
        if (widget == ui.ProgressBar1) continue;  // shows no text
        EXPECT_EQ(widget->font().family(), "Arial") << widget->objectName().toStdString();
        EXPECT_TRUE(widget->font().bold()) << widget->objectName().toStdString();
    }
}

TEST_F(Form1Test, ControlsShowTheirTexts) {
    auto form = Start();
    EXPECT_EQ(ControlsOf(*form).Command1->text(), "Command1");
    EXPECT_EQ(ControlsOf(*form).Check1->text(), "Add MP3 File(s)");
    EXPECT_EQ(ControlsOf(*form).Check2->text(), "Reduce");
    EXPECT_EQ(ControlsOf(*form).Check3->text(), "Add All MP3 File(s) In Folder");
    EXPECT_EQ(ControlsOf(*form).Label1->text(), "Option:");
    EXPECT_EQ(ControlsOf(*form).Label1->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(ControlsOf(*form).Label1->autoFillBackground());
    EXPECT_EQ(ControlsOf(*form).ListView1->toolTip(),
              "Drag and drop files here. Double-click item to remove it. Move bar to right and "
              "out of window to reveal full names.");
    for (QToolButton* button :
         {ControlsOf(*form).Check1, ControlsOf(*form).Check2, ControlsOf(*form).Check3}) {
        SCOPED_TRACE(button->text().toStdString());
        EXPECT_TRUE(button->isCheckable());
        EXPECT_FALSE(button->isChecked());
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_EQ(button->iconSize(), QSize(32, 32));
        EXPECT_EQ(button->palette().color(QPalette::Button), QColor(Qt::white));
    }
}

TEST(WindowPlacementTest, TheOuterFrameIsCentred) {
    // A window of 441 by 291 under a frame with a 22-pixel title bar and 1-pixel borders.
    const unsigned int frame[] = {1, 1, 22, 1};
    const QMargins extents = FrameExtentsFromCardinals(frame, 4);
    EXPECT_EQ(extents, QMargins(1, 22, 1, 1));
    EXPECT_EQ(CentredFramePosition(QRect(0, 0, 1920, 1080), QSize(441, 291).grownBy(extents)),
              QPoint(738, 383));
    // Without a frame, and on a second screen; halves go to the even neighbour.
    EXPECT_EQ(CentredFramePosition(QRect(0, 0, 1920, 1080), QSize(441, 291)), QPoint(740, 394));
    EXPECT_EQ(CentredFramePosition(QRect(1920, 0, 1280, 1024), QSize(441, 291)), QPoint(2340, 366));
    // What no window manager would announce is no frame.
    const unsigned int wrong[] = {1, 1, 22, 4000000000u};
    EXPECT_EQ(FrameExtentsFromCardinals(wrong, 4), QMargins());
    EXPECT_EQ(FrameExtentsFromCardinals(frame, 3), QMargins());
}

TEST_F(Form1Test, ListHasTwoColumnsAndTakesDrops) {
    auto form = Start();
    FileListView* list = ControlsOf(*form).ListView1;
    ASSERT_EQ(list->model()->columnCount(), 2);
    EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), "MP3 File(s)");
    EXPECT_EQ(list->model()->headerData(1, Qt::Horizontal).toString(), "Bitrate");
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_TRUE(list->uniformRowHeights());
    EXPECT_EQ(list->model()->rowCount(), 0);
    EXPECT_TRUE(list->DropTarget());
    EXPECT_TRUE(list->viewport()->acceptDrops());
}

TEST_F(Form1Test, ProgressBarStartsEmptyWhiteAndWithoutText) {
    auto form = Start();
    EXPECT_EQ(ControlsOf(*form).ProgressBar1->value(), ControlsOf(*form).ProgressBar1->minimum());
    EXPECT_FALSE(ControlsOf(*form).ProgressBar1->isTextVisible());
    EXPECT_EQ(ControlsOf(*form).ProgressBar1->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(form->ProgressValue(), 0.0f);
}

TEST_F(Form1Test, HiddenCommand1HoldsTheFirstFocus) {
    auto form = Start();
    ShowAndSettle(form.get());
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(ControlsOf(*form).Command1));
    // Tab moves on in the laid-out order.
    QWidget* next = ControlsOf(*form).Command1->nextInFocusChain();
    EXPECT_EQ(next, static_cast<QWidget*>(ControlsOf(*form).Check1));
}

// --- The bitrate menu and its remembered choice -------------------------------------------

TEST_F(Form1Test, MenuHoldsTheEighteenEntriesInOrder) {
    auto form = Start();
    const QStringList expected = {"Reduce to 8 kbps",   "Reduce to 16 kbps",  "Reduce to 24 kbps",
                                  "Reduce to 32 kbps",  "Reduce to 40 kbps",  "Reduce to 48 kbps",
                                  "Reduce to 56 kbps",  "Reduce to 64 kbps",  "Reduce to 80 kbps",
                                  "Reduce to 96 kbps",  "Reduce to 112 kbps", "Reduce to 128 kbps",
                                  "Reduce to 144 kbps", "Reduce to 160 kbps", "Reduce to 192 kbps",
                                  "Reduce to 224 kbps", "Reduce to 256 kbps", "Reduce to 320 kbps"};
    QStringList shown;
    for (int i = 0; i < ControlsOf(*form).Combo1->count(); ++i)
        shown << ControlsOf(*form).Combo1->itemText(i);
    EXPECT_EQ(shown, expected);
    EXPECT_FALSE(ControlsOf(*form).Combo1->isEditable());
}

TEST_F(Form1Test, FirstStartShowsNinetySixAndStoresNine) {
    ASSERT_FALSE(ConfigFile().startsWith(QDir::homePath()));
    StoreMenuSetting({});
    ASSERT_EQ(StoredOnDisk(), "");
    auto form = Start();
    EXPECT_EQ(ControlsOf(*form).Combo1->currentIndex(), 9);
    EXPECT_EQ(ControlsOf(*form).Combo1->currentText(), "Reduce to 96 kbps");
    EXPECT_EQ(StoredOnDisk(), "9");
}

// Stored texts and the entry they select; texts that are not a whole number from 0 to 17 fall
// back to 9, which is then written back.
TEST_F(Form1Test, StoredChoiceIsRestored) {
    const std::vector<std::tuple<QString, int, QString>> table = {
        {"0", 0, "Reduce to 8 kbps"},      {"17", 17, "Reduce to 320 kbps"},
        {"7", 7, "Reduce to 64 kbps"},     {"-1", 9, "Reduce to 96 kbps"},
        {"18", 9, "Reduce to 96 kbps"},    {"abc", 9, "Reduce to 96 kbps"},
        {"9.5", 9, "Reduce to 96 kbps"},   {"", 9, "Reduce to 96 kbps"},
        {"32768", 9, "Reduce to 96 kbps"}, {"1e400", 9, "Reduce to 96 kbps"},
    };
    for (const auto& [strStored, intIndex, strText] : table) {
        SCOPED_TRACE(strStored.toStdString());
        StoreMenuSetting(strStored);
        auto form = Start();
        EXPECT_EQ(ControlsOf(*form).Combo1->currentIndex(), intIndex);
        EXPECT_EQ(ControlsOf(*form).Combo1->currentText(), strText);
        EXPECT_EQ(StoredOnDisk(), QString::number(intIndex));
    }
}

TEST_F(Form1Test, MenuIndexFromSettingReadsWholeNumbersOnly) {
    const std::vector<std::pair<QString, int>> table = {
        {"0", 0},   {"17", 17}, {" 12 ", 12}, {"012", 12}, {"3.0", 3},
        {"-0", 0},  {"-1", 9},  {"18", 9},    {"abc", 9},  {"9.5", 9},
        {"2.5", 9}, {"", 9},    {"nan", 9},   {"inf", 9},  {"4x", 9}};
    for (const auto& [strStored, intIndex] : table) {
        SCOPED_TRACE(strStored.toStdString());
        EXPECT_EQ(MenuIndexFromSetting(strStored), intIndex);
    }
}

TEST_F(Form1Test, MenuChangeIsWrittenAtOnceAndSurvivesARestart) {
    StoreMenuSetting({});
    {
        auto form = Start();
        ControlsOf(*form).Combo1->setCurrentIndex(7);
        EXPECT_EQ(StoredOnDisk(), "7");  // written on the change, not at exit
        ControlsOf(*form).Combo1->setCurrentIndex(16);
        EXPECT_EQ(StoredOnDisk(), "16");
    }
    auto form = Start();
    EXPECT_EQ(ControlsOf(*form).Combo1->currentText(), "Reduce to 256 kbps");
}

TEST_F(Form1Test, MenuChangeByKeyboardIsStored) {
    StoreMenuSetting("3");
    auto form = Start();
    ShowAndSettle(form.get());
    ControlsOf(*form).Combo1->setFocus();
    KeyClick(ControlsOf(*form).Combo1, Qt::Key_Down);
    EXPECT_EQ(ControlsOf(*form).Combo1->currentIndex(), 4);
    EXPECT_EQ(StoredOnDisk(), "4");
}

// --- The hand pointer file ----------------------------------------------------------------

// A 32 by 32 cursor file with its hotspot at (5, 2), made from an icon written by Qt.
QByteArray HandCursorFile() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QByteArray btData;
    {
        QBuffer buffer(&btData);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "ico");
        EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    }
    btData[2] = 2;  // type: cursor
    btData[10] = 5;
    btData[11] = 0;  // hotspot x
    btData[12] = 2;
    btData[13] = 0;  // hotspot y
    return btData;
}

TEST_F(Form1Test, HandPointerIsLoadedFromTheProgramFolder) {
    QFile file(programFolder.filePath("HAND-M.CUR"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(HandCursorFile());
    file.close();
    auto form = Start();
    ASSERT_TRUE(form->HasMouseIcon());
    form->SetMousePointer(Pointer::Custom);
    EXPECT_EQ(form->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(form->cursor().hotSpot(), QPoint(5, 2));
}

TEST_F(Form1Test, UnreadableHandPointerIsSkipped) {
    QFile file(programFolder.filePath("HAND-M.CUR"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a cursor");
    file.close();
    auto form = Start();
    EXPECT_FALSE(form->HasMouseIcon());
    EXPECT_EQ(ControlsOf(*form).Combo1->count(), 18);  // start-up went on
    form->SetMousePointer(Pointer::Custom);
    EXPECT_EQ(form->cursor().shape(), Qt::PointingHandCursor);
}

// --- Pointer and progress accessors ---------------------------------------------------------

TEST_F(Form1Test, PointerValuesSelectTheirShapes) {
    auto form = Start();
    EXPECT_EQ(form->MousePointer(), 0);  // at start
    EXPECT_FALSE(form->testAttribute(Qt::WA_SetCursor));
    form->SetMousePointer(Pointer::Hourglass);
    EXPECT_EQ(form->MousePointer(), 11);
    EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
    form->SetMousePointer(Pointer::Arrow);
    EXPECT_EQ(form->MousePointer(), 1);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(form->testAttribute(Qt::WA_SetCursor));
    form->SetMousePointer(Pointer::Custom);  // no hand file: a pointing hand
    EXPECT_EQ(form->MousePointer(), 99);
    EXPECT_EQ(form->cursor().shape(), Qt::PointingHandCursor);
    form->SetMousePointer(Pointer::Default);
    EXPECT_EQ(form->MousePointer(), 0);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);  // a window's unset pointer
}

TEST_F(Form1Test, ProgressKeepsTheExactValueAndShowsFractions) {
    auto form = Start();
    const float sngThird = static_cast<float>(1.0 / 3.0 * 100.0);  // 33.33333
    form->SetProgressValue(sngThird);
    EXPECT_EQ(form->ProgressValue(), sngThird);
    const double dblShown =
        100.0 *
        (ControlsOf(*form).ProgressBar1->value() - ControlsOf(*form).ProgressBar1->minimum()) /
        (ControlsOf(*form).ProgressBar1->maximum() - ControlsOf(*form).ProgressBar1->minimum());
    EXPECT_NEAR(dblShown, 33.333, 0.01);
    form->SetProgressValue(100.0f);
    EXPECT_EQ(ControlsOf(*form).ProgressBar1->value(), ControlsOf(*form).ProgressBar1->maximum());
    form->SetProgressValue(0.0f);
    EXPECT_EQ(ControlsOf(*form).ProgressBar1->value(), ControlsOf(*form).ProgressBar1->minimum());
    // Out of range values are kept but the bar stays within its range.
    form->SetProgressValue(150.0f);
    EXPECT_EQ(form->ProgressValue(), 150.0f);
    EXPECT_EQ(ControlsOf(*form).ProgressBar1->value(), ControlsOf(*form).ProgressBar1->maximum());
}

// --- The list's event forwarding -------------------------------------------------------------

TEST(FileListViewTest, ForwardsMouseEventsInRowCoordinates) {
    FileListView list;
    FileListModel rows;
    list.setModel(&rows);
    list.resize(300, 200);
    rows.AppendAdmitted("/a.mp3", 128);
    ShowAndSettle(&list);

    struct Forwarded {
        QString strWhat;
        Qt::MouseButton button;
        Qt::KeyboardModifiers shift;
        QPoint pntAt;
    };
    std::vector<Forwarded> seen;
    auto record = [&](const char* what) {
        return [&seen, what](Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
            seen.push_back({what, button, shift, QPoint(x, y)});
        };
    };
    QObject::connect(&list, &FileListView::mouseDown, record("down"));
    QObject::connect(&list, &FileListView::mouseMove, record("move"));
    QObject::connect(&list, &FileListView::mouseUp, record("up"));
    QObject::connect(&list, &QAbstractItemView::pressed, [&](const QModelIndex& row) {
        seen.push_back({row.row() == 0 ? "row 1" : "row ?", Qt::NoButton, {}, {}});
    });
    int lngDoubleClicks = 0;
    QObject::connect(&list, &FileListView::doubleClick, [&] { ++lngDoubleClicks; });

    const QPoint pntRow = list.visualRect(rows.index(0, 0)).center();
    QWidget* viewport = list.viewport();
    SendMouse(viewport, QEvent::MouseButtonPress, Qt::LeftButton, Qt::ShiftModifier, pntRow);
    SendMouse(viewport, QEvent::MouseMove, Qt::LeftButton, Qt::NoModifier, pntRow + QPoint(3, 1));
    SendMouse(viewport, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoModifier, pntRow);
    // Without a button held, moves are forwarded too (the list tracks the pointer).
    SendMouse(viewport, QEvent::MouseMove, Qt::NoButton, Qt::NoModifier, pntRow + QPoint(0, 40));

    // The row counts as clicked when the button goes down on it, before the press is forwarded.
    ASSERT_EQ(seen.size(), 5);
    EXPECT_EQ(seen[0].strWhat, "row 1");
    EXPECT_EQ(seen[1].strWhat, "down");
    EXPECT_EQ(seen[1].button, Qt::LeftButton);
    EXPECT_EQ(seen[1].shift, Qt::ShiftModifier);
    EXPECT_EQ(seen[1].pntAt, pntRow);
    EXPECT_EQ(list.indexAt(seen[1].pntAt).row(), 0);
    EXPECT_EQ(seen[2].strWhat, "move");
    EXPECT_EQ(seen[2].button, Qt::LeftButton);  // the buttons held during the move
    EXPECT_EQ(seen[2].pntAt, pntRow + QPoint(3, 1));
    EXPECT_EQ(seen[3].strWhat, "up");
    EXPECT_EQ(seen[3].button, Qt::LeftButton);
    EXPECT_EQ(seen[4].strWhat, "move");
    EXPECT_EQ(seen[4].button, Qt::NoButton);

    SendMouse(viewport, QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::NoModifier, pntRow);
    EXPECT_EQ(lngDoubleClicks, 1);
}

TEST(FileListViewTest, DragEventsReachTheReceiverWhichDecides) {
    FileListView list;
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/music/a.mp3")});
    bool blnAccept = true;
    int lngOver = 0, lngDrop = 0;
    QObject::connect(&list, &FileListView::dragOver, [&](QDragMoveEvent* event) {
        ++lngOver;
        if (blnAccept) {
            event->acceptProposedAction();
        } else {
            event->ignore();
        }
    });
    QObject::connect(&list, &FileListView::dragDrop, [&](QDropEvent* event) {
        ++lngDrop;
        event->acceptProposedAction();
    });

    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &enter);
    EXPECT_EQ(lngOver, 1);
    EXPECT_TRUE(enter.isAccepted());

    blnAccept = false;
    QDragMoveEvent over(QPoint(6, 6), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &over);
    EXPECT_EQ(lngOver, 2);
    EXPECT_FALSE(over.isAccepted());

    QDropEvent drop(QPointF(6, 6), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list.viewport(), &drop);
    EXPECT_EQ(lngDrop, 1);
    EXPECT_TRUE(drop.isAccepted());

    list.SetDropTarget(false);
    EXPECT_FALSE(list.DropTarget());
    list.SetDropTarget(true);
    EXPECT_TRUE(list.DropTarget());
}

TEST(FileListViewTest, ListPointerKeepsItsValue) {
    FileListView list;
    list.SetMousePointer(Pointer::Custom);
    EXPECT_EQ(list.MousePointer(), 99);
    EXPECT_EQ(list.viewport()->cursor().shape(), Qt::PointingHandCursor);
    list.SetMouseIcon(QCursor(Qt::CrossCursor));
    EXPECT_EQ(list.viewport()->cursor().shape(), Qt::CrossCursor);
    list.SetMousePointer(Pointer::Arrow);
    EXPECT_EQ(list.viewport()->cursor().shape(), Qt::ArrowCursor);
    list.SetMousePointer(Pointer::Default);
    EXPECT_FALSE(list.viewport()->testAttribute(Qt::WA_SetCursor));
}

// --- Adding files by dialog ------------------------------------------------------------------

constexpr const char* kDialogTitle = "Add File(s) - Hold Ctrl or Shift to select multiple files";

TEST_F(Form1Test, CancelledDialogChangesNothing) {
    auto form = Start();
    ControlsOf(*form).Check1->setChecked(true);
    form->Check1_Click();
    ASSERT_EQ(prompts.openFileTitles.size(), 1);
    EXPECT_EQ(prompts.openFileTitles[0], kDialogTitle);
    EXPECT_EQ(prompts.openFileFilters[0], "Mp3 Files (*.mp3)");
    EXPECT_EQ(ControlsOf(*form).fileList->RowCount(), 0);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(ControlsOf(*form).Check1->isChecked());
}

TEST_F(Form1Test, DialogAddsOneOrSeveralFilesInTheGivenOrder) {
    const QString strOne = Mp3("One Song.MP3");
    const QString strB = Mp3("b.mp3");
    const QString strA = Mp3("a.mp3");
    const QString strTilde = Mp3("~c.mp3");
    auto form = Start();
    prompts.openFileAnswers.push_back(FakePrompts::Files({strOne}));
    prompts.openFileAnswers.push_back(FakePrompts::Files({strB, strA, strTilde, strOne}));
    ControlsOf(*form).Check1->click();
    ControlsOf(*form).Check1->click();
    EXPECT_EQ(prompts.openFileTitles.size(), 2);
    using windowtest::Row;
    const std::vector<Row> expected = {{strOne, "128 kbps"},
                                       {strB, "128 kbps"},
                                       {strA, "128 kbps"},
                                       {strTilde, "128 kbps"},
                                       {strOne, "128 kbps"}};
    EXPECT_EQ(Rows(*form), expected);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Form1Test, DialogWarnsOncePerInvalidFileAndKeepsGoing) {
    const QString strFirst = Mp3("first.mp3");
    const QString strText = MakeFile("notes.mp3", "just some text, not audio\n");
    const QString strFast = MakeFile("fast.mp3", Mp3Frames(3, 10));
    const QString strMissing = files.path() + "/gone.mp3";
    // A valid MP3 file named as a Reduce run names its new file until it is verified.
    const QString strNewFile = Mp3(".first_64KBIT_REDUCED.mp3.x1Y2z3.part");
    auto form = Start();
    // While a warning is open the rows already admitted are in place.
    std::vector<int> rowsAtWarning;
    prompts.onMessage = [&](const FakePrompts::Message&) {
        rowsAtWarning.push_back(ControlsOf(*form).fileList->RowCount());
    };
    prompts.openFileAnswers.push_back(
        FakePrompts::Files({strFirst, strText, strNewFile, strFast, strMissing}));
    ControlsOf(*form).Check1->click();
    using windowtest::Row;
    const std::vector<Row> expected = {{strFirst, "128 kbps"}, {strFast, "160 kbps"}};
    EXPECT_EQ(Rows(*form), expected);
    ASSERT_EQ(prompts.messages.size(), 3);
    for (const auto& [message, strPath] :
         {std::pair{prompts.messages[0], strText}, std::pair{prompts.messages[1], strNewFile},
          std::pair{prompts.messages[2], strMissing}}) {
        EXPECT_EQ(message.strTitle, "Kestrelund");
        EXPECT_EQ(message.strText, "Not a valid MP3 file!");
        EXPECT_EQ(message.icon, Prompts::Icon::Warning);
        EXPECT_EQ(message.strInformative, strPath);
    }
    EXPECT_EQ(rowsAtWarning, (std::vector<int>{1, 1, 2}));
}

TEST_F(Form1Test, ButtonGuardRunsOncePerPress) {
    auto form = Start();
    ShowAndSettle(form.get());
    // An unticked button does nothing: this is the click its own reset would raise.
    form->Check1_Click();
    EXPECT_EQ(prompts.openFileTitles.size(), 0);

    Click(ControlsOf(*form).Check1, ControlsOf(*form).Check1->rect().center());
    EXPECT_EQ(prompts.openFileTitles.size(), 1);
    EXPECT_FALSE(ControlsOf(*form).Check1->isChecked());

    ControlsOf(*form).Check1->click();
    EXPECT_EQ(prompts.openFileTitles.size(), 2);
    EXPECT_FALSE(ControlsOf(*form).Check1->isChecked());

    ControlsOf(*form).Check1->setFocus();
    KeyClick(ControlsOf(*form).Check1, Qt::Key_Space);
    EXPECT_EQ(prompts.openFileTitles.size(), 3);
    EXPECT_FALSE(ControlsOf(*form).Check1->isChecked());
}

}  // namespace
