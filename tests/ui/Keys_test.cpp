// SPDX-License-Identifier: GPL-3.0-or-later
// Keys with no visible change of their own: Delete on the current row, Ctrl+Up and Ctrl+Down
// moving the selected row, digits typed in the bitrate menu, Ctrl+O; and where the file dialogs
// open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include "WindowFixture.h"
#include "ui/QtPrompts.h"
#include "ui/RowReorder.h"

namespace {

using windowtest::Row;

class KeysTest : public windowtest::WindowTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WindowTest::SetUp());
        ASSERT_NO_FATAL_FAILURE(ShowForm());
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    void Rows(int lngCount) {
        for (int i = 1; i <= lngCount; ++i)
            AppendRow(*Ui().fileList, QString("/m/%1.mp3").arg(i), i % 2 ? "128 kbps" : "");
    }
    QStringList Paths() const {
        QStringList paths;
        for (const Row& row : WindowTest::Rows()) paths << row.first;
        return paths;
    }
    int Selected() const {
        const QModelIndexList rows = Ui().ListView1->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    }
};

TEST_F(KeysTest, DeleteRemovesTheCurrentRowSelectedOrNot) {
    Rows(3);
    Ui().ListView1->setFocus();
    Ui().ListView1->selectionModel()->setCurrentIndex(RowIndex(1), QItemSelectionModel::NoUpdate);
    ASSERT_EQ(Selected(), -1);
    QTest::keyClick(Ui().ListView1, Qt::Key_Delete);
    EXPECT_EQ(Paths(), (QStringList{"/m/1.mp3", "/m/3.mp3"}));
    // The keypad's Delete too; with nothing current, nothing goes.
    QTest::keyClick(Ui().ListView1, Qt::Key_Delete, Qt::KeypadModifier);
    EXPECT_EQ(Paths().size(), 1);
    Ui().ListView1->selectionModel()->clear();
    Ui().ListView1->setCurrentIndex(QModelIndex());
    QTest::keyClick(Ui().ListView1, Qt::Key_Delete);
    EXPECT_EQ(Paths().size(), 1);
}

TEST_F(KeysTest, CtrlUpAndDownMoveTheSelectedRowAndTheListFollows) {
    Rows(30);
    Ui().ListView1->setFocus();
    Ui().ListView1->setCurrentIndex(RowIndex(1));
    QTest::keyClick(Ui().ListView1, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Paths().mid(0, 3), (QStringList{"/m/2.mp3", "/m/1.mp3", "/m/3.mp3"}));
    EXPECT_EQ(Ui().fileList->BitrateAt(0), "");  // the bitrate goes with its file
    EXPECT_EQ(Selected(), 0);
    EXPECT_EQ(Ui().ListView1->currentIndex().row(), 0);
    QTest::keyClick(Ui().ListView1, Qt::Key_Up, Qt::ControlModifier);  // already first
    EXPECT_EQ(Paths().first(), "/m/2.mp3");
    // Moved down past the last row shown, the file stays selected and in view.
    for (int i = 0; i < 20; ++i) QTest::keyClick(Ui().ListView1, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Paths().indexOf("/m/2.mp3"), 20);
    EXPECT_EQ(Selected(), 20);
    const VisibleRows shown = VisibleRowsOf(*Ui().ListView1);
    EXPECT_GE(21, shown.lngFirst);
    EXPECT_LE(21, shown.lngLast);
    EXPECT_EQ(Paths().mid(0, 3), (QStringList{"/m/1.mp3", "/m/3.mp3", "/m/4.mp3"}));
}

TEST_F(KeysTest, DigitsTypedInTheMenuPickThatBitrate) {
    Ui().Combo1->setFocus();
    const struct {
        const char* szKeys;
        const char* szShown;
    } cases[] = {{"6", "Reduce to 64 kbps"},    {"64", "Reduce to 64 kbps"},
                 {"192", "Reduce to 192 kbps"}, {"1", "Reduce to 16 kbps"},
                 {"9", "Reduce to 96 kbps"},    {"320", "Reduce to 320 kbps"},
                 {"7", "Reduce to 320 kbps"}};  // no such number: nothing changes
    for (const auto& c : cases) {
        QTest::qWait(QApplication::keyboardInputInterval() + 50);  // a new number
        QTest::keyClicks(Ui().Combo1, c.szKeys);
        EXPECT_EQ(Ui().Combo1->currentText(), c.szShown) << c.szKeys;
    }
}

TEST_F(KeysTest, CtrlOAddsFilesAsTheButtonDoes) {
    Ui().ListView1->setFocus();
    QTest::keyClick(form.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(prompts.openFileTitles,
              QStringList{"Add File(s) - Hold Ctrl or Shift to select multiple files"});
    EXPECT_FALSE(Ui().Check1->isChecked());
}

TEST(DialogFolder, TheLastFolderUsedElseMusicElseHome) {
    QTemporaryDir dir;
    const QString strHome = dir.filePath("home"), strMusic = dir.filePath("home/Music");
    const QString strOther = dir.filePath("other"), strThird = dir.filePath("third");
    for (const QString& strFolder : {strOther, strThird}) ASSERT_TRUE(QDir().mkpath(strFolder));
    EXPECT_EQ(DialogStartFolder("", strMusic, strHome), strHome);  // no Music folder yet
    ASSERT_TRUE(QDir().mkpath(strMusic));
    EXPECT_EQ(DialogStartFolder("", strMusic, strHome), strMusic);
    EXPECT_EQ(DialogStartFolder(dir.filePath("gone"), strMusic, strHome), strMusic);

    // The real dialogs, one after the other: each opens where the one before was used.
    const QByteArray btHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(strHome));
    QFile(strOther + "/a.mp3").open(QIODevice::WriteOnly);
    QStringList strOpenedIn;
    const auto answer = [&](const QString& strChoice) {
        QTimer::singleShot(0, [&, strChoice] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            strOpenedIn << dialog->directory().absolutePath();
            if (strChoice.isEmpty()) return dialog->reject();
            dialog->selectFile(strChoice);
            static_cast<QDialog*>(dialog)->accept();
        });
    };
    QtPrompts prompts;
    answer("");
    EXPECT_EQ(prompts.GetExistingDirectory(nullptr, "Please select folder to add:"), "");
    answer(strOther + "/a.mp3");
    EXPECT_EQ(prompts.GetOpenFileNames(nullptr, "Add", "Mp3 Files (*.mp3)"),
              QByteArrayList{QFile::encodeName(strOther + "/a.mp3")});
    answer(strThird);
    EXPECT_EQ(prompts.GetExistingDirectory(nullptr, "Please select folder to add:"),
              QFile::encodeName(strThird));
    answer("");
    prompts.GetOpenFileNames(nullptr, "Add", "Mp3 Files (*.mp3)");
    qputenv("HOME", btHome);
    EXPECT_EQ(strOpenedIn, (QStringList{strMusic, strMusic, strOther, strThird}));
}

}  // namespace
