// SPDX-License-Identifier: GPL-3.0-or-later
// "Add All MP3 File(s) In Folder": folder trees made here are added through the button handler,
// with the folder dialog answered by the fake.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

#include "WindowFixture.h"
#include "support/FolderTree.h"
#include "support/RunAsNobody.h"

using foldertree::InNameOrder;
using foldertree::Tree;

namespace {

using windowtest::ControlsOf;

using windowtest::Row;

class Check3Test : public windowtest::WindowTest {
  protected:
    // Presses the button with strFolder as the dialog's answer.
    void AddFolder(const QString& strFolder) {
        prompts.folderAnswers.push_back(QFile::encodeName(strFolder));
        Press();
    }
    void Press() {
        Ui().Check3->setChecked(true);
        form->Check3_Click();
    }

    // The rows that admitting these names of strFolder (a folder path ending in "/") gives, in
    // name order.
    static std::vector<Row> Admitted(const QString& strFolder, const QStringList& names) {
        std::vector<Row> rows;
        for (const QString& strName : InNameOrder(strFolder, names))
            rows.emplace_back(strFolder + strName, "128 kbps");
        return rows;
    }
};

std::vector<Row> operator+(std::vector<Row> a, const std::vector<Row>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST_F(Check3Test, AddsTheFolderThenItsSubfolderSkippingTildeNamesAndOtherFiles) {
    Tree tree;
    tree.File("a.mp3");
    tree.File("~tmp.mp3", "not even an MP3 file");  // skipped: would warn if it were admitted
    tree.File("notes.txt", "plain text");
    tree.File("Sub/b.MP3");

    int lngPointerDuringWalk = -1;
    QTimer::singleShot(0, [&] { lngPointerDuringWalk = form->MousePointer(); });
    AddFolder(tree.Root());

    const QString r = tree.Root();
    EXPECT_EQ(Rows(),
              (std::vector<Row>{{r + "/a.mp3", "128 kbps"}, {r + "/Sub/b.MP3", "128 kbps"}}));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(prompts.folderPrompts, QStringList{"Please select folder to add:"});
    EXPECT_EQ(lngPointerDuringWalk, 11);
    EXPECT_EQ(form->MousePointer(), 0);
    EXPECT_FALSE(Ui().Check3->isChecked());
}

TEST_F(Check3Test, ChosenFolderEndingInSlashGetsNoSecondOne) {
    Tree tree;
    tree.File("a.mp3");
    tree.File("Sub/b.mp3");
    AddFolder(tree.Root() + "/");
    const QString r = tree.Root();
    EXPECT_EQ(Rows(),
              (std::vector<Row>{{r + "/a.mp3", "128 kbps"}, {r + "/Sub/b.mp3", "128 kbps"}}));
}

TEST_F(Check3Test, FilesComeFolderByFolderLevelByLevel) {
    Tree tree;
    // Two files on each level, three levels down, folders in more than one branch.
    for (const char* path : {"top2.mp3", "top1.mp3", "B/b2.mp3", "B/b1.mp3", "A/a1.mp3",
                             "A/Deep/d1.mp3", "A/Deep/d2.mp3", "B/Deeper/e1.mp3", "A/Deep/Z/z.mp3"})
        tree.File(path);
    const QString r = tree.Root() + "/";
    AddFolder(tree.Root());

    std::vector<Row> expected = Admitted(r, {"top1.mp3", "top2.mp3"});
    const QStringList level1 = InNameOrder(r, {"A", "B"});
    for (const QString& strFolder : level1)
        expected = expected + Admitted(r + strFolder + "/", {"a1.mp3", "b1.mp3", "b2.mp3"});
    for (const QString& strFolder : level1)
        expected = expected + Admitted(r + strFolder + "/Deep/", {"d1.mp3", "d2.mp3"}) +
                   Admitted(r + strFolder + "/Deeper/", {"e1.mp3"});
    expected = expected + Admitted(r + "A/Deep/Z/", {"z.mp3"});
    EXPECT_EQ(Rows(), expected);
}

TEST_F(Check3Test, HiddenFilesAreAdmittedHiddenFoldersNotEnteredFolderNamedMp3Entered) {
    Tree tree;
    tree.File(".hidden.mp3");
    tree.File(".cache/inside.mp3");
    tree.File("x.mp3/y.mp3");
    AddFolder(tree.Root());

    const QString r = tree.Root();
    EXPECT_EQ(Rows(), (std::vector<Row>{{r + "/.hidden.mp3", "128 kbps"},
                                        {r + "/x.mp3/y.mp3", "128 kbps"}}));
    EXPECT_TRUE(prompts.messages.empty());  // the folder x.mp3 never went to admission
}

TEST_F(Check3Test, LinkCycleEndsAndEachFileComesOnce) {
    Tree tree;
    tree.File("Sub/b.mp3");
    ASSERT_EQ(symlink("..", tree.Path("Sub/up").toLocal8Bit().constData()), 0);
    ASSERT_EQ(symlink("Sub", tree.Path("again").toLocal8Bit().constData()), 0);
    AddFolder(tree.Root());

    // Sub is reached as "Sub" or as the link "again", whichever the listing gives first.
    const QStringList first = InNameOrder(tree.Root(), {"Sub", "again"});
    ASSERT_EQ(first.size(), 2);
    EXPECT_EQ(Rows(), (std::vector<Row>{{tree.Path(first[0] + "/b.mp3"), "128 kbps"}}));
}

TEST_F(Check3Test, InvalidFileGivesOneWarningAndTheWalkGoesOn) {
    Tree tree;
    tree.File("one.mp3");
    tree.File("broken.mp3", QByteArray(2000, 'x'));
    tree.File("two.mp3");
    tree.File("Sub/three.mp3");
    AddFolder(tree.Root());

    const QString r = tree.Root() + "/";
    EXPECT_EQ(Rows(), Admitted(r, {"one.mp3", "two.mp3"}) + Admitted(r + "Sub/", {"three.mp3"}));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].strTitle, "Kestrelund");
    EXPECT_EQ(prompts.messages[0].strText, "Not a valid MP3 file!");
    EXPECT_EQ(prompts.messages[0].icon, Prompts::Icon::Warning);
    EXPECT_EQ(prompts.messages[0].strInformative, r + "broken.mp3");
    EXPECT_EQ(form->MousePointer(), 0);
}

TEST_F(Check3Test, NamesInAnyEncodingAreListedAndNeverReadAsAnotherFile) {
    Tree tree;
    // "Caf\xE9 del Mar.mp3" (Latin-1) beside "Caf\xC3\xA9 del Mar.mp3" (UTF-8), which holds another
    // bitrate, and a folder whose name is not UTF-8.
    const QByteArray btLatin1 = "Caf\xE9 del Mar.mp3";
    const QByteArray btUtf8 = "Caf\xC3\xA9 del Mar.mp3";
    tree.RawFile(btLatin1.toStdString(), testsupport::Mp3Frames(3, 14));
    tree.RawFile(btUtf8.toStdString());
    tree.RawFile("d\xFF/in.mp3");
    AddFolder(tree.Root());

    const QByteArray r = QFile::encodeName(tree.Root()) + "/";
    QByteArrayList btNames{btLatin1, btUtf8};
    NameOrder().Sort(btNames);
    std::vector<std::pair<QByteArray, QString>> expected;
    for (const QByteArray& btName : std::as_const(btNames))
        expected.emplace_back(r + btName, btName == btLatin1 ? "320 kbps" : "128 kbps");
    expected.emplace_back(r + "d\xFF/in.mp3", "128 kbps");
    std::vector<std::pair<QByteArray, QString>> rows;
    for (int i = 0; i < Ui().fileList->RowCount(); ++i)
        rows.emplace_back(Ui().fileList->PathBytesAt(i), Ui().fileList->BitrateAt(i));
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(Ui().fileList->PathAt(2), tree.Root() + QString::fromUtf8("/d\uFFFD/in.mp3"));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Check3Test, FolderGoneBeforeItsTurnIsPassedOverWithoutMessages) {
    Tree tree;
    tree.File("bad.mp3", QByteArray(2000, 'x'));
    tree.File("Sub/b.mp3");
    tree.File("Other/c.mp3");
    // While the warning for bad.mp3 is open, Sub (already walked) is moved away.
    prompts.onMessage = [&](const FakePrompts::Message&) {
        ASSERT_EQ(
            rename(QFile::encodeName(tree.Path("Sub")), QFile::encodeName(tree.Path("Moved"))), 0);
    };
    AddFolder(tree.Root());

    EXPECT_EQ(Rows(), (std::vector<Row>{{tree.Path("Other/c.mp3"), "128 kbps"}}));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].strInformative, tree.Path("bad.mp3"));
}

TEST_F(Check3Test, CancelChangesNothing) {
    Tree tree;
    tree.File("a.mp3");
    prompts.openFileAnswers.push_back(FakePrompts::Files({tree.Path("a.mp3")}));
    Ui().Check1->click();  // added by the dialog
    const std::vector<Row> before = Rows();
    form->SetMousePointer(Pointer::Arrow);

    Press();  // no answer queued: the dialog is cancelled
    EXPECT_EQ(prompts.folderPrompts.size(), 1);
    EXPECT_EQ(Rows(), before);
    EXPECT_EQ(form->MousePointer(), 1);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(Ui().Check3->isChecked());
}

TEST_F(Check3Test, ActsOnlyWhenTheButtonIsChecked) {
    prompts.folderAnswers.push_back("/");
    Ui().Check3->setChecked(false);
    form->Check3_Click();  // the click raised by clearing the button
    EXPECT_TRUE(prompts.folderPrompts.isEmpty());
    EXPECT_EQ(Rows().size(), 0u);
}

TEST_F(Check3Test, SecondPressDuringTheWalkIsIgnored) {
    Tree first, second;
    first.File("a.mp3");
    first.Folder("Sub");
    second.File("other.mp3");
    prompts.folderAnswers.push_back(QFile::encodeName(first.Root()));
    prompts.folderAnswers.push_back(QFile::encodeName(second.Root()));

    bool blnPressed = false;
    QTimer::singleShot(0, [&] {
        Ui().Check3->click();  // the user presses the button again while folders are collected
        blnPressed = true;
    });
    Press();

    EXPECT_TRUE(blnPressed);
    EXPECT_EQ(prompts.folderPrompts.size(), 1);
    EXPECT_EQ(Rows(), (std::vector<Row>{{first.Path("a.mp3"), "128 kbps"}}));
    EXPECT_FALSE(Ui().Check3->isChecked());
    EXPECT_EQ(form->MousePointer(), 0);

    AddFolder(second.Root());  // once the walk has ended the button works again
    EXPECT_EQ(Rows().size(), 2u);
}

namespace {

// R holds a.mp3, Open/b.mp3 and an unreadable folder Locked with c.mp3: adding R admits a.mp3
// and b.mp3, with no message about Locked.
void ExpectLockedPassedOver(Form1& form, FakePrompts& prompts, const QString& strRoot) {
    ASSERT_EQ(access(QFile::encodeName(strRoot + "/Locked"), R_OK), -1) << "Locked is readable";
    prompts.folderAnswers.push_back(QFile::encodeName(strRoot));
    ControlsOf(form).Check3->setChecked(true);
    form.Check3_Click();
    QStringList paths;
    for (int i = 0; i < ControlsOf(form).fileList->RowCount(); ++i)
        paths << ControlsOf(form).fileList->PathAt(i);
    EXPECT_EQ(paths, QStringList({strRoot + "/a.mp3", strRoot + "/Open/b.mp3"}));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(form.MousePointer(), 0);
}

}  // namespace

TEST_F(Check3Test, UnreadableFolderIsPassedOverWithoutMessage) {
    KESTRELUND_RUN_AS_ORDINARY_USER("root reads every folder")
    Tree tree;
    tree.File("a.mp3");
    tree.File("Locked/c.mp3");
    tree.File("Open/b.mp3");
    const QByteArray locked = QFile::encodeName(tree.Path("Locked"));
    ASSERT_EQ(chmod(locked, 0), 0);
    ExpectLockedPassedOver(*form, prompts, tree.Root());
    chmod(locked, 0755);  // so that the temporary tree can be removed
}
