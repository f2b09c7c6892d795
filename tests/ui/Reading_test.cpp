// SPDX-License-Identifier: GPL-3.0-or-later
// What a user meets first: long paths shortened in the middle with the full path as tooltip, the
// keyboard and screen-reader names, the window's own text colours, and message boxes wide enough
// for their title and paths.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include "filelist/FileListModel.h"
#include "ui/MessageFit.h"
#include "ui/PathDelegate.h"
#include "ui/QtPrompts.h"
#include "ui/WindowFixture.h"

using windowtest::WindowTest;

namespace {

const QString kLong = "/home/ana/Music/Field Recordings/Autumn/03 Open Field.mp3";

TEST(PathElision, KeepsTheFileNameAndCutsAtASeparator) {
    const QFontMetrics fm(QFont("Arial", 9));
    const auto w = [&](const QString& s) { return fm.horizontalAdvance(s); };
    const struct {
        int width;
        QString shown;
    } cases[] = {
        {w(kLong), kLong},
        {w("/home/ana/Music/…/03 Open Field.mp3"), "/home/ana/Music/…/03 Open Field.mp3"},
        {w("/home/ana/Music/…/03 Open Field.mp3") - 1, "/home/ana/…/03 Open Field.mp3"},
        {w("/…/03 Open Field.mp3"), "/…/03 Open Field.mp3"},
        {w("…/03 Open Field.mp3"), "…/03 Open Field.mp3"},
        {w("03 Open Field.mp3") - 10,
         fm.elidedText("03 Open Field.mp3", Qt::ElideMiddle, w("03 Open Field.mp3") - 10)},
    };
    for (const auto& c : cases) {
        const QString shown = ElidePath(kLong, fm, c.width);
        EXPECT_EQ(shown, c.shown) << c.width;
        EXPECT_LE(w(shown), c.width);
    }
}

TEST_F(WindowTest, LongPathRowKeepsItsTextAndShowsItAsTooltip) {
    ShowForm();
    Ui().fileList->AppendDropped(QFile::encodeName(kLong));
    EXPECT_EQ(Ui().fileList->PathAt(0), kLong);
    EXPECT_EQ(Ui().ListView1->textElideMode(), Qt::ElideMiddle);
    const QRect rctRow = Ui().ListView1->visualRect(RowIndex(0));
    const auto toolTipAt = [&](QPoint pnt) {
        QHelpEvent help(QEvent::ToolTip, pnt, Ui().ListView1->viewport()->mapToGlobal(pnt));
        QApplication::sendEvent(Ui().ListView1->viewport(), &help);
        return QToolTip::text();
    };
    EXPECT_EQ(toolTipAt(rctRow.center()), kLong);
    // Below the rows the list's hint shows.
    EXPECT_EQ(toolTipAt(QPoint(5, Ui().ListView1->viewport()->height() - 3)),
              Ui().ListView1->toolTip());
    QToolTip::hideText();
}

void Key(QWidget* widget, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

TEST_F(WindowTest, KeyboardWorksTheButtonsAndTheList) {
    ShowForm();
    // Return, Enter and Space each press "Add MP3 File(s)" once.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        const qsizetype lngAsked = prompts.openFileTitles.size();
        Ui().Check1->setFocus();
        Key(Ui().Check1, key);
        EXPECT_EQ(prompts.openFileTitles.size(), lngAsked + 1) << key;
        EXPECT_FALSE(Ui().Check1->isChecked());
    }
    // Delete removes the selected row, as a double-click does.
    for (const char* name : {"/a.mp3", "/b.mp3", "/c.mp3"}) Ui().fileList->AppendDropped(name);
    Ui().ListView1->setFocus();
    Ui().ListView1->setCurrentIndex(RowIndex(1));
    Key(Ui().ListView1, Qt::Key_Delete);
    EXPECT_EQ(Rows(), (std::vector<windowtest::Row>{{"/a.mp3", ""}, {"/c.mp3", ""}}));
    // The row the keys move to stays in view, and so does the row selected after a Delete.
    for (int i = 0; i < 40; ++i)
        Ui().fileList->AppendDropped(QByteArray("/") + QByteArray::number(i) + ".mp3");
    const auto inView = [&](const QModelIndex& row) {
        const QRect rctRow = Ui().ListView1->visualRect(row);
        return row.isValid() && rctRow.top() >= 0 &&
               rctRow.bottom() < Ui().ListView1->viewport()->height();
    };
    Ui().ListView1->setCurrentIndex(RowIndex(0));
    for (int i = 0; i < 25; ++i) Key(Ui().ListView1, Qt::Key_Down);
    EXPECT_EQ(Ui().ListView1->currentIndex().row(), 25);
    EXPECT_TRUE(inView(Ui().ListView1->currentIndex()));
    Key(Ui().ListView1, Qt::Key_Delete);
    EXPECT_EQ(Ui().fileList->RowCount(), 41);
    EXPECT_EQ(Ui().ListView1->selectionModel()->selectedRows(), QModelIndexList{RowIndex(25)});
    EXPECT_TRUE(inView(RowIndex(25)));
    // Pressed at the last row scrolled out of sight, Delete brings the row selected next in.
    Key(Ui().ListView1, Qt::Key_End);
    Ui().ListView1->scrollToTop();
    Key(Ui().ListView1, Qt::Key_Delete);
    EXPECT_TRUE(inView(Ui().ListView1->currentIndex()));
    // The focused list marks its frame in the highlight colour.
    QApplication::processEvents();
    const QImage image = Ui().ListView1->grab().toImage();
    EXPECT_EQ(image.pixelColor(0, image.height() / 2),
              Ui().ListView1->palette().color(QPalette::Highlight));
}

TEST_F(WindowTest, ControlsHaveAccessibleNamesAndBlackTextOnWhite) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             Ui().Command1, Ui().Check1, Ui().Check2, Ui().Check3, Ui().ListView1, Ui().Combo1,
             Ui().ProgressBar1, Ui().Label1})
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
    EXPECT_EQ(Ui().Check3->accessibleName(), "Add All MP3 File(s) In Folder");
    // The list tells how to remove and move rows with the keys; the window is announced as one.
    const QString strListHelp = Ui().ListView1->accessibleDescription();
    EXPECT_TRUE(strListHelp.startsWith(Ui().ListView1->toolTip()));
    EXPECT_TRUE(strListHelp.contains("Delete key removes") && strListHelp.contains("Ctrl+Up"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form.get())->role(), QAccessible::Window);
    // The large buttons are announced as push buttons that can be pressed, not as check boxes;
    // a press through the screen reader acts as a click and the button springs back.
    for (QToolButton* button : {Ui().Check1, Ui().Check2, Ui().Check3}) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->role(), QAccessible::Button);
        EXPECT_EQ(accessible->text(QAccessible::Name), button->text());
        EXPECT_FALSE(accessible->state().checkable);
        ASSERT_NE(accessible->actionInterface(), nullptr);
        EXPECT_EQ(accessible->actionInterface()->actionNames().value(0),
                  QAccessibleActionInterface::pressAction());
        EXPECT_FALSE(accessible->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::toggleAction()));
    }
    // The press returns at once; the click, and with it the dialog, follows from the event loop.
    QAccessible::queryAccessibleInterface(Ui().Check1)
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(prompts.openFileTitles.size(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return prompts.openFileTitles.size() == 1; }));
    EXPECT_FALSE(Ui().Check1->isChecked());

    // A dark desktop palette leaves the window's text black on white.
    const QPalette original = QApplication::palette();
    QPalette dark(Qt::white, Qt::black);  // white text on a black window
    QApplication::setPalette(dark);
    form = std::make_unique<Form1>(prompts, programFolder.path());
    for (QWidget* control :
         std::initializer_list<QWidget*>{form.get(), Ui().Check1, Ui().ListView1, Ui().Combo1})
        for (const QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            EXPECT_EQ(control->palette().color(role), QColor(Qt::black)) << role;
    EXPECT_EQ(Ui().ListView1->palette().color(QPalette::Base), QColor(Qt::white));
    QApplication::setPalette(original);
}

TEST(MessageFit, PathsBreakAtSeparatorsAndTheBoxFitsTitleAndPath) {
    const QChar z(0x200B);
    const struct {
        QString in, out;
    } breaks[] = {
        {"/home/ana/x.mp3", QString("/") + z + "home/" + z + "ana/" + z + "x.mp3"},
        {"Done.", "Done."},
        {"a/ b//c/", QString("a/ b/") + "/" + z + "c/"},
        {"Tried /x/y z\n/a b/c d",
         QString("Tried /") + z + "x/" + z + "y z\n/" + z + "a\u00A0b/" + z + "c\u00A0d"},
    };
    for (const auto& c : breaks) EXPECT_EQ(WithPathBreaks(c.in), c.out);

    const QFontMetrics fm(QFont("Arial", 9));
    const int lngTitle = fm.horizontalAdvance("Kestrelund") + kTitleBarChrome;
    EXPECT_EQ(MessageTextWidth(fm, fm, "Kestrelund", {"Done.", ""}, 640), lngTitle);
    EXPECT_EQ(MessageTextWidth(fm, fm, "Kestrelund", {"Not a valid MP3 file!", kLong}, 640),
              qMax(lngTitle, fm.horizontalAdvance(kLong) + 1));
    EXPECT_EQ(MessageTextWidth(fm, fm, "Kestrelund", {kLong.repeated(4)}, 640), 640);
    EXPECT_EQ(MessageTextWidth(fm, fm, "K", {"short\n" + kLong}, 1000),
              fm.horizontalAdvance(kLong) + 1);
}

// What a screen reader gets from a message box is the text as given, paths whole, however the
// box wraps them on the screen.
TEST(MessageFit, AScreenReaderReadsTheRealPaths) {
    const QString strPath = "/home/ana/My Music/Field Recordings/03 Open Field.mp3";
    QStringList strRead;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        for (QLabel* label : box->findChildren<QLabel*>()) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(label);
            for (const QAccessible::Text t : {QAccessible::Name, QAccessible::Description})
                if (!accessible->text(t).isEmpty()) strRead << accessible->text(t);
        }
        box->close();
    });
    QtPrompts prompts;
    prompts.ShowMessage(nullptr, "Kestrelund", "Not a valid MP3 file!", Prompts::Icon::Warning,
                        strPath, QString());
    EXPECT_TRUE(strRead.contains("Not a valid MP3 file!")) << strRead.join('|').toStdString();
    EXPECT_TRUE(strRead.contains(strPath)) << strRead.join('|').toStdString();
    for (const QString& strText : strRead)
        EXPECT_FALSE(strText.contains(QChar(0x200B)) || strText.contains(QChar(0x00A0)));
}

}  // namespace
