// A real run: MP3 files made with sox and lame, reduced through the batch by the encoder linked
// beside the program.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "FakeReduceHost.h"
#include "analysis/MP3Info.h"
#include "reduce/OutputNaming.h"
#include "reduce/ReduceBatch.h"
#include "support/ReduceTestFiles.h"

using namespace reducetest;

namespace {

// Runs a tool to its end; true when it ended with code 0.
bool RunTool(const QString& strProgram, const QStringList& arguments) {
    QProcess process;
    process.start(strProgram, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

TEST(ReduceEndToEnd, TheProgramFolderHoldsTheEncoderLink) {
    const QFileInfo encoder(EncoderPath(KESTRELUND_TEST_BIN_DIR));
    EXPECT_TRUE(encoder.isSymLink());
    EXPECT_TRUE(encoder.isExecutable());
}

TEST(ReduceEndToEnd, ReducesThreeFilesTo32Kbps) {
    const QString strSox = QStandardPaths::findExecutable("sox");
    const QString strLame = QStandardPaths::findExecutable("lame");
    ASSERT_FALSE(strSox.isEmpty()) << "sox is needed (Debian package sox)";
    ASSERT_FALSE(strLame.isEmpty()) << "lame is needed (Debian package lame)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strTone = dir.filePath("tone.wav");
    ASSERT_TRUE(
        RunTool(strSox, {"-n", "-r", "44100", "-c", "2", strTone, "synth", "1", "sine", "440"}));

    QStringList sources;
    QList<QByteArray> before;
    for (const char* szName : {"one.mp3", "two words.mp3", "drei-ü \"x\".MP3"}) {
        const QString strSource = dir.filePath(QString::fromUtf8(szName));
        ASSERT_TRUE(RunTool(strLame, {"--quiet", "-b", "128", strTone, strSource}));
        sources << strSource;
        before << ReadBytes(strSource);
        ASSERT_FALSE(before.back().isEmpty());
    }

    FakeReduceHost host;
    host.strFolder = KESTRELUND_TEST_BIN_DIR;
    host.strMenu = QStringLiteral("Reduce to 32 kbps");
    host.SetRows(sources);
    ReduceBatch batch;
    batch.Run(host);

    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
    EXPECT_EQ(host.prompts.messages[0].strInformative, "");
    MP3Info mp3Info;
    for (int i = 0; i < sources.size(); ++i) {
        const QString strOutput = OutputPath(sources[i], host.strMenu);
        EXPECT_EQ(QFileInfo(strOutput).path(), QFileInfo(sources[i]).path());
        ASSERT_TRUE(mp3Info.ReadMP3Info(QFile::encodeName(strOutput).toStdString()))
            << strOutput.toStdString();
        EXPECT_EQ(mp3Info.Bitrate(), 32000);
        EXPECT_EQ(ReadBytes(sources[i]), before[i])
            << "source changed: " << sources[i].toStdString();
    }
    EXPECT_EQ(host.rows, sources);
}

}  // namespace
