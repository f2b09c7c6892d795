// SPDX-License-Identifier: GPL-3.0-or-later
// Admission of one candidate file into the list, the path join and the bitrate text.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <filesystem>
#include <fstream>
#include <memory>

#include "analysis/MP3Info.h"
#include "filelist/AdmitFile.h"
#include "filelist/FileListModel.h"
#include "support/FakePrompts.h"
#include "support/Mp3Bytes.h"
#include "support/RunAsNobody.h"

namespace {

using Row = std::pair<QString, QString>;  // path, bitrate text
using testsupport::Mp3Frames;

class AdmitFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString MakeFile(const QString& strName, const QByteArray& btData) {
        const QString strPath = folder.path() + "/" + strName;
        QFile file(strPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << strPath.toStdString();
        file.write(btData);
        return strPath;
    }
    QString Mp3(const QString& strName) { return MakeFile(strName, Mp3Frames(4)); }

    void Admit(const QString& strPath) { Admit(QFile::encodeName(strPath)); }
    void Admit(const QByteArray& btPath) {
        AdmitFile(Admission{&list, &info, &prompts, nullptr}, btPath);
    }

    std::vector<Row> Rows() const {
        std::vector<Row> rows;
        for (int i = 0; i < list.RowCount(); ++i)
            rows.emplace_back(list.PathAt(i), list.BitrateAt(i));
        return rows;
    }

    void ExpectRefused(size_t lngIndex, const QString& strPath) {
        ASSERT_LT(lngIndex, prompts.messages.size());
        const FakePrompts::Message& message = prompts.messages[lngIndex];
        EXPECT_EQ(message.strTitle, "Kestrelund");
        EXPECT_EQ(message.strText, "Not a valid MP3 file!");
        EXPECT_EQ(message.icon, Prompts::Icon::Warning);
        EXPECT_EQ(message.strInformative, strPath);
    }

    QTemporaryDir folder;
    FileListModel list;
    MP3Info info;
    FakePrompts prompts;
};

TEST_F(AdmitFileTest, ValidFileBecomesOneRowWithPathAndBitrate) {
    const QString strPath = Mp3("Track One.MP3");
    Admit(strPath);
    EXPECT_EQ(Rows(), (std::vector<Row>{{strPath, "128 kbps"}}));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(AdmitFileTest, EachFileShowsItsOwnBitrate) {
    const QString strHigh = MakeFile("high.mp3", Mp3Frames(4, 14));
    const QString strLow = Mp3("low.mp3");
    Admit(strHigh);
    Admit(strLow);
    EXPECT_EQ(Rows(), (std::vector<Row>{{strHigh, "320 kbps"}, {strLow, "128 kbps"}}));
}

TEST_F(AdmitFileTest, PathIsKeptExactlyAsGiven) {
    // Not normalised: letter case, spaces, a doubled separator and non-ASCII letters stay.
    QDir(folder.path()).mkpath("Sub Dir");
    const QString strName = QString::fromUtf8("Sub Dir/Ærø Sång.mp3");
    Mp3(strName);
    const QString strPath = folder.path() + "//" + strName;
    Admit(strPath);
    EXPECT_EQ(Rows(), (std::vector<Row>{{strPath, "128 kbps"}}));
}

TEST_F(AdmitFileTest, RefusedFilesWarnWithTheirPathAndAddNothing) {
    const QString strText = MakeFile("notes.mp3", "Plain text that only calls itself an MP3.\n");
    const QString strEmpty = MakeFile("empty.mp3", {});
    const QString strMissing = folder.path() + "/missing.mp3";
    const QString strFolder = folder.path();
    const QString strBelowAFile = Mp3("plain.mp3") + "/inside.mp3";  // cannot be opened
    const std::vector<QString> candidates = {strText, strEmpty, strMissing, strFolder,
                                             strBelowAFile};
    for (const QString& strPath : candidates) Admit(strPath);
    EXPECT_TRUE(Rows().empty());
    ASSERT_EQ(prompts.messages.size(), candidates.size());
    for (size_t i = 0; i < candidates.size(); ++i) {
        SCOPED_TRACE(candidates[i].toStdString());
        ExpectRefused(i, candidates[i]);
    }
}

TEST_F(AdmitFileTest, NamesInAnyEncodingAreReadByTheirOwnBytes) {
    // "x\xFF.mp3" (not UTF-8) shows as the name of "x\xEF\xBF\xBD.mp3", a file of another bitrate.
    const QByteArray btFolder = QFile::encodeName(folder.path());
    const QByteArray btLatin1 = btFolder + "/x\xFF.mp3";
    const QByteArray btReplaced = btFolder + "/x\xEF\xBF\xBD.mp3";
    std::ofstream(btLatin1.toStdString()) << Mp3Frames(4, 14).toStdString();
    std::ofstream(btReplaced.toStdString()) << Mp3Frames(4).toStdString();
    Admit(btLatin1);
    Admit(btReplaced);
    std::filesystem::remove(btLatin1.toStdString());  // the folder's own removal goes by text
    const QString strShown = folder.path() + QString::fromUtf8("/x\uFFFD.mp3");
    EXPECT_EQ(Rows(), (std::vector<Row>{{strShown, "320 kbps"}, {strShown, "128 kbps"}}));
    EXPECT_EQ(list.PathBytesAt(0), btLatin1);
    EXPECT_EQ(list.PathBytesAt(1), btReplaced);
    Admit(btLatin1);  // gone now: the warning shows the path as text, and its bytes
    ExpectRefused(0, strShown + "\n" + folder.path() + "/x\\xFF.mp3");
}

TEST_F(AdmitFileTest, UnreadableFileIsRefused) {
    KESTRELUND_RUN_AS_ORDINARY_USER("root reads every file")
    const QString strPath = Mp3("locked.mp3");
    ASSERT_TRUE(QFile::setPermissions(strPath, QFileDevice::Permissions()));
    ASSERT_NE(access(QFile::encodeName(strPath).constData(), R_OK), 0);
    Admit(strPath);
    EXPECT_TRUE(Rows().empty());
    ExpectRefused(0, strPath);
}

TEST_F(AdmitFileTest, DuplicatesAppendAnotherRowAndAnInvalidFileBetweenValidOnes) {
    const QString strA = Mp3("a.mp3");
    const QString strBad = MakeFile("bad.mp3", QByteArray(2000, '\xFF'));
    const QString strB = Mp3("b.mp3");
    for (const QString& strPath : {strA, strBad, strB, strA}) Admit(strPath);
    EXPECT_EQ(Rows(),
              (std::vector<Row>{{strA, "128 kbps"}, {strB, "128 kbps"}, {strA, "128 kbps"}}));
    ASSERT_EQ(prompts.messages.size(), 1);
    ExpectRefused(0, strBad);
}

TEST_F(AdmitFileTest, WarningIsShownWhileTheRowsBeforeItAreInPlace) {
    const QString strA = Mp3("a.mp3");
    const QString strBad = MakeFile("bad.mp3", "x");
    std::vector<int> rowsSeen;
    prompts.onMessage = [&](const FakePrompts::Message&) { rowsSeen.push_back(list.RowCount()); };
    Admit(strA);
    Admit(strBad);
    EXPECT_EQ(rowsSeen, std::vector<int>{1});
}

TEST(BitrateTextTest, RoundsHalvesToEven) {
    const std::vector<std::pair<int32_t, QString>> table = {{128000, "128 kbps"},
                                                            {128500, "128 kbps"},
                                                            {129500, "130 kbps"},
                                                            {128499, "128 kbps"},
                                                            {128501, "129 kbps"},
                                                            {999, "1 kbps"},
                                                            {500, "0 kbps"},
                                                            {1500, "2 kbps"},
                                                            {2500, "2 kbps"},
                                                            {0, "0 kbps"},
                                                            {320000, "320 kbps"},
                                                            {-1500, "-2 kbps"},
                                                            {-2500, "-2 kbps"},
                                                            {-999, "-1 kbps"},
                                                            {INT32_MAX, "2147484 kbps"},
                                                            {INT32_MIN, "-2147484 kbps"}};
    for (const auto& [lngBitrate, strText] : table) {
        SCOPED_TRACE(lngBitrate);
        EXPECT_EQ(BitrateText(lngBitrate), strText);
    }
}

TEST(JoinPathTest, InsertsOneSeparatorOnly) {
    const std::vector<std::tuple<QByteArray, QByteArray, QByteArray>> table = {
        {"/music", "a.mp3", "/music/a.mp3"},
        {"/music/", "a.mp3", "/music/a.mp3"},
        {"/", "a.mp3", "/a.mp3"},
        {"//server/share", "B C.MP3", "//server/share/B C.MP3"},
        {"/Mixed/Case Folder", "~tmp.mp3", "/Mixed/Case Folder/~tmp.mp3"},
        {"/a//b", "c.mp3", "/a//b/c.mp3"},
        {"/Caf\xE9", "d\xFF.mp3", "/Caf\xE9/d\xFF.mp3"},
    };
    for (const auto& [strFolder, strName, strJoined] : table) {
        SCOPED_TRACE(strJoined.toStdString());
        EXPECT_EQ(JoinPath(strFolder, strName), strJoined);
    }
}

}  // namespace
