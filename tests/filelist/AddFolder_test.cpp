// SPDX-License-Identifier: GPL-3.0-or-later
// The folder walk on trees made here: which folders are entered and in what order, which names
// are listed, and that links, hidden and unreadable folders cannot lead it astray.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QTimer>
#include <optional>

#include "analysis/MP3Info.h"
#include "filelist/AddFolder.h"
#include "filelist/AdmitFile.h"
#include "filelist/FileListModel.h"
#include "filelist/FileNames.h"
#include "support/FakePrompts.h"
#include "support/FolderTree.h"
#include "support/RunAsNobody.h"

using foldertree::InNameOrder;
using foldertree::Tree;

namespace {

// The walk takes and gives the file system's bytes; the trees here have UTF-8 names only, so the
// tests compare text.
QStringList Texts(const QByteArrayList& btPaths) {
    QStringList strPaths;
    for (const QByteArray& btPath : btPaths) strPaths << PathText(btPath);
    return strPaths;
}

QStringList Walk(const QString& strFolder, bool recurse = true) {
    QByteArrayList folders{QFile::encodeName(strFolder)};
    CollectSubfolders(folders, recurse);
    return Texts(folders);
}

QStringList Listed(const QString& strFolder, const QString& strPattern = "*.mp3") {
    return Texts(ListFolderFiles(QFile::encodeName(strFolder), QFile::encodeName(strPattern)));
}

// The walk that also lists files: the folders of the plain walk, each with the names that
// ListFolderFiles gives for it.
QList<QStringList> ExpectNamesAsListed(const QString& strFolder, bool recurse = true) {
    QByteArrayList folders{QFile::encodeName(strFolder)};
    QList<QByteArrayList> names{{"left over"}};
    CollectSubfolders(folders, recurse, "*.mp3", names);
    EXPECT_EQ(Texts(folders), Walk(strFolder, recurse));
    EXPECT_EQ(names.size(), folders.size());
    QList<QStringList> texts;
    for (qsizetype i = 0; i < std::min(names.size(), folders.size()); ++i) {
        EXPECT_EQ(names[i], ListFolderFiles(folders[i], "*.mp3")) << folders[i].toStdString();
        texts << Texts(names[i]);
    }
    return texts;
}

// Each name as a folder path below strParent.
QStringList Folders(const QString& strParent, const QStringList& names) {
    QStringList folders;
    for (const QString& strName : names) folders << strParent + strName + "/";
    return folders;
}

}  // namespace

TEST(AddFolderWalk, FolderWithFilesAndOneSubfolder) {
    Tree tree;
    tree.File("a.mp3");
    tree.File("~tmp.mp3");
    tree.File("notes.txt", "plain text");
    tree.File("Sub/b.MP3");
    const QString r = tree.Root() + "/";

    EXPECT_EQ(Walk(r), QStringList({r, r + "Sub/"}));
    // The "~" rule belongs to the button; the listing has every matching file.
    EXPECT_EQ(Listed(r), InNameOrder(r, {"a.mp3", "~tmp.mp3"}));
    EXPECT_EQ(Listed(r + "Sub/"), QStringList{"b.MP3"});
    // A folder given without its trailing "/" is listed the same.
    EXPECT_EQ(Listed(tree.Root()), Listed(r));
}

TEST(AddFolderWalk, FoldersComeLevelByLevelGroupedByParentInNameOrder) {
    Tree tree;
    // Created out of alphabetical order; each folder's names come in name order.
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
                 InNameOrder(strParent, {"Moss", "Alder", "Zelkova", "Fern", "Root", "Yew", "Ash",
                                         "Birch", "Cone", "Bark", "Oak", "Leaf"}))
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
    EXPECT_EQ(Listed(tree.Root()), InNameOrder(tree.Root(), expected));
}

TEST(AddFolderWalk, HiddenFoldersAreNotEnteredAndFolderNamedLikeAFileIs) {
    Tree tree;
    tree.File(".secret/in-hidden.mp3");
    tree.File("Visible/.also-hidden/deep.mp3");
    tree.File("Visible/.shown.mp3");
    tree.File("x.mp3/inside.mp3");
    const QString r = tree.Root() + "/";

    EXPECT_EQ(Walk(r), QStringList{r} + Folders(r, InNameOrder(r, {"Visible", "x.mp3"})));
    EXPECT_EQ(Listed(r + "Visible/"), QStringList{".shown.mp3"});
    EXPECT_EQ(Listed(r), QStringList{});
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
    // name order gives first ("again") is entered, the other is the same folder.
    const QStringList first = InNameOrder(r, {"Sub", "Other", "again"});
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

TEST(AddFolderWalk, WalkWithNamesGivesEveryFolderWhatListingItGives) {
    Tree tree;
    tree.File("a.mp3");
    tree.File("~tmp.mp3");
    tree.File(".hidden.mp3");
    tree.File("notes.txt", "plain text");
    tree.File("Sub/b.MP3");
    tree.File("Sub/Deeper/c.Mp3");
    tree.File("x.mp3/inside.mp3");
    tree.File(".cache/not-entered.mp3");
    tree.Folder("Empty");
    ASSERT_EQ(symlink("a.mp3", tree.Path("link.mp3").toLocal8Bit().constData()), 0);
    ASSERT_EQ(symlink("Sub", tree.Path("again").toLocal8Bit().constData()), 0);
    ASSERT_EQ(symlink("x.mp3", tree.Path("tofolder.mp3").toLocal8Bit().constData()), 0);
    ASSERT_EQ(mkfifo(tree.Path("pipe.mp3").toLocal8Bit().constData(), 0644), 0);
    const QString r = tree.Root() + "/";

    const QList<QStringList> names = ExpectNamesAsListed(r);
    ASSERT_FALSE(names.isEmpty());
    EXPECT_EQ(names[0], InNameOrder(r, {"a.mp3", "~tmp.mp3", ".hidden.mp3", "link.mp3"}));
    ExpectNamesAsListed(r, false);  // the folders found are not walked, but still listed
    ExpectNamesAsListed(tree.Root());

    // Folders that are missing keep their place with no names.
    QByteArrayList folders{QFile::encodeName(tree.Path("gone/")),
                           QFile::encodeName(r + "Sub/Deeper/")};
    const QByteArrayList btGiven = folders;
    QList<QByteArrayList> given;
    CollectSubfolders(folders, true, "*.mp3", given);
    EXPECT_EQ(folders, btGiven);
    EXPECT_EQ(given, QList<QByteArrayList>({{}, {"c.Mp3"}}));
}

TEST(AddFolderWalk, PatternsMatchLikeFnmatchIgnoringCase) {
    Tree tree;
    for (const char* name :
         {"a.mp3", "B.MP3", "c.Mp3", ".mp3", "mp3", "x.mp3.txt", "song.ki", "SONG.KI", "SONG.K",
          "m\xC3\xBCsik.MP3", "\xC3\x9F.mp3", "a", "ab.MP4"})
        tree.File(QFile::decodeName(name), "data");
    tree.Folder("folder.mp3");
    for (const char* pattern : {"*.mp3", "*.MP3", "*", "*3", "*.ki", "*.K", "*.m?3", "a*",
                                "*.[mM]p3", "*.txt", "*\xC3\xBCsik.mp3", "*.mp"}) {
        QByteArrayList expected;
        for (const QByteArray& name : foldertree::ReaddirOrder(tree.Root())) {
            if (fnmatch(pattern, name.constData(), FNM_CASEFOLD) == 0 && name != "folder.mp3")
                expected << name;
        }
        NameOrder().Sort(expected);
        EXPECT_EQ(ListFolderFiles(QFile::encodeName(tree.Root()), pattern), expected) << pattern;
    }
}

TEST(AddFolderWalk, FolderReachedByALinkOneLevelHigherIsEnteredThere) {
    Tree tree;
    tree.File("A/Deep/d.mp3");
    tree.File("A/a.mp3");
    ASSERT_EQ(symlink("A/Deep", tree.Path("Link").toLocal8Bit().constData()), 0);
    const QString r = tree.Root() + "/";

    // Link, one level below R, reaches Deep before A's own entry for it does.
    const QStringList first = InNameOrder(r, {"A", "Link"});
    const QList<QStringList> names = ExpectNamesAsListed(r);
    EXPECT_EQ(Walk(r), QStringList{r} + Folders(r, first));
    ASSERT_EQ(names.size(), 3);
    EXPECT_EQ(names[1 + first.indexOf("Link")], QStringList{"d.mp3"});
    EXPECT_EQ(names[1 + first.indexOf("A")], QStringList{"a.mp3"});
}

TEST(AddFolderWalk, MissingFolderGivesNothing) {
    Tree tree;
    const QString strGone = tree.Path("gone/");
    EXPECT_EQ(Walk(strGone), QStringList{strGone});
    EXPECT_TRUE(Listed(strGone).isEmpty());
}

namespace {

// R holds a.mp3, an unreadable folder Locked (with c.mp3 and a folder Deeper inside) and Open
// with b.mp3; the walk passes over Locked.
void ExpectLockedPassedOver(const QString& strRoot) {
    const QString r = strRoot + "/";
    ASSERT_EQ(access(QFile::encodeName(r + "Locked"), R_OK), -1) << "Locked is readable";
    const QStringList folders = Walk(r);
    EXPECT_EQ(folders, QStringList{r} + Folders(r, InNameOrder(r, {"Locked", "Open"})));
    EXPECT_FALSE(folders.contains(r + "Locked/Deeper/"));
    EXPECT_TRUE(Listed(r + "Locked/").isEmpty());
    EXPECT_EQ(Listed(r + "Open/"), QStringList{"b.mp3"});
    ExpectNamesAsListed(r);
}

}  // namespace

TEST(AddFolderWalk, UnreadableFolderIsPassedOver) {
    KESTRELUND_RUN_AS_ORDINARY_USER("root reads every folder")
    Tree tree;
    tree.File("a.mp3");
    tree.File("Locked/c.mp3");
    tree.Folder("Locked/Deeper");
    tree.File("Open/b.mp3");
    const QByteArray locked = QFile::encodeName(tree.Path("Locked"));
    ASSERT_EQ(chmod(locked, 0), 0);
    ExpectLockedPassedOver(tree.Root());
    chmod(locked, 0755);  // so that the temporary tree can be removed
}

TEST(AddFolderWalk, WindowEventsRunWhileFoldersAreCollectedNotWhileFilesAreListed) {
    Tree tree;
    tree.File("Sub/a.mp3");
    const QString r = tree.Root() + "/";

    bool blnRan = false;
    QTimer::singleShot(0, [&] { blnRan = true; });
    Listed(r + "Sub/");
    EXPECT_FALSE(blnRan);
    Walk(r);
    EXPECT_TRUE(blnRan);
}

namespace {

class FolderAdmissionTest : public ::testing::Test {
  protected:
    QStringList Paths() const {
        QStringList paths;
        for (int i = 0; i < list.RowCount(); ++i) paths << list.PathAt(i);
        return paths;
    }
    QStringList Warned() const {
        QStringList paths;
        for (const FakePrompts::Message& message : prompts.messages) {
            EXPECT_EQ(message.strText, "Not a valid MP3 file!");
            paths << message.strInformative;
        }
        return paths;
    }

    FileListModel list;
    MP3Info info;
    FakePrompts prompts;
    const Admission admission{&list, &info, &prompts, nullptr};
};

}  // namespace

TEST_F(FolderAdmissionTest, FilesOpenedInTheOpenFolderBecomeRowsWithTheirPaths) {
    Tree tree;
    tree.File("Album/one.mp3");
    tree.File("Album/bad.mp3", QByteArray(2000, 'x'));
    const QString strAlbum = tree.Path("Album/");
    const QByteArray btAlbum = QFile::encodeName(strAlbum);
    int lngDescriptor = -1;
    {
        const OpenFolder folder(btAlbum);
        lngDescriptor = folder.Descriptor();
        ASSERT_GE(lngDescriptor, 0);
        for (const char* name : {"one.mp3", "bad.mp3", "gone.mp3"})
            AdmitFile(admission, JoinPath(btAlbum, name), lngDescriptor, name);
        // The name is what is opened; the path is the row's text.
        AdmitFile(admission, "/elsewhere/shown.mp3", lngDescriptor, "one.mp3");
    }
    EXPECT_EQ(fcntl(lngDescriptor, F_GETFD), -1);  // closed with its holder

    EXPECT_EQ(Paths(), QStringList({strAlbum + "one.mp3", "/elsewhere/shown.mp3"}));
    EXPECT_EQ(list.BitrateAt(0), "128 kbps");
    EXPECT_EQ(Warned(), QStringList({strAlbum + "bad.mp3", strAlbum + "gone.mp3"}));
}

TEST_F(FolderAdmissionTest, FolderThatCannotBeOpenedLeavesTheFullPaths) {
    Tree tree;
    tree.File("Album/one.mp3");
    const OpenFolder gone(QFile::encodeName(tree.Path("gone/")));
    const OpenFolder file(QFile::encodeName(tree.Path("Album/one.mp3")));  // not a folder
    EXPECT_EQ(gone.Descriptor(), -1);
    EXPECT_EQ(file.Descriptor(), -1);

    AdmitFile(admission, QFile::encodeName(tree.Path("Album/one.mp3")), gone.Descriptor(),
              "not used.mp3");
    AdmitFile(admission, QFile::encodeName(tree.Path("Album/missing.mp3")), -1, "one.mp3");
    EXPECT_EQ(Paths(), QStringList{tree.Path("Album/one.mp3")});
    EXPECT_EQ(Warned(), QStringList{tree.Path("Album/missing.mp3")});
}
