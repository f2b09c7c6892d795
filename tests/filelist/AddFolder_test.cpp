// The folder walk on trees made here: which folders are entered and in what order, which names
// are listed, and that links, hidden and unreadable folders cannot lead it astray.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QTimer>
#include <optional>

#include "filelist/AddFolder.h"
#include "filelist/FolderTree.h"
#include "support/FakePrompts.h"

using foldertree::InListingOrder;
using foldertree::Tree;

namespace {

QStringList Walk(const QString& strFolder, bool recurse = true) {
    QStringList folders{strFolder};
    CollectSubfolders(folders, recurse);
    return folders;
}

// Each name as a folder path below strParent.
QStringList Folders(const QString& strParent, const QStringList& names) {
    QStringList folders;
    for (const QString& strName : names) folders << strParent + strName + "/";
    return folders;
}

}  // namespace

TEST(AddFolderWalk, BrowseAsksWithThePromptAndPassesTheAnswerOn) {
    FakePrompts prompts;
    prompts.folderAnswers.push_back("/music/Jazz");
    EXPECT_EQ(BrowseForFolder(prompts, nullptr, "Please select folder to add:"), "/music/Jazz");
    EXPECT_EQ(BrowseForFolder(prompts, nullptr, "Please select folder to add:"), "");  // cancel
    EXPECT_EQ(prompts.folderPrompts, QStringList(2, "Please select folder to add:"));
}

TEST(AddFolderWalk, FolderWithFilesAndOneSubfolder) {
    Tree tree;
    tree.File("a.mp3");
    tree.File("~tmp.mp3");
    tree.File("notes.txt", "plain text");
    tree.File("Sub/b.MP3");
    const QString r = tree.Root() + "/";

    EXPECT_EQ(Walk(r), QStringList({r, r + "Sub/"}));
    // The "~" rule belongs to the button; the listing has every matching file.
    EXPECT_EQ(ListFolderFiles(r, "*.mp3"), InListingOrder(r, {"a.mp3", "~tmp.mp3"}));
    EXPECT_EQ(ListFolderFiles(r + "Sub/", "*.mp3"), QStringList{"b.MP3"});
    // A folder given without its trailing "/" is listed the same.
    EXPECT_EQ(ListFolderFiles(tree.Root(), "*.mp3"), ListFolderFiles(r, "*.mp3"));
}

TEST(AddFolderWalk, FoldersComeLevelByLevelGroupedByParentInListingOrder) {
    Tree tree;
    // Created out of alphabetical order; the listing's own order decides.
    for (const char* folder : {"Moss/Fern/Root", "Alder/Yew", "Moss/Ash", "Zelkova", "Alder/Birch",
                               "Alder/Birch/Cone", "Alder/Birch/Bark", "Zelkova/Oak/Leaf"})
        tree.Folder(folder);
    tree.File("Alder/x.mp3");  // files do not become folders
    const QString r = tree.Root() + "/";

    QStringList expected{r};
    QStringList level{r};
    while (!level.isEmpty()) {
        QStringList next;
        for (const QString& strParent : level)
            for (const QString& strName :
                 InListingOrder(strParent, {"Moss", "Alder", "Zelkova", "Fern", "Root", "Yew",
                                            "Ash", "Birch", "Cone", "Bark", "Oak", "Leaf"}))
                next << strParent + strName + "/";
        expected << next;
        level = next;
    }
    ASSERT_EQ(expected.size(), 1 + 3 + 5 + 4);
    EXPECT_EQ(Walk(r), expected);

    // Without recursion only the first level below is added.
    EXPECT_EQ(Walk(r, false), expected.mid(0, 4));
}

TEST(AddFolderWalk, NamesMatchTheExtensionInAnyLetterCaseAndOnlyFiles) {
    Tree tree;
    const QStringList matching{"a.mp3", "B.MP3", "c.Mp3", ".hidden.mp3", "two.dots.mP3", ".mp3"};
    for (const QString& strName : matching) tree.File(strName);
    for (const char* name : {"a.mp3.txt", "a.mp", "mp3", "a_mp3", "a.mp4", "a.mp33"})
        tree.File(name);
    tree.Folder("x.mp3");  // a folder is never listed, whatever its name
    tree.Folder(".hidden folder.mp3");
    ASSERT_EQ(symlink("a.mp3", tree.Path("link.mp3").toLocal8Bit().constData()), 0);
    ASSERT_EQ(symlink("gone", tree.Path("dangling.mp3").toLocal8Bit().constData()), 0);
    ASSERT_EQ(symlink("x.mp3", tree.Path("tofolder.mp3").toLocal8Bit().constData()), 0);
    ASSERT_EQ(mkfifo(tree.Path("pipe.mp3").toLocal8Bit().constData(), 0644), 0);

    QStringList expected = matching;
    expected << "link.mp3";  // a link to a file is a file
    EXPECT_EQ(ListFolderFiles(tree.Root(), "*.mp3"), InListingOrder(tree.Root(), expected));
}

TEST(AddFolderWalk, HiddenFoldersAreNotEnteredAndFolderNamedLikeAFileIs) {
    Tree tree;
    tree.File(".secret/in-hidden.mp3");
    tree.File("Visible/.also-hidden/deep.mp3");
    tree.File("Visible/.shown.mp3");
    tree.File("x.mp3/inside.mp3");
    const QString r = tree.Root() + "/";

    EXPECT_EQ(Walk(r), QStringList{r} + Folders(r, InListingOrder(r, {"Visible", "x.mp3"})));
    EXPECT_EQ(ListFolderFiles(r + "Visible/", "*.mp3"), QStringList{".shown.mp3"});
    EXPECT_EQ(ListFolderFiles(r, "*.mp3"), QStringList{});
}

TEST(AddFolderWalk, EachRealFolderIsEnteredOnceSoLinkCyclesEnd) {
    Tree tree;
    tree.Folder("Sub/Deeper");
    tree.Folder("Other");
    const QString r = tree.Root() + "/";
    // Back to the top, to itself, to its parent, and a second road to a folder met anyway.
    ASSERT_EQ(symlink(tree.Root().toLocal8Bit().constData(),
                      tree.Path("Sub/Deeper/top").toLocal8Bit().constData()),
              0);
    ASSERT_EQ(symlink(".", tree.Path("Sub/self").toLocal8Bit().constData()), 0);
    ASSERT_EQ(symlink("..", tree.Path("Sub/Deeper/up").toLocal8Bit().constData()), 0);
    ASSERT_EQ(symlink("Other", tree.Path("again").toLocal8Bit().constData()), 0);

    const QStringList folders = Walk(r);
    // R's own entries: Sub, Other and the link "again" to Other; whichever of Other and again the
    // listing gives first is entered, the other is the same folder.
    const QStringList first = InListingOrder(r, {"Sub", "Other", "again"});
    QStringList expected{r};
    bool blnOtherSeen = false;
    for (const QString& strName : first) {
        if (strName != "Sub") {
            if (blnOtherSeen) continue;
            blnOtherSeen = true;
        }
        expected << r + strName + "/";
    }
    expected << r + "Sub/Deeper/";
    EXPECT_EQ(folders, expected);
}

TEST(AddFolderWalk, MissingFolderGivesNothing) {
    Tree tree;
    const QString strGone = tree.Path("gone/");
    EXPECT_EQ(Walk(strGone), QStringList{strGone});
    EXPECT_TRUE(ListFolderFiles(strGone, "*.mp3").isEmpty());
}

namespace {

// R holds a.mp3, an unreadable folder Locked (with c.mp3 and a folder Deeper inside) and Open
// with b.mp3; the walk passes over Locked.
void ExpectLockedPassedOver(const QString& strRoot) {
    const QString r = strRoot + "/";
    ASSERT_EQ(access(QFile::encodeName(r + "Locked"), R_OK), -1) << "Locked is readable";
    const QStringList folders = Walk(r);
    EXPECT_EQ(folders, QStringList{r} + Folders(r, InListingOrder(r, {"Locked", "Open"})));
    EXPECT_FALSE(folders.contains(r + "Locked/Deeper/"));
    EXPECT_TRUE(ListFolderFiles(r + "Locked/", "*.mp3").isEmpty());
    EXPECT_EQ(ListFolderFiles(r + "Open/", "*.mp3"), QStringList{"b.mp3"});
}

}  // namespace

TEST(AddFolderWalk, UnreadableFolderIsPassedOver) {
    const char* strVariable = "KESTRELUND_LOCKED_TREE";
    if (qEnvironmentVariableIsSet(strVariable)) {  // the child run as "nobody"
        ExpectLockedPassedOver(qEnvironmentVariable(strVariable));
        return;
    }
    Tree tree;
    tree.File("a.mp3");
    tree.File("Locked/c.mp3");
    tree.Folder("Locked/Deeper");
    tree.File("Open/b.mp3");
    const QByteArray locked = QFile::encodeName(tree.Path("Locked"));
    ASSERT_EQ(chmod(locked, 0), 0);
    if (geteuid() != 0) {
        ExpectLockedPassedOver(tree.Root());
    } else {
        // The tree's temporary parent must be open to the other user.
        chmod(QFile::encodeName(tree.Root().section('/', 0, -2)), 0755);
        std::string strWhy;
        const foldertree::Rerun result =
            foldertree::RerunAsNobody(strVariable, tree.Root(), strWhy);
        chmod(locked, 0755);
        if (result == foldertree::Rerun::Impossible)
            GTEST_SKIP() << "root reads every folder, and " << strWhy;
        EXPECT_EQ(result, foldertree::Rerun::Passed) << strWhy;
    }
    chmod(locked, 0755);  // so that the temporary tree can be removed
}

TEST(AddFolderWalk, WindowEventsRunWhileFoldersAreCollectedNotWhileFilesAreListed) {
    Tree tree;
    tree.File("Sub/a.mp3");
    const QString r = tree.Root() + "/";

    bool blnRan = false;
    QTimer::singleShot(0, [&] { blnRan = true; });
    ListFolderFiles(r + "Sub/", "*.mp3");
    EXPECT_FALSE(blnRan);
    Walk(r);
    EXPECT_TRUE(blnRan);
}
