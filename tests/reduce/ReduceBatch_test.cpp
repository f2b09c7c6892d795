// SPDX-License-Identifier: GPL-3.0-or-later
// The Reduce run over a list, with a recording stand-in for the encoder in a temporary program
// folder.
#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "FakeReduceHost.h"
#include "reduce/OutputNaming.h"
#include "reduce/ReduceBatch.h"
#include "reduce/Shell32.h"
#include "support/ReduceTestFiles.h"

using namespace reducetest;

namespace {

// The sources: frames at the menu's 64 kbps, so that a copy is at the bitrate chosen.
const QByteArray kSource = SyntheticMp3(20, 5);

// The closing line for lngFiles synthesised sources copied as they are.
QString CopiedTotals(int lngFiles) {
    const int64_t lngBytes = int64_t{lngFiles} * kSource.size();
    return ReduceBatch::SizeTotals(lngFiles, lngBytes, lngBytes);
}

// The stand-in encoder records its arguments, then acts on the input's name: "fail" ends with
// code 1 and writes nothing, "nooutput" ends with 0 and writes nothing, "garbage" writes a file
// that is no MP3; any other input is copied to the output after a short pause.
QString FakeEncoderBody(const QString& strRecord) {
    return RecordEncoderCallLines(strRecord) +
           QStringLiteral(
               "\ncase \"$(readlink -f \"$6\")\" in\n"
               "  *fail*) exit 1 ;;\n"
               "  *nooutput*) exit 0 ;;\n"
               "  *garbage*) echo 'not audio' > \"$7\"; exit 0 ;;\n"
               // The frames behind an empty ID3v2 tag: larger than the source, as long.
               "  *tagged*) { printf 'ID3\\003\\0\\0\\0\\0\\001\\0'; head -c 128 /dev/zero; "
               "cat \"$6\"; } > \"$7\"; exit 0 ;;\n"
               "esac\n"
               "sleep 0.05\n"
               "cp \"$6\" \"$7\"\n");
}

class ReduceBatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // Blanks and non-ASCII letters in the program folder and the music folder.
        strFolder = dir.filePath(QString::fromUtf8("prog folder ü"));
        strMusic = dir.filePath(QString::fromUtf8("My.Music ß"));
        ASSERT_TRUE(QDir().mkpath(strFolder));
        ASSERT_TRUE(QDir().mkpath(strMusic));
        strRecord = dir.filePath("record");
        host.strFolder = strFolder;
    }

    void InstallEncoder() {
        ASSERT_TRUE(WriteScript(EncoderPath(strFolder), FakeEncoderBody(strRecord)));
    }

    // A source file in the music folder holding valid MP3 data; returns its path.
    QString Source(const QString& strName, const QByteArray& data = kSource) {
        const QString strPath = strMusic + u'/' + strName;
        EXPECT_TRUE(WriteBytes(strPath, data));
        return strPath;
    }

    QList<QStringList> Calls() const { return ReadRecord(strRecord, kEncoderCallItems); }

    // Runs the batch through a counting wrapper around RunAndWait.
    void Run() { batch.Run(host); }

    QTemporaryDir dir;
    QString strFolder, strMusic, strRecord;
    FakeReduceHost host;
    int lngRuns = 0;
    ReduceBatch batch{[this] {
        RunServices services = RunServices::Real();
        services.runner = [this](const QStringList& arguments, std::span<const int> lngFds) {
            ++lngRuns;
            return RunAndWait(arguments, 0, lngFds);
        };
        return services;
    }()};
};

TEST_F(ReduceBatchTest, AnEmptyListOnlySaysSo) {
    InstallEncoder();
    Run();
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strTitle, "Kestrelund");
    EXPECT_EQ(host.prompts.messages[0].strText, "No files added.");
    EXPECT_EQ(host.prompts.messages[0].icon, Prompts::Icon::None);
    EXPECT_EQ(host.prompts.messages[0].strInformative, "");
    EXPECT_EQ(lngRuns, 0);
    EXPECT_TRUE(host.pointers.empty());
    EXPECT_TRUE(host.progress.empty());
}

TEST_F(ReduceBatchTest, EncodesEveryRowInOrderWithProgress) {
    InstallEncoder();
    QStringList sources;
    for (const char* szName : {"one.mp3", "Two Words.MP3", "-dash \"q\".mp3", "four.final.mp3"}) {
        sources << Source(QString::fromUtf8(szName));
    }
    host.SetRows(sources);
    Run();

    EXPECT_EQ(host.progress, (std::vector<float>{25.0f, 50.0f, 75.0f, 100.0f, 0.0f}));
    EXPECT_EQ(host.pointers, (std::vector<int>{11, 11, 11, 11, 0}));
    const QList<QStringList> calls = Calls();
    ASSERT_EQ(calls.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const QString strOutput = OutputPath(sources[i], host.strMenu);
        // The encoder gets the source and its new file as open files.
        EXPECT_EQ(calls[i].mid(0, 9), (QStringList{EncoderPath(strFolder), "-h", "-m", "s", "-b",
                                                   "64", "/dev/fd/3", "/dev/fd/4", "--mp3input"}));
        EXPECT_EQ(calls[i][kCallSource], sources[i]);
        EXPECT_TRUE(QFileInfo(strOutput).isFile()) << strOutput.toStdString();
        EXPECT_EQ(QFileInfo(strOutput).path(), strMusic);
    }
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strTitle, "Kestrelund");
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
    EXPECT_EQ(host.prompts.messages[0].icon, Prompts::Icon::None);
    EXPECT_EQ(host.prompts.messages[0].strInformative, CopiedTotals(4));
    // The run changes neither the list nor a source file.
    EXPECT_EQ(host.Rows(), sources);
    for (const QString& strSource : sources) EXPECT_EQ(ReadBytes(strSource), kSource);
}

TEST_F(ReduceBatchTest, ThreeRowsGiveThirdsInSinglePrecision) {
    InstallEncoder();
    host.SetRows(QStringList{Source("a.mp3"), Source("b.mp3"), Source("c.mp3")});
    Run();
    ASSERT_EQ(host.progress.size(), 4u);
    EXPECT_EQ(host.progress[0], static_cast<float>(100.0 * 1 / 3));
    EXPECT_EQ(host.progress[1], static_cast<float>(100.0 * 2 / 3));
    EXPECT_EQ(host.progress[2], 100.0f);
    EXPECT_EQ(host.progress[3], 0.0f);
    EXPECT_EQ(QString::number(host.progress[0], 'g', 7), "33.33333");
    EXPECT_EQ(QString::number(host.progress[1], 'g', 7), "66.66666");
}

TEST_F(ReduceBatchTest, AMenuChangeAppliesFromTheNextRow) {
    InstallEncoder();
    host.SetRows(QStringList{Source("a.mp3"), Source("b.mp3"), Source("c.mp3")});
    // While file 1 is being encoded, the user picks 32 kbps.
    host.onProgress = [this](float sngValue) {
        if (host.progress.size() == 1) {
            QTimer::singleShot(0, [this] { host.strMenu = QStringLiteral("Reduce to 32 kbps"); });
        }
        (void)sngValue;
    };
    Run();
    const QList<QStringList> calls = Calls();
    ASSERT_EQ(calls.size(), 3);
    EXPECT_EQ(calls[0][5], "64");
    EXPECT_TRUE(QFileInfo::exists(strMusic + "/a_64KBIT_REDUCED.mp3"));
    EXPECT_EQ(calls[1][5], "32");
    EXPECT_TRUE(QFileInfo::exists(strMusic + "/b_32KBIT_REDUCED.mp3"));
    EXPECT_EQ(calls[2][5], "32");
    EXPECT_TRUE(QFileInfo::exists(strMusic + "/c_32KBIT_REDUCED.mp3"));
}

TEST_F(ReduceBatchTest, AnEncoderThatCannotStartStopsTheRunWithAWarningAndItsReport) {
    struct Case {
        const char* szReason;
        int lngDone;  // rows encoded before the encoder went
        std::function<void()> install;
    };
    const Case cases[] = {
        {"The file does not exist.", 0, [] {}},
        {"The file may not be run.", 0,
         [&] {
             ASSERT_TRUE(WriteScript(EncoderPath(strFolder), FakeEncoderBody(strRecord), false));
         }},
        // The second encode removes the encoder once it has done its row.
        {"The file does not exist.", 2,
         [&] {
             ASSERT_TRUE(WriteScript(EncoderPath(strFolder),
                                     FakeEncoderBody(strRecord) + "echo >> \"$0.runs\"\n" +
                                         "[ \"$(wc -l < \"$0.runs\")\" = 2 ] && rm \"$0\"\n" +
                                         "exit 0"));
         }},
    };
    for (const Case& c : cases) {
        QFile::remove(EncoderPath(strFolder));
        QFile::remove(EncoderPath(strFolder) + ".runs");
        QFile::remove(strRecord);
        c.install();
        host.prompts.messages.clear();
        host.pointers.clear();
        host.progress.clear();
        const QStringList rows{Source("a.mp3"), Source("b.mp3"), Source("c.mp3"), Source("d.mp3")};
        host.SetRows(rows);
        lngRuns = 0;
        Run();
        SCOPED_TRACE(c.lngDone);
        EXPECT_EQ(lngRuns, c.lngDone + 1) << c.szReason;
        ASSERT_EQ(host.prompts.messages.size(), 1u);
        const FakePrompts::Message& message = host.prompts.messages[0];
        EXPECT_EQ(message.strTitle, "Kestrelund");
        EXPECT_EQ(message.strText, "The encoder could not be started.");
        EXPECT_EQ(message.icon, Prompts::Icon::Warning);
        // The rows done so far are reported, and the rest fail for want of the encoder.
        ReduceBatch::Report report;
        report.lngDone = c.lngDone;
        report.lngSourceBytes = report.lngOutputBytes = c.lngDone * kSource.size();
        for (const QString& strRow : rows.mid(c.lngDone)) {
            report.failures << strRow + ": the encoder could not be started";
        }
        EXPECT_EQ(message.strInformative,
                  EncoderPath(strFolder) + "\n" + c.szReason + "\n" + report.Informative());
        EXPECT_EQ(message.strDetails, report.Details());
        EXPECT_EQ(host.pointers.back(), 0);
        EXPECT_EQ(host.progress.back(), 0.0f);
        EXPECT_EQ(QFileInfo::exists(strMusic + "/a_64KBIT_REDUCED.mp3"), c.lngDone > 0);
        EXPECT_FALSE(QFileInfo::exists(strMusic + "/c_64KBIT_REDUCED.mp3"));
        EXPECT_FALSE(batch.IsRunning());
    }
}

TEST_F(ReduceBatchTest, DoneCountsTheFailedFilesAndDetailsTheirReasonsAndOddOutputs) {
    InstallEncoder();
    const QString strGood = Source("good.mp3");
    const QString strFail = Source("fail.mp3");
    const QString strNoOutput = Source("nooutput.mp3");
    const QString strGarbage = Source("garbage.mp3");
    const QString strTagged = Source("tagged.mp3");
    const QString strHigh = Source("high.mp3", SyntheticMp3());  // 128 kbps, copied as it is
    host.SetRows(QStringList{strGood, strFail, strNoOutput, strGarbage, strTagged, strHigh});
    Run();
    EXPECT_EQ(Calls().size(), 6);  // a failure does not stop the run
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
    EXPECT_EQ(host.prompts.messages[0].icon, Prompts::Icon::None);
    const QStringList informative = host.prompts.messages[0].strInformative.split('\n');
    ASSERT_EQ(informative.size(), 4) << qPrintable(host.prompts.messages[0].strInformative);
    EXPECT_EQ(informative[0], "3 files failed.");
    EXPECT_TRUE(informative[1].startsWith("3 files: "));
    EXPECT_EQ(informative[2], "1 output is larger than its source.");
    EXPECT_EQ(informative[3],
              "1 output has another bitrate than chosen: the encoder has no such bitrate at its "
              "sample rate.");
    EXPECT_EQ(host.prompts.messages[0].strDetails,
              strFail + ": the encoder ended with status 1\n" + strNoOutput +
                  ": the encoder wrote no output\n" + strGarbage +
                  ": the output is not a valid MP3 file\n" +
                  ReduceBatch::LargerOutput(strMusic + "/tagged_64KBIT_REDUCED.mp3") + "\n" +
                  strMusic + "/high_64KBIT_REDUCED.mp3: 128 kbps, not 64 kbps");

    // One failure alone.
    host.prompts.messages.clear();
    host.SetRows(QStringList{strFail});
    Run();
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
    EXPECT_EQ(host.prompts.messages[0].strInformative, "1 file failed.");
}

TEST_F(ReduceBatchTest, ASecondPressDuringARunIsIgnored) {
    InstallEncoder();
    host.SetRows(QStringList{Source("a.mp3"), Source("b.mp3"), Source("c.mp3")});
    int lngPresses = 0;
    host.onProgress = [&](float) {
        if (host.progress.size() == 1) {
            QTimer::singleShot(0, [&] {
                EXPECT_TRUE(batch.IsRunning());
                ++lngPresses;
                batch.Run(host);
            });
        }
    };
    Run();
    EXPECT_EQ(lngPresses, 1);
    EXPECT_EQ(lngRuns, 3);
    EXPECT_EQ(host.progress.size(), 4u);
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
    EXPECT_FALSE(batch.IsRunning());
    // Once the run has ended, the next press runs again.
    host.onProgress = nullptr;
    Run();
    EXPECT_EQ(lngRuns, 6);
}

TEST_F(ReduceBatchTest, ChangesDuringARunEncodeEachRowOfThePressExactlyOnce) {
    InstallEncoder();
    const QString strB1 = Source("b1.mp3"), strB2 = Source("b2.mp3"), strB3 = Source("b3.mp3");
    struct Case {
        const char* szChange;  // made while b1 is encoded
        std::function<void(FakeReduceHost&)> change;
        QStringList encoded;
        std::vector<float> progress;
    };
    const float sngThird = static_cast<float>(100.0 / 3);
    const Case cases[] = {
        {"remove row 1",
         [](FakeReduceHost& h) { h.Remove(0); },
         {strB1, strB2, strB3},
         {sngThird, 50, 100, 0}},
        {"remove row 3",
         [](FakeReduceHost& h) { h.Remove(2); },
         {strB1, strB2},
         {sngThird, 100, 0}},
        {"remove all", [](FakeReduceHost& h) { h.SetRows({}); }, {strB1}, {sngThird, 0}},
        {"move row 3 to the top",
         [](FakeReduceHost& h) { h.Move(2, 0); },
         {strB1, strB3, strB2},
         {sngThird, sngThird, 100, 0}},
        {"add a row",
         [&](FakeReduceHost& h) { h.Append(Source("b4.mp3")); },
         {strB1, strB2, strB3},
         {sngThird, 50, 75, 0}},
    };
    for (const Case& c : cases) {
        QFile::remove(strRecord);
        host.progress.clear();
        host.SetRows({strB1, strB2, strB3});
        host.onProgress = [&](float) {
            if (host.progress.size() == 1) QTimer::singleShot(0, [&] { c.change(host); });
        };
        Run();
        QStringList encoded;
        for (const QStringList& call : Calls()) encoded << call[kCallSource];
        EXPECT_EQ(encoded, c.encoded) << c.szChange;
        EXPECT_EQ(host.progress, c.progress) << c.szChange;
        EXPECT_EQ(host.prompts.messages.back().strText, "Done.");
        EXPECT_EQ(host.prompts.messages.back().strDetails, "") << c.szChange;
    }
}

TEST_F(ReduceBatchTest, ANameWithoutAFullStopGetsThePiecesAppended) {
    InstallEncoder();
    const QString strSource = Source("track");
    host.SetRows(QStringList{strSource});
    Run();
    const QString strOutput = strMusic + "/track_64KBIT_REDUCED.mp3";
    ASSERT_EQ(Calls().size(), 1);
    EXPECT_EQ(ReadBytes(strOutput), kSource);
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strInformative, CopiedTotals(1));
}

TEST_F(ReduceBatchTest, TheSameFileTwiceIsEncodedOnceAndCountsAsDone) {
    InstallEncoder();
    const QString strSource = Source("twice.mp3");
    host.SetRows(QStringList{strSource, strSource});
    Run();
    EXPECT_EQ(Calls().size(), 1);
    EXPECT_EQ(ReadBytes(OutputPath(strSource, host.strMenu)), kSource);
    EXPECT_EQ(host.prompts.messages.back().strInformative, CopiedTotals(1));
    EXPECT_EQ(host.prompts.messages.back().strDetails, "");
}

TEST_F(ReduceBatchTest, NamesInAnyEncodingAreReducedByTheirBytes) {
    InstallEncoder();
    // "Caf\xE9" (Latin-1) beside "Caf\xC3\xA9" (UTF-8), with other content; an older output of
    // the Latin-1 file; a listed file whose name shows as the same text as that output; and a
    // Latin-1 name the encoder fails on.
    const QByteArray btMusic = QFile::encodeName(strMusic) + '/';
    const QByteArray kOther = SyntheticMp3(30, 5);
    const std::vector<std::pair<QByteArray, QByteArray>> files = {
        {"Caf\xE9 del Mar.mp3", kSource},
        {"Caf\xC3\xA9 del Mar.mp3", kOther},
        {"Caf\xEF\xBF\xBD del Mar_64KBIT_REDUCED.mp3", kSource},
        {"fail\xE9.mp3", kSource},
        {"Caf\xE9 del Mar_64KBIT_REDUCED.mp3", "an older output"}};
    for (const auto& [btName, btData] : files) {
        std::ofstream(btMusic.toStdString() + btName.toStdString()) << btData.toStdString();
    }
    for (int i = 0; i < 4; ++i) host.list.AppendDropped(btMusic + files[size_t(i)].first);
    Run();

    const auto read = [&](const QByteArray& btName) {
        std::ifstream file(btMusic.toStdString() + btName.toStdString(), std::ios::binary);
        return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(file), {}));
    };
    EXPECT_EQ(read("Caf\xE9 del Mar_64KBIT_REDUCED.mp3"), kSource);
    EXPECT_EQ(read("Caf\xC3\xA9 del Mar_64KBIT_REDUCED.mp3"), kOther);
    EXPECT_EQ(read("Caf\xEF\xBF\xBD del Mar_64KBIT_REDUCED.mp3"), kSource);
    // The closing message shows the paths as text.
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    const int64_t lngBytes = 2 * kSource.size() + kOther.size();
    EXPECT_EQ(host.prompts.messages[0].strInformative,
              "1 file failed.\n" + ReduceBatch::SizeTotals(3, lngBytes, lngBytes));
    EXPECT_EQ(host.prompts.messages[0].strDetails,
              strMusic + QString::fromUtf8("/fail\uFFFD.mp3: the encoder ended with status 1"));
    std::filesystem::remove_all(QFile::encodeName(strMusic).toStdString());  // by bytes
}

TEST(FreeSpace, IsUnknownWhereTheFileSystemReportsNoSize) {
    struct statvfs vfs {};
    vfs.f_frsize = 4096;
    vfs.f_bfree = 100;
    vfs.f_bavail = 90;
    EXPECT_EQ(FreeBytes(vfs, false), -1);  // no blocks at all: ramfs, some FUSE mounts
    vfs.f_blocks = 1000;
    EXPECT_EQ(FreeBytes(vfs, false), 90 * 4096);
    EXPECT_EQ(FreeBytes(vfs, true), 100 * 4096);  // root may use the blocks kept for it
}

}  // namespace
