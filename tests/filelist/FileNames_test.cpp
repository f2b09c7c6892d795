// SPDX-License-Identifier: GPL-3.0-or-later
// Names that do not survive the trip from bytes to text and back are told apart from those that
// do, on each way a name reaches the list: bytes from a folder listing, text from the file
// dialog, and a dropped URL.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <filesystem>

#include "filelist/FileNames.h"

namespace {

// A folder holding "x\xff.mp3" and "x\xef\xbf\xbd.mp3" (the text of the first), "only\xfe.mp3",
// "real\xef\xbf\xbd.mp3" (a real U+FFFD in its name) and "plain.mp3".
class FileNamesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        for (const char* name : {"x\xff.mp3", "x\xef\xbf\xbd.mp3", "only\xfe.mp3",
                                 "real\xef\xbf\xbd.mp3", "plain.mp3"}) {
            // Made by its bytes: the text of "x\xff.mp3" would name another file.
            const int fd = open(Folder() + "/" + name, O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
            ASSERT_GE(fd, 0) << name;
            close(fd);
        }
    }
    // Removed by bytes: the folder's own removal goes by text and would miss the undecodable names.
    void TearDown() override { std::filesystem::remove_all(Folder().toStdString()); }
    QByteArray Folder() const { return QFile::encodeName(dir.path()); }
    QString Text(const char* name) const { return QFile::decodeName(Folder() + "/" + name); }

    QTemporaryDir dir;
};

TEST_F(FileNamesTest, ListingBytes) {
    EXPECT_TRUE(SurvivesRoundTrip("plain.mp3"));
    EXPECT_TRUE(SurvivesRoundTrip("caf\xc3\xa9.mp3"));
    EXPECT_TRUE(SurvivesRoundTrip("real\xef\xbf\xbd.mp3"));
    EXPECT_FALSE(SurvivesRoundTrip("x\xff.mp3"));
    EXPECT_FALSE(SurvivesRoundTrip("overlong\xc0\xaf.mp3"));
    EXPECT_FALSE(SurvivesRoundTrip("cut\xc3"));
}

TEST_F(FileNamesTest, DialogText) {
    EXPECT_TRUE(PathStandsForItself(Text("plain.mp3")));
    EXPECT_TRUE(PathStandsForItself(Text("real\xef\xbf\xbd.mp3")));
    // Two files show as "x\uFFFD.mp3": the text cannot tell which one was chosen.
    EXPECT_FALSE(PathStandsForItself(Text("x\xff.mp3")));
    // One file shows as "only\uFFFD.mp3", and the text's bytes name no file.
    EXPECT_FALSE(PathStandsForItself(Text("only\xfe.mp3")));
    // The same test holds for the folders on the way.
    ASSERT_EQ(mkdir(Folder() + "/sub\xff", 0700), 0);
    EXPECT_FALSE(PathStandsForItself(Text("sub\xff/plain.mp3")));
}

TEST_F(FileNamesTest, DroppedUrls) {
    const QString strFolderUrl = QUrl::fromLocalFile(dir.path()).toString(QUrl::FullyEncoded);
    auto dropped = [&](const char* tail) {
        return DroppedLocalPath(QUrl::fromEncoded(strFolderUrl.toLatin1() + tail));
    };
    EXPECT_EQ(dropped("/plain.mp3"), Text("plain.mp3"));
    EXPECT_EQ(dropped("/x%EF%BF%BD.mp3"), Text("x\xef\xbf\xbd.mp3"));
    EXPECT_EQ(dropped("/x%FF.mp3"), std::nullopt);
    EXPECT_EQ(DroppedLocalPath(QUrl(QStringLiteral("https://example.invalid/a.mp3"))),
              std::nullopt);
}

}  // namespace
