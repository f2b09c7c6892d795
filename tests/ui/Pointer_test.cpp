// SPDX-License-Identifier: GPL-3.0-or-later
// The pointer rule: the hand over the three large buttons, the default pointer elsewhere, and the
// hourglass of a folder add or a Reduce run left alone. Checked through the handlers and through
// real pointer moves, both as the window's pointer value and as the pointer actually shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <functional>
#include <memory>
#include <vector>

#include "WindowFixture.h"
#include "reduce/OutputNaming.h"
#include "support/FolderTree.h"
#include "support/ReduceTestFiles.h"

namespace {

class PointerTest : public windowtest::WindowTest {
  protected:
    // The pointer the person sees where the pointer is now.
    Qt::CursorShape Shown() const { return form->windowHandle()->cursor().shape(); }

    // A real move of the pointer (no button held) to pntAt within widget; each call lands on a
    // fresh spot, since a move to where the pointer already is reports nothing.
    void MoveOver(QWidget* widget, QPoint pntAt = QPoint(10, 10)) {
        pntAt += QPoint(lngJiggle % 3, 0);
        ++lngJiggle;
        QTest::mouseMove(widget, pntAt);
    }
    void MoveOverBackground() { MoveOver(form.get(), QPoint(2, 2)); }

    // A row in the list for an MP3 file made in the music folder.
    QString AddMp3Row(const QString& strName) {
        const QString strPath = music.filePath(strName);
        EXPECT_TRUE(reducetest::WriteBytes(strPath, reducetest::SyntheticMp3()));
        Ui().fileList->AppendAdmitted(QFile::encodeName(strPath), 128);
        return strPath;
    }

    QTemporaryDir music;
    int lngJiggle = 0;
};

struct HoverCase {
    const char* strHandler;
    std::function<void(Form1&)> handler;
    int lngValue;  // what the handler sets unless the hourglass shows
};

const std::vector<HoverCase>& HoverTable() {
    static const std::vector<HoverCase> table{
        {"Check1_MouseMove", [](Form1& form) { form.Check1_MouseMove(); }, 99},
        {"Check2_MouseMove", [](Form1& form) { form.Check2_MouseMove(); }, 99},
        {"Check3_MouseMove", [](Form1& form) { form.Check3_MouseMove(); }, 99},
        {"Form_MouseMove", [](Form1& form) { form.Form_MouseMove(); }, 0},
        {"Label1_MouseMove", [](Form1& form) { form.Label1_MouseMove(); }, 0},
        {"ProgressBar1_MouseDown", [](Form1& form) { form.ProgressBar1_MouseDown(); }, 0},
        {"ListView1_MouseMove",
         [](Form1& form) { form.ListView1_MouseMove(Qt::NoButton, Qt::NoModifier, 5, 5); }, 0},
    };
    return table;
}

}  // namespace

TEST_F(PointerTest, EachHandlerSetsItsValueUnlessTheHourglassShows) {
    for (const HoverCase& hover : HoverTable()) {
        for (const Pointer::Value lngBefore :
             {Pointer::Default, Pointer::Arrow, Pointer::Custom, Pointer::Hourglass}) {
            form->SetMousePointer(lngBefore);
            hover.handler(*form);
            const int lngExpected = lngBefore == 11 ? 11 : hover.lngValue;
            EXPECT_EQ(form->MousePointer(), lngExpected)
                << hover.strHandler << " with the pointer at " << lngBefore;
            const Qt::CursorShape shape = lngExpected == 99   ? Qt::PointingHandCursor
                                          : lngExpected == 11 ? Qt::WaitCursor
                                                              : Qt::ArrowCursor;
            EXPECT_EQ(form->cursor().shape(), shape) << hover.strHandler;
        }
    }
}

TEST_F(PointerTest, MovesShowTheHandOverTheButtonsAndTheDefaultElsewhere) {
    ShowForm();
    for (QToolButton* button : {Ui().Check1, Ui().Check2, Ui().Check3}) {
        MoveOverBackground();
        EXPECT_EQ(form->MousePointer(), 0);
        EXPECT_EQ(Shown(), Qt::ArrowCursor);
        MoveOver(button);
        EXPECT_EQ(form->MousePointer(), 99) << button->text().toStdString();
        EXPECT_EQ(Shown(), Qt::PointingHandCursor) << button->text().toStdString();
        EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
    }

    MoveOver(Ui().Label1, QPoint(5, 5));
    EXPECT_EQ(form->MousePointer(), 0);
    EXPECT_EQ(Shown(), Qt::ArrowCursor);

    // The menu and the progress bar leave the hand alone; a press on the bar does not.
    MoveOver(Ui().Check2);
    MoveOver(Ui().Combo1);
    EXPECT_EQ(form->MousePointer(), 99);
    MoveOver(Ui().ProgressBar1);
    EXPECT_EQ(form->MousePointer(), 99);
    EXPECT_EQ(Shown(), Qt::PointingHandCursor);
    QTest::mousePress(Ui().ProgressBar1, Qt::LeftButton, Qt::NoModifier, QPoint(20, 5));
    QTest::mouseRelease(Ui().ProgressBar1, Qt::LeftButton, Qt::NoModifier, QPoint(20, 5));
    EXPECT_EQ(form->MousePointer(), 0);

    MoveOver(Ui().Check3);
    MoveOver(Ui().ListView1->viewport());
    EXPECT_EQ(form->MousePointer(), 0);
    EXPECT_EQ(Shown(), Qt::ArrowCursor);
}

TEST_F(PointerTest, TheHandFromTheProgramFolderShowsOverTheButtons) {
    // A 32 by 32 cursor file written from an icon: type word 2, hotspot (3, 1).
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray btData;
    {
        QBuffer buffer(&btData);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.save(&buffer, "ico"));
    }
    btData[2] = 2;
    btData[10] = 3;
    btData[12] = 1;
    ASSERT_TRUE(reducetest::WriteBytes(programFolder.filePath("HAND-M.CUR"), btData));
    form = std::make_unique<Form1>(prompts, programFolder.path());
    ASSERT_TRUE(form->HasMouseIcon());
    ShowForm();
    MoveOver(Ui().Check1);
    EXPECT_EQ(form->MousePointer(), 99);
    EXPECT_EQ(Shown(), Qt::BitmapCursor);
    EXPECT_EQ(form->windowHandle()->cursor().hotSpot(), QPoint(3, 1));
}

TEST_F(PointerTest, WithoutTheHandFileTheButtonsStillSetTheHandValue) {
    ASSERT_FALSE(QFile::exists(programFolder.filePath("HAND-M.CUR")));
    EXPECT_FALSE(form->HasMouseIcon());
    ShowForm();
    MoveOver(Ui().Check2);
    EXPECT_EQ(form->MousePointer(), 99);
    EXPECT_EQ(Shown(), Qt::PointingHandCursor);
}

TEST_F(PointerTest, TheHourglassStaysEverywhereWhileAReduceRunWaits) {
    ASSERT_TRUE(WriteEncoder("sleep 0.3\ncp \"$6\" \"$7\""));
    AddMp3Row("a.mp3");
    AddMp3Row("b.mp3");
    ShowForm();
    // A row clicked before the run leaves the list with its own arrow.
    const QPoint pntRow = Ui().ListView1->visualRect(RowIndex(0)).center();
    QTest::mouseClick(Ui().ListView1->viewport(), Qt::LeftButton, Qt::NoModifier, pntRow);
    ASSERT_EQ(Ui().ListView1->MousePointer(), 1);

    struct Seen {
        const char* strWhere;
        int lngValue;
        Qt::CursorShape shown;
    };
    std::vector<Seen> seen;
    auto look = [&](const char* strWhere) {
        seen.push_back({strWhere, form->MousePointer(), Shown()});
    };
    QTimer::singleShot(0, [&] {
        MoveOver(Ui().Check1);
        look("Add MP3 File(s)");
        MoveOver(Ui().Check2);
        look("Reduce");
        MoveOver(Ui().Check3);
        look("Add All MP3 File(s) In Folder");
        MoveOverBackground();
        look("background");
        MoveOver(Ui().Label1, QPoint(4, 4));
        look("Option:");
        MoveOver(Ui().ListView1->viewport(), pntRow);
        look("list");
        QTest::mousePress(Ui().ProgressBar1, Qt::LeftButton, Qt::NoModifier, QPoint(30, 5));
        QTest::mouseRelease(Ui().ProgressBar1, Qt::LeftButton, Qt::NoModifier, QPoint(30, 5));
        look("press on the progress bar");
    });
    Ui().Check2->setChecked(true);
    form->Check2_Click();

    ASSERT_EQ(seen.size(), 7u);
    for (const Seen& look : seen) {
        EXPECT_EQ(look.lngValue, 11) << look.strWhere;
        EXPECT_EQ(look.shown, Qt::WaitCursor) << look.strWhere;
    }
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].strText, "Done.");
    EXPECT_EQ(form->MousePointer(), 0);
    EXPECT_EQ(Ui().ListView1->MousePointer(), 1);  // the list keeps its own value
    MoveOver(Ui().Check2);
    EXPECT_EQ(form->MousePointer(), 99);
    EXPECT_EQ(Shown(), Qt::PointingHandCursor);
    MoveOver(Ui().ListView1->viewport(), pntRow);
    EXPECT_EQ(Shown(), Qt::ArrowCursor);
}

TEST_F(PointerTest, TheHourglassStaysWhileAFolderIsAdded) {
    foldertree::Tree tree;
    tree.File("a.mp3");
    tree.File("broken.mp3", QByteArray(1000, 'x'));
    tree.File("Sub/b.mp3");
    ShowForm();

    std::vector<std::pair<QString, int>> seen;  // where, the pointer value seen there
    auto hoverEverywhere = [&](const QString& strWhen) {
        MoveOver(Ui().Check1);
        seen.emplace_back(strWhen + ", Add MP3 File(s)", form->MousePointer());
        MoveOver(Ui().Check3);
        seen.emplace_back(strWhen + ", Add All MP3 File(s) In Folder", form->MousePointer());
        MoveOverBackground();
        seen.emplace_back(strWhen + ", background", form->MousePointer());
        MoveOver(Ui().ListView1->viewport());
        seen.emplace_back(strWhen + ", list", form->MousePointer());
        EXPECT_EQ(Shown(), Qt::WaitCursor) << strWhen.toStdString();
    };
    // Runs while the subfolders are collected.
    QTimer::singleShot(0, [&] { hoverEverywhere("collecting folders"); });
    // Runs while the warning about broken.mp3 is up, in the middle of admitting files.
    prompts.onMessage = [&](const FakePrompts::Message&) { hoverEverywhere("admitting files"); };
    prompts.folderAnswers.push_back(QFile::encodeName(tree.Root()));
    Ui().Check3->setChecked(true);
    form->Check3_Click();

    ASSERT_EQ(seen.size(), 8u);
    for (const auto& [strWhere, lngValue] : seen) EXPECT_EQ(lngValue, 11) << strWhere.toStdString();
    EXPECT_EQ(Ui().fileList->RowCount(), 2);
    EXPECT_EQ(form->MousePointer(), 0);
    MoveOver(Ui().Check3);
    EXPECT_EQ(form->MousePointer(), 99);
}
