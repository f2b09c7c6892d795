// The Reduce run over a list, with a recording stand-in for the encoder in a temporary program
// folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <vector>

#include "FakeReduceHost.h"
#include "reduce/OutputNaming.h"
#include "reduce/ReduceBatch.h"
#include "reduce/Shell32.h"
#include "support/ReduceTestFiles.h"

using namespace reducetest;

namespace {

// The stand-in encoder records its arguments, then acts on the input's name: "fail" ends with
// code 1 and writes nothing, "nooutput" ends with 0 and writes nothing, "garbage" writes a file
// that is no MP3; any other input is copied to the output after a short pause.
QString FakeEncoderBody(const QString& strRecord) {
    return RecordArgumentsLines(strRecord) +
           QStringLiteral(
               "\ncase \"$6\" in\n"
               "  *fail*) exit 1 ;;\n"
               "  *nooutput*) exit 0 ;;\n"
               "  *garbage*) echo 'not audio' > \"$7\"; exit 0 ;;\n"
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
    QString Source(const QString& strName, const QByteArray& data = SyntheticMp3()) {
        const QString strPath = strMusic + u'/' + strName;
        EXPECT_TRUE(WriteBytes(strPath, data));
        return strPath;
    }

    QList<QStringList> Calls() const { return ReadRecord(strRecord, 8); }

    // Runs the batch through a counting wrapper around RunAndWait.
    void Run() { batch.Run(host); }

    QTemporaryDir dir;
    QString strFolder, strMusic, strRecord;
    FakeReduceHost host;
    int lngRuns = 0;
    ReduceBatch batch{[this](const QStringList& arguments) {
        ++lngRuns;
        return RunAndWait(arguments, 0);
    }};
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
    host.rows = sources;
    Run();

    EXPECT_EQ(host.progress, (std::vector<float>{25.0f, 50.0f, 75.0f, 100.0f, 0.0f}));
    EXPECT_EQ(host.pointers, (std::vector<int>{11, 11, 11, 11, 0}));
    const QList<QStringList> calls = Calls();
    ASSERT_EQ(calls.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const QString strOutput = OutputPath(sources[i], host.strMenu);
        EXPECT_EQ(calls[i], (QStringList{EncoderPath(strFolder), "-h", "-m", "s", "-b", "64",
                                         sources[i], strOutput}));
        EXPECT_TRUE(QFileInfo(strOutput).isFile()) << strOutput.toStdString();
        EXPECT_EQ(QFileInfo(strOutput).path(), strMusic);
    }
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strTitle, "Kestrelund");
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
    EXPECT_EQ(host.prompts.messages[0].icon, Prompts::Icon::None);
    EXPECT_EQ(host.prompts.messages[0].strInformative, "");
    // The run changes neither the list nor a source file.
    EXPECT_EQ(host.rows, sources);
    for (const QString& strSource : sources) EXPECT_EQ(ReadBytes(strSource), SyntheticMp3());
}

TEST_F(ReduceBatchTest, ThreeRowsGiveThirdsInSinglePrecision) {
    InstallEncoder();
    host.rows = QStringList{Source("a.mp3"), Source("b.mp3"), Source("c.mp3")};
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
    host.rows = QStringList{Source("a.mp3"), Source("b.mp3"), Source("c.mp3")};
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
    EXPECT_EQ(calls[0][7], strMusic + "/a_64KBIT_REDUCED.mp3");
    EXPECT_EQ(calls[1][5], "32");
    EXPECT_EQ(calls[1][7], strMusic + "/b_32KBIT_REDUCED.mp3");
    EXPECT_EQ(calls[2][5], "32");
    EXPECT_EQ(calls[2][7], strMusic + "/c_32KBIT_REDUCED.mp3");
}

TEST_F(ReduceBatchTest, AnEncoderThatCannotStartStopsTheRunWithAWarning) {
    struct Case {
        bool blnPresent;  // the file exists but may not be run
        const char* szReason;
    };
    for (const Case& c :
         {Case{false, "The file does not exist."}, Case{true, "The file may not be run."}}) {
        if (c.blnPresent) {
            ASSERT_TRUE(WriteScript(EncoderPath(strFolder), FakeEncoderBody(strRecord), false));
        }
        host.prompts.messages.clear();
        host.pointers.clear();
        host.progress.clear();
        host.rows = QStringList{Source("a.mp3"), Source("b.mp3"), Source("c.mp3")};
        lngRuns = 0;
        Run();
        EXPECT_EQ(lngRuns, 1) << c.szReason;
        ASSERT_EQ(host.prompts.messages.size(), 1u);
        const FakePrompts::Message& message = host.prompts.messages[0];
        EXPECT_EQ(message.strTitle, "Kestrelund");
        EXPECT_EQ(message.strText, "The encoder could not be started.");
        EXPECT_EQ(message.icon, Prompts::Icon::Warning);
        EXPECT_EQ(message.strInformative, EncoderPath(strFolder) + "\n" + c.szReason);
        EXPECT_EQ(host.pointers, (std::vector<int>{11, 0}));
        EXPECT_EQ(host.progress, (std::vector<float>{static_cast<float>(100.0 / 3), 0.0f}));
        EXPECT_FALSE(QFileInfo::exists(strMusic + "/a_64KBIT_REDUCED.mp3"));
        EXPECT_FALSE(batch.IsRunning());
    }
}

TEST_F(ReduceBatchTest, FailedFilesAreNamedAfterDone) {
    InstallEncoder();
    const QString strGood = Source("good.mp3");
    const QString strFail = Source("fail.mp3");
    const QString strNoOutput = Source("nooutput.mp3");
    const QString strGarbage = Source("garbage.mp3");
    const QString strLast = Source("last.mp3");
    host.rows = QStringList{strGood, strFail, strNoOutput, strGarbage, strLast};
    Run();
    EXPECT_EQ(Calls().size(), 5);  // a failure does not stop the run
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
    EXPECT_EQ(host.prompts.messages[0].icon, Prompts::Icon::None);
    EXPECT_EQ(host.prompts.messages[0].strInformative,
              "3 files failed:\n" + strFail + "\n" + strNoOutput + "\n" + strGarbage);

    // One failure alone.
    host.prompts.messages.clear();
    host.rows = QStringList{strFail};
    Run();
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
    EXPECT_EQ(host.prompts.messages[0].strInformative, "1 file failed:\n" + strFail);
}

TEST_F(ReduceBatchTest, ASecondPressDuringARunIsIgnored) {
    InstallEncoder();
    host.rows = QStringList{Source("a.mp3"), Source("b.mp3"), Source("c.mp3")};
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

TEST_F(ReduceBatchTest, RemovalsEndTheRunAtTheListsEnd) {
    InstallEncoder();
    const QString strA = Source("a.mp3");
    const QString strB = Source("b.mp3");
    const QString strC = Source("c.mp3");
    host.rows = QStringList{strA, strB, strC};
    // While file 1 is encoded, the last row is removed.
    host.onProgress = [&](float) {
        if (host.progress.size() == 1) QTimer::singleShot(0, [&] { host.rows.removeLast(); });
    };
    Run();
    EXPECT_EQ(host.progress, (std::vector<float>{static_cast<float>(100.0 / 3), 100.0f, 0.0f}));
    EXPECT_EQ(lngRuns, 2);
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");

    // Every row removed during file 1: the run ends there, with no division by zero.
    host.progress.clear();
    host.prompts.messages.clear();
    lngRuns = 0;
    host.rows = QStringList{strA, strB, strC};
    host.onProgress = [&](float) {
        if (host.progress.size() == 1) QTimer::singleShot(0, [&] { host.rows.clear(); });
    };
    Run();
    EXPECT_EQ(lngRuns, 1);
    EXPECT_EQ(host.progress, (std::vector<float>{static_cast<float>(100.0 / 3), 0.0f}));
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
    for (float sngValue : host.progress) EXPECT_LE(sngValue, 100.0f);
}

TEST_F(ReduceBatchTest, ANameWithoutAFullStopGetsThePiecesAppended) {
    InstallEncoder();
    const QString strSource = Source("track");
    host.rows = QStringList{strSource};
    Run();
    const QString strOutput = strMusic + "/track_64KBIT_REDUCED.mp3";
    ASSERT_EQ(Calls().size(), 1);
    EXPECT_EQ(Calls()[0][7], strOutput);
    EXPECT_EQ(ReadBytes(strOutput), SyntheticMp3());
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strInformative, "");
}

TEST_F(ReduceBatchTest, TheSameFileTwiceIsEncodedTwice) {
    InstallEncoder();
    const QString strSource = Source("twice.mp3");
    host.rows = QStringList{strSource, strSource};
    Run();
    const QList<QStringList> calls = Calls();
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[0], calls[1]);
    EXPECT_EQ(host.prompts.messages.back().strInformative, "");
}

}  // namespace
