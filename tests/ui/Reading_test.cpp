// SPDX-License-Identifier: GPL-3.0-or-later
// What a user meets first: long paths shortened in the middle with the full path as tooltip, the
// keyboard and screen-reader names, the window's own text colours, and message boxes wide enough
// for their title and paths.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QToolTip>

#include "filelist/FileList.h"
#include "ui/MessageFit.h"
#include "ui/PathDelegate.h"
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
    form->fileList->AppendDropped(kLong);
    EXPECT_EQ(form->fileList->PathAt(0), kLong);
    EXPECT_EQ(form->ListView1->textElideMode(), Qt::ElideMiddle);
    const QRect rctRow = form->ListView1->visualItemRect(form->fileList->ItemAt(0));
    const auto toolTipAt = [&](QPoint pnt) {
        QHelpEvent help(QEvent::ToolTip, pnt, form->ListView1->viewport()->mapToGlobal(pnt));
        QApplication::sendEvent(form->ListView1->viewport(), &help);
        return QToolTip::text();
    };
    EXPECT_EQ(toolTipAt(rctRow.center()), kLong);
    // Below the rows the list's hint shows.
    EXPECT_EQ(toolTipAt(QPoint(5, form->ListView1->viewport()->height() - 3)),
              form->ListView1->toolTip());
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
        form->Check1->setFocus();
        Key(form->Check1, key);
        EXPECT_EQ(prompts.openFileTitles.size(), lngAsked + 1) << key;
        EXPECT_FALSE(form->Check1->isChecked());
    }
    // Delete removes the selected row, as a double-click does.
    for (const char* name : {"/a.mp3", "/b.mp3", "/c.mp3"}) form->fileList->AppendDropped(name);
    form->ListView1->setFocus();
    form->ListView1->setCurrentItem(form->fileList->ItemAt(1));
    Key(form->ListView1, Qt::Key_Delete);
    EXPECT_EQ(Rows(), (std::vector<windowtest::Row>{{"/a.mp3", ""}, {"/c.mp3", ""}}));
    // The focused list marks its frame in the highlight colour.
    QApplication::processEvents();
    const QImage image = form->ListView1->grab().toImage();
    EXPECT_EQ(image.pixelColor(0, image.height() / 2),
              form->ListView1->palette().color(QPalette::Highlight));
}

TEST_F(WindowTest, ControlsHaveAccessibleNamesAndBlackTextOnWhite) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             form->Command1, form->Check1, form->Check2, form->Check3, form->ListView1,
             form->Combo1, form->ProgressBar1, form->Label1})
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
    EXPECT_EQ(form->Check3->accessibleName(), "Add All MP3 File(s) In Folder");
    EXPECT_EQ(form->ListView1->accessibleDescription(), form->ListView1->toolTip());

    // A dark desktop palette leaves the window's text black on white.
    const QPalette original = QApplication::palette();
    QPalette dark(Qt::white, Qt::black);  // white text on a black window
    QApplication::setPalette(dark);
    form = std::make_unique<Form1>(prompts, programFolder.path());
    for (QWidget* control :
         std::initializer_list<QWidget*>{form.get(), form->Check1, form->ListView1, form->Combo1})
        for (const QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            EXPECT_EQ(control->palette().color(role), QColor(Qt::black)) << role;
    EXPECT_EQ(form->ListView1->palette().color(QPalette::Base), QColor(Qt::white));
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

}  // namespace
