// SPDX-License-Identifier: GPL-3.0-or-later
// A real run: MP3 files made with sox and lame, reduced through the batch by the encoder linked
// beside the program.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "FakeReduceHost.h"
#include "analysis/MP3Info.h"
#include "reduce/OutputNaming.h"
#include "reduce/ReduceBatch.h"
#include "reduce/Shell32.h"
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
    EXPECT_TRUE(host.prompts.messages[0].strInformative.startsWith("3 files: "));
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
    EXPECT_EQ(host.Rows(), sources);
}

// Each hazard of a run through one fixture: files made in a music folder inside a temporary one,
// the rows listed, the encoder (lame beside the program, or a stand-in), and each row's expected
// reason to fail ("" when its output counts). Afterwards every file that was there before, save
// the ones a case lets be replaced, is as it was, and a failed row has left no output behind.
class ReduceHazardTest : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        made = std::make_unique<QTemporaryDir>();
        const QString strSox = QStandardPaths::findExecutable("sox");
        const QString strLame = QStandardPaths::findExecutable("lame");
        auto tone = [&](const char* szName, const char* szHz, QStringList lameOptions,
                        const char* szRate = "44100") {
            const QString strWav = made->filePath("t.wav");
            const bool blnMade =
                RunTool(strSox,
                        {"-n", "-r", szRate, "-c", "2", strWav, "synth", "1", "sine", szHz}) &&
                RunTool(strLame, lameOptions << "--quiet" << strWav << made->filePath(szName));
            ASSERT_TRUE(blnMade) << "sox and lame are needed (Debian packages sox and lame)";
        };
        tone("song1.mp3", "440", {"-b", "128"});
        tone("song2.mp3", "660", {"-b", "128"});
        tone("tagged.mp3", "550", {"-b", "128", "--id3v1-only", "--tt", "Title", "--ta", "Artist"});
        tone("low.mp3", "440", {"-b", "32"});
        tone("vbr.mp3", "440", {"-V", "5", "-t"});  // no Xing frame: its length is its frames
        // 384 bytes a frame at 48 kHz and 128 kbps: the stand-in below empties the first one.
        tone("hollow48.mp3", "440", {"-b", "128"}, "48000");
        tone("plain128.mp3", "440", {"-b", "128", "-t"});
        // Frames without a frame count in the first one: their length is told by their size.
        ASSERT_TRUE(WriteBytes(made->filePath("plain.mp3"), SyntheticMp3(200)));
    }
    static void TearDownTestSuite() { made.reset(); }

    QString Music(const QString& strName) const { return strMusic + u'/' + strName; }
    void Copy(const char* szMade, const QString& strName) {
        ASSERT_TRUE(QFile::copy(made->filePath(szMade), Music(strName)));
    }
    // A file in the music folder joined from made files, bytes [0, lngLength) of each.
    static constexpr qsizetype kWhole = qsizetype{1} << 40;
    void Join(const QString& strName, const QList<std::pair<const char*, qsizetype>>& parts) {
        QByteArray bytes;
        for (const auto& [szMade, lngLength] : parts) {
            bytes += ReadBytes(made->filePath(szMade)).left(lngLength);
        }
        ASSERT_TRUE(WriteBytes(Music(strName), bytes));
    }

    // Every entry under the temporary folder: a link's target, "folder", "fifo" or the bytes.
    QMap<QString, QByteArray> Snapshot() const {
        QMap<QString, QByteArray> entries;
        QDirIterator it(dir->path(),
                        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info = it.nextFileInfo();
            entries[info.filePath()] = info.isSymLink() ? "link " + info.symLinkTarget().toUtf8()
                                       : info.isDir()   ? "folder"
                                       : info.isFile()  ? ReadBytes(info.filePath())
                                                        : "fifo";
        }
        return entries;
    }

    struct Case {
        const char* szName;
        bool blnStandIn;
        std::function<void(ReduceHazardTest&)> make;
        QList<std::pair<QString, QString>> rows;  // name in the music folder, reason
        QStringList replaceable;                  // older outputs the run may replace or remove
        int64_t lngFreeBytes = -1;  // what the file system is said to have free; -1: the truth
        OutputFile::Making making = OutputFile::Making::UnnamedWherePossible;
    };

    void Check(const Case& c) {
        SCOPED_TRACE(c.szName);
        dir = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(dir->isValid());
        strMusic = dir->filePath("music");
        ASSERT_TRUE(QDir().mkpath(strMusic));
        ASSERT_TRUE(WriteBytes(dir->filePath("victim.txt"), "someone else's file"));
        FakeReduceHost host;
        host.strFolder = KESTRELUND_TEST_BIN_DIR;
        if (c.blnStandIn) {
            host.strFolder = dir->filePath("prog");
            ASSERT_TRUE(QDir().mkpath(host.strFolder));
            ASSERT_TRUE(WriteScript(EncoderPath(host.strFolder),
                                    "case \"$(readlink -f \"$6\")\" in\n"
                                    "  *fail*) head -c 500 \"$6\" > \"$7\"; exit 1 ;;\n"
                                    "  *nooutput*) exit 0 ;;\n"
                                    "  *cut*) head -c 1000 \"$6\" > \"$7\"; exit 0 ;;\n"
                                    "  *short*) head -c 4170 \"$6\" > \"$7\"; exit 0 ;;\n"
                                    // The encoder's last write refused by a full disk.
                                    "  *hollow*) cp \"$6\" \"$7\"; dd if=/dev/zero of=\"$7\" "
                                    "bs=1 seek=4 count=380 conv=notrunc 2>/dev/null; "
                                    "truncate -s -4096 \"$7\"; exit 0 ;;\n"
                                    "esac\ncp \"$6\" \"$7\""));
        }
        c.make(*this);
        QStringList rows, details;
        for (const auto& [strName, strReason] : c.rows) {
            rows << Music(strName);
            if (!strReason.isEmpty()) details << Music(strName) + ": " + strReason;
        }
        host.SetRows(rows);
        const QMap<QString, QByteArray> before = Snapshot();
        RunServices services = RunServices::Real();
        services.making = c.making;
        if (c.lngFreeBytes >= 0) services.freeSpace = [&](int) { return c.lngFreeBytes; };
        ReduceBatch batch(services);
        batch.Run(host);

        const QMap<QString, QByteArray> after = Snapshot();
        // Each output written once, its size and its source's in the totals; one larger than its
        // source or at another bitrate than chosen named in the details.
        ReduceBatch::Report expected;
        expected.failures = details;
        MP3Info written;
        QStringList outputs;
        for (const auto& [strName, strReason] : c.rows) {
            const QString strOutput = OutputPath(Music(strName), host.strMenu);
            if (!strReason.isEmpty() || outputs.contains(strOutput)) continue;
            outputs << strOutput;
            ++expected.lngDone;
            expected.lngSourceBytes += before.value(Music(strName)).size();
            expected.lngOutputBytes += after.value(strOutput).size();
            if (after.value(strOutput).size() > before.value(Music(strName)).size()) {
                expected.larger << ReduceBatch::LargerOutput(strOutput);
            }
            if (written.ReadMP3Info(QFile::encodeName(strOutput).toStdString()) &&
                written.Bitrate() != 64000) {
                expected.otherBitrate
                    << strOutput +
                           QStringLiteral(": %1 kbps, not 64 kbps").arg(written.Bitrate() / 1000);
            }
        }
        ASSERT_EQ(host.prompts.messages.size(), 1u);
        EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
        EXPECT_EQ(host.prompts.messages[0].strInformative, expected.Informative())
            << qPrintable(host.prompts.messages[0].strInformative);
        EXPECT_EQ(host.prompts.messages[0].strDetails, expected.Details())
            << qPrintable(host.prompts.messages[0].strDetails);
        // No new file is left beside an output.
        for (const QString& strEntry : after.keys()) {
            EXPECT_TRUE(before.contains(strEntry) || !strEntry.endsWith(".part"))
                << "left behind: " << qPrintable(strEntry);
        }
        MP3Info mp3Info;
        QStringList changeable, counted;
        for (const QString& strName : c.replaceable) changeable << Music(strName);
        for (const auto& [strName, strReason] : c.rows) {
            if (strReason.isEmpty()) counted << OutputPath(Music(strName), host.strMenu);
        }
        for (const auto& [strName, strReason] : c.rows) {
            const QString strOutput = OutputPath(Music(strName), host.strMenu);
            if (strReason.isEmpty()) {
                EXPECT_TRUE(mp3Info.ReadMP3Info(QFile::encodeName(strOutput).toStdString()))
                    << qPrintable(strOutput);
                // A trailing ID3v1 block of the source is carried over.
                const QByteArray source = ReadBytes(Music(strName));
                if (source.right(128).startsWith("TAG")) {
                    EXPECT_EQ(ReadBytes(strOutput).right(128), source.right(128));
                }
            } else if (!counted.contains(strOutput) &&
                       (!before.contains(strOutput) || changeable.contains(strOutput))) {
                EXPECT_FALSE(after.contains(strOutput)) << "left behind: " << qPrintable(strOutput);
            }
        }
        changeable << counted;
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (!changeable.contains(it.key())) {
                EXPECT_EQ(after.value(it.key()), it.value()) << qPrintable(it.key());
            }
        }
    }

    static inline std::unique_ptr<QTemporaryDir> made;
    std::unique_ptr<QTemporaryDir> dir;  // one for each case
    QString strMusic;
};

TEST_F(ReduceHazardTest, NoRunLosesAByteOrCountsAFailure) {
    auto link = [](const char* szName, const char* szTarget) {
        return [=](ReduceHazardTest& t) {
            t.Copy("song1.mp3", szName[0] == 'S' ? "S.mp3" : "V.mp3");
            ASSERT_EQ(::symlink(szTarget, QFile::encodeName(t.Music(szName)).constData()), 0);
        };
    };
    const Case cases[] = {
        {"an output name linking to its source",
         false,
         link("S_64KBIT_REDUCED.mp3", "S.mp3"),
         {{"S.mp3", "the output name is a link"}},
         {}},
        {"an output name linking outside the folder",
         false,
         link("V_64KBIT_REDUCED.mp3", "../victim.txt"),
         {{"V.mp3", "the output name is a link"}},
         {}},
        {"an output name that is a hard link of its source",
         false,
         [](ReduceHazardTest& t) {
             t.Copy("song1.mp3", "H.mp3");
             ASSERT_EQ(::link(QFile::encodeName(t.Music("H.mp3")).constData(),
                              QFile::encodeName(t.Music("H_64KBIT_REDUCED.mp3")).constData()),
                       0);
         },
         {{"H.mp3", "the output would replace its source"}},
         {}},
        {"an output name that is another listed song",
         false,
         [](ReduceHazardTest& t) {
             t.Copy("song1.mp3", "A.mp3");
             t.Copy("song2.mp3", "A_64KBIT_REDUCED.mp3");
         },
         {{"A.mp3", "the output would replace a file in the list"}, {"A_64KBIT_REDUCED.mp3", ""}},
         {}},
        {"two songs with one output name",
         false,
         [](ReduceHazardTest& t) {
             t.Copy("song1.mp3", "x.mp3");
             t.Copy("song2.mp3", "x.MP3");
         },
         {{"x.mp3", ""}, {"x.MP3", "the output would replace an output of this run"}},
         {}},
        {"rows that are no MP3 files",
         false,
         [](ReduceHazardTest& t) {
             ASSERT_TRUE(QDir().mkpath(t.Music("Album")));
             t.Copy("song1.mp3", "Album/in.mp3");
             ASSERT_TRUE(WriteBytes(t.Music("notes.txt"), "a note\n"));
             ASSERT_EQ(::mkfifo(QFile::encodeName(t.Music("pipe.mp3")).constData(), 0600), 0);
         },
         {{"Album", "is a folder"},
          {"notes.txt", "not a valid MP3 file"},
          {"pipe.mp3", "not a valid MP3 file"},
          {"gone.mp3", "no such file"}},
         {}},
        {"an unreadable file (a user other than root)",
         false,
         [](ReduceHazardTest& t) {
             t.Copy("song1.mp3", "locked.mp3");
             ASSERT_EQ(::chmod(QFile::encodeName(t.Music("locked.mp3")).constData(), 0), 0);
         },
         {{"locked.mp3", ::geteuid() == 0 ? "" : "permission denied"}},
         {}},
        {"a file joined from two parts in two formats",
         false,
         [](ReduceHazardTest& t) {
             t.Join("joined.mp3", {{"song1.mp3", kWhole}, {"hollow48.mp3", kWhole}});
         },
         {{"joined.mp3", "the sample rate changes at 0:01; the encoder would stop there"}},
         {}},
        {"headers that lie: VBR without Xing, a cut download, an APE tag without an Info frame",
         false,
         [](ReduceHazardTest& t) {
             t.Copy("vbr.mp3", "vbr.mp3");
             t.Join("partial.mp3", {{"song1.mp3", 9000}});
             QByteArray ape = "APETAGEX";
             ape += QByteArray::fromHex("d0070000") + QByteArray::fromHex("17200000") +
                    QByteArray::fromHex("01000000") + QByteArray::fromHex("000000a0") +
                    QByteArray(8, 0);
             const QByteArray item = QByteArray::fromHex("e71f0000") + QByteArray(4, 0) +
                                     "Comment" + '\0' + QByteArray(8167, 'x');
             QByteArray footer = ape;
             footer[23] = '\x80';  // the footer's flags: no "this is the header" bit
             t.Join("ape.mp3", {{"plain128.mp3", kWhole}});
             ASSERT_TRUE(WriteBytes(t.Music("ape.mp3"),
                                    ReadBytes(t.Music("ape.mp3")) + ape + item + footer));
         },
         {{"vbr.mp3", ""}, {"partial.mp3", ""}, {"ape.mp3", ""}},
         {}},
        {"the same file twice, and an output larger than its source",
         false,
         [](ReduceHazardTest& t) {
             t.Copy("song1.mp3", "twice.mp3");
             t.Copy("low.mp3", "low.mp3");
         },
         {{"twice.mp3", ""}, {"low.mp3", ""}, {"twice.mp3", ""}},
         {}},
        {"an older output, with a second name, replaced; ID3v1 kept",
         false,
         [](ReduceHazardTest& t) {
             t.Copy("tagged.mp3", "old.mp3");
             ASSERT_TRUE(WriteBytes(t.Music("old_64KBIT_REDUCED.mp3"), "stale"));
             ASSERT_EQ(::link(QFile::encodeName(t.Music("old_64KBIT_REDUCED.mp3")).constData(),
                              QFile::encodeName(t.Music("backup.bin")).constData()),
                       0);
         },
         {{"old.mp3", ""}},
         {"old_64KBIT_REDUCED.mp3"}},
        {"encoders that fail, write nothing, cut the output short or meet a full disk; older "
         "outputs kept, a new file a killed run left behind left alone",
         true,
         [](ReduceHazardTest& t) {
             for (const char* szName : {"fail.mp3", "nooutput.mp3", "cut.mp3"}) {
                 t.Copy("song1.mp3", szName);
             }
             t.Copy("plain.mp3", "short.mp3");
             t.Copy("hollow48.mp3", "hollow.mp3");
             for (const char* szOlder : {"nooutput_64KBIT_REDUCED.mp3", "fail_64KBIT_REDUCED.mp3",
                                         "hollow_64KBIT_REDUCED.mp3"}) {
                 t.Copy("song2.mp3", szOlder);
             }
             ASSERT_TRUE(WriteBytes(t.Music(".cut_64KBIT_REDUCED.mp3.aB3dE9.part"), "killed"));
         },
         {{"fail.mp3", "the encoder ended with status 1"},
          {"nooutput.mp3", "the encoder wrote no output"},
          {"cut.mp3", "the output's frames are not whole"},
          {"short.mp3", "the output does not match the source's length"},
          {"hollow.mp3", "the output's first frame is empty"}},
         {}},
        {"a disk that is full after the encode",
         true,
         [](ReduceHazardTest& t) {
             t.Copy("song1.mp3", "full.mp3");
             t.Copy("song2.mp3", "full_64KBIT_REDUCED.mp3");
         },
         {{"full.mp3", "the disk is full"}},
         {},
         FullDiskThreshold() - 1},
    };
    for (const Case& c : cases) Check(c);
}

}  // namespace
