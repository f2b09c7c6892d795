// SPDX-License-Identifier: GPL-3.0-or-later
// A real run: MP3 files made with sox and lame, reduced through the batch by the encoder linked
// beside the program.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
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
#include "support/Mp3Synth.h"
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

// A Layer I file that decodes to silence: lngFrames frames of MPEG-1 Layer I at 384 kbps,
// 44100 Hz, stereo, each a header and zeros.
QByteArray LayerOneSilence(int lngFrames) {
    QByteArray frame(416, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFF';
    frame[2] = '\xC0';
    return frame.repeated(lngFrames);
}

TEST(ReduceEndToEnd, EachLayerIsReducedAsTheEncoderReducesItsNamedFile) {
    const QString strSox = QStandardPaths::findExecutable("sox");
    const QString strLame = QStandardPaths::findExecutable("lame");
    const QString strFfmpeg = QStandardPaths::findExecutable("ffmpeg");
    ASSERT_FALSE(strSox.isEmpty() || strLame.isEmpty() || strFfmpeg.isEmpty())
        << "sox, lame and ffmpeg are needed (Debian packages sox, lame and ffmpeg)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strTone = dir.filePath("tone.wav");
    ASSERT_TRUE(
        RunTool(strSox, {"-n", "-r", "44100", "-c", "2", strTone, "synth", "1", "sine", "440"}));

    // Layer III with an ID3v2 tag, Layer II, Layer I; odd names.
    const QStringList sources{dir.filePath("one.mp3"), dir.filePath("two words.mp3"),
                              dir.filePath(QString::fromUtf8("drei-ü \"x\".MP3"))};
    ASSERT_TRUE(RunTool(
        strLame, {"--quiet", "-b", "128", "--id3v2-only", "--tt", "Title", strTone, sources[0]}));
    ASSERT_TRUE(RunTool(strFfmpeg, {"-loglevel", "error", "-i", strTone, "-c:a", "mp2", "-b:a",
                                    "192k", "-f", "mp2", sources[1]}));
    ASSERT_TRUE(WriteBytes(sources[2], LayerOneSilence(115)));
    QList<QByteArray> before;
    for (const QString& strSource : sources) before << ReadBytes(strSource);

    FakeReduceHost host;
    host.strFolder = KESTRELUND_TEST_BIN_DIR;
    host.strMenu = QStringLiteral("Reduce to 32 kbps");
    host.SetRows(sources);
    ReduceBatch batch;
    batch.Run(host);

    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
    EXPECT_TRUE(host.prompts.messages[0].strInformative.startsWith("3 files: "))
        << qPrintable(host.prompts.messages[0].strInformative);
    for (int i = 0; i < sources.size(); ++i) {
        // The encoder, handed the open files, writes what it writes for the named files: tags
        // and Info frame included.
        const QString strOutput = OutputPath(sources[i], host.strMenu);
        const QString strCopy = dir.filePath(QStringLiteral("copy%1.mp3").arg(i));
        const QString strNamed = dir.filePath(QStringLiteral("named%1.mp3").arg(i));
        ASSERT_TRUE(QFile::copy(sources[i], strCopy));
        ASSERT_TRUE(RunTool(strLame, {"--quiet", "-h", "-m", "s", "-b", "32", strCopy, strNamed}));
        EXPECT_EQ(ReadBytes(strOutput), ReadBytes(strNamed)) << qPrintable(strOutput);
        EXPECT_EQ(ReadBytes(sources[i]), before[i]) << "source changed: " << qPrintable(sources[i]);
    }
    EXPECT_EQ(host.Rows(), sources);
}

// Sets or clears the immutable flag of the file at strPath (root only, and only where the file
// system has the flag); false when it cannot.
bool SetImmutable(const QString& strPath, bool blnOn) {
    const int lngFd = ::open(QFile::encodeName(strPath).constData(), O_RDONLY | O_CLOEXEC);
    if (lngFd < 0) return false;
    int lngFlags = 0;
    bool blnDone = ::ioctl(lngFd, FS_IOC_GETFLAGS, &lngFlags) == 0;
    lngFlags = blnOn ? lngFlags | FS_IMMUTABLE_FL : lngFlags & ~FS_IMMUTABLE_FL;
    blnDone = blnDone && ::ioctl(lngFd, FS_IOC_SETFLAGS, &lngFlags) == 0;
    ::close(lngFd);
    return blnDone;
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
        // 72 ms frames, whose last one, cut short, the encoder drops.
        tone("abr8k.mp3", "440", {"--abr", "48"}, "8000");
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
    // The bytes of the made file szMade.
    static QByteArray Made(const char* szMade) { return ReadBytes(made->filePath(szMade)); }
    // lngCount synthesised frames of 128 kbps at 48 kHz (384 bytes each).
    static QByteArray Frames48(int lngCount) {
        synth::Header header;
        header.samplerate = 1;
        const synth::Bytes bytes = synth::Frames(header, lngCount);
        return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
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
        QStringList replaceable;    // files the run (or the case meanwhile) may replace or remove
        int64_t lngFreeBytes = -1;  // what the file system is said to have free; -1: the truth
        OutputFile::Making making = OutputFile::Making::UnnamedWherePossible;
        // Done once while the first row's encoder runs.
        std::function<void(ReduceHazardTest&, FakeReduceHost&)> during = nullptr;
        bool blnSyncFails = false;  // fsync of every new file fails
    };

    // The run's own new files in the music folder now (named ones).
    QStringList NewFiles() const {
        return QDir(strMusic).entryList({".*.part"}, QDir::Files | QDir::Hidden | QDir::System);
    }

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
            ASSERT_TRUE(
                WriteScript(EncoderPath(host.strFolder),
                            "size=$(wc -c < \"$6\")\n"
                            "case \"$(basename \"$(readlink -f \"$6\")\")\" in\n"
                            "  *fail*) head -c 500 \"$6\" > \"$7\"; exit 1 ;;\n"
                            "  *nooutput*) exit 0 ;;\n"
                            "  *cut*) head -c 1000 \"$6\" > \"$7\"; exit 0 ;;\n"
                            "  *short*) head -c 4170 \"$6\" > \"$7\"; exit 0 ;;\n"
                            // The encoder's last write refused by a full disk.
                            "  *hollow*) cp \"$6\" \"$7\"; dd if=/dev/zero of=\"$7\" "
                            "bs=1 seek=4 count=380 conv=notrunc 2>/dev/null; "
                            "truncate -s -4096 \"$7\"; exit 0 ;;\n"
                            "  *slow*) sleep 0.5 ;;\n"
                            // Whole frames of 417 bytes fewer or more than the source.
                            "  *minus1*) head -c $((size - 417)) \"$6\" > \"$7\"; exit 0 ;;\n"
                            "  *minus2*) head -c $((size - 834)) \"$6\" > \"$7\"; exit 0 ;;\n"
                            "  *plus11*) { cat \"$6\"; head -c 4587 \"$6\"; } > \"$7\"; exit 0 ;;\n"
                            "  *plus12*) { cat \"$6\"; head -c 5004 \"$6\"; } > \"$7\"; exit 0 ;;\n"
                            // An encoder that stopped after 40 frames.
                            "  *stopped*) head -c 16680 \"$6\" > \"$7\"; exit 0 ;;\n"
                            "esac\ncp \"$6\" \"$7\""));
        }
        c.make(*this);
        QStringList rows, details;
        for (const auto& [strName, strReason] : c.rows) {
            rows << Music(strName);
            if (!strReason.isEmpty()) details << Music(strName) + ": " + strReason;
        }
        host.SetRows(rows);
        QStringList rowMenus;  // the menu at each row's turn
        host.onProgress = [&](float sngValue) {
            if (sngValue == 0) return;  // the run's end
            rowMenus << host.strMenu;
            if (c.during && rowMenus.size() == 1) {
                QTimer::singleShot(0, [&] { c.during(*this, host); });
            }
        };
        const QMap<QString, QByteArray> before = Snapshot();
        RunServices services = RunServices::Real();
        services.making = c.making;
        if (c.lngFreeBytes >= 0) services.freeSpace = [&](int) { return c.lngFreeBytes; };
        if (c.blnSyncFails) {
            services.sync = [](int) {
                errno = EIO;
                return -1;
            };
        }
        ReduceBatch batch(services);
        batch.Run(host);

        const QMap<QString, QByteArray> after = Snapshot();
        ASSERT_EQ(rowMenus.size(), c.rows.size());
        // Each output written once, its size and its source's in the totals; one larger than its
        // source or at another bitrate than chosen named in the details.
        ReduceBatch::Report expected;
        expected.failures = details;
        MP3Info written;
        QStringList outputs, changeable;
        // A path through a linked folder, as the file it names is listed in the snapshots.
        const auto Real = [](const QString& strPath) {
            const QString strReal = QFileInfo(strPath).canonicalFilePath();
            return strReal.isEmpty() ? strPath : strReal;
        };
        for (int i = 0; i < c.rows.size(); ++i) {
            const auto& [strName, strReason] = c.rows[i];
            const QString strOutput = Real(OutputPath(Music(strName), rowMenus[i]));
            const QString strSource = Real(Music(strName));
            if (!strReason.isEmpty() || outputs.contains(strOutput)) continue;
            outputs << strOutput;
            ++expected.lngDone;
            expected.lngSourceBytes += before.value(strSource).size();
            expected.lngOutputBytes += after.value(strOutput).size();
            if (after.value(strOutput).size() > before.value(strSource).size()) {
                expected.larger << ReduceBatch::LargerOutput(strOutput);
            }
            const int lngChosen = BitrateFromMenuText(rowMenus[i]);
            if (written.ReadMP3Info(QFile::encodeName(strOutput).toStdString()) &&
                written.Bitrate() != lngChosen * 1000) {
                expected.otherBitrate << strOutput + QStringLiteral(": %1 kbps, not %2 kbps")
                                                         .arg(written.Bitrate() / 1000)
                                                         .arg(lngChosen);
            }
            // A trailing ID3v1 block of the source is carried over.
            const QByteArray source = before.value(strSource);
            if (source.right(128).startsWith("TAG")) {
                EXPECT_EQ(after.value(strOutput).right(128), source.right(128));
            }
        }
        ASSERT_EQ(host.prompts.messages.size(), 1u);
        EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
        EXPECT_EQ(host.prompts.messages[0].strInformative, expected.Informative())
            << qPrintable(host.prompts.messages[0].strInformative);
        EXPECT_EQ(host.prompts.messages[0].strDetails, expected.Details())
            << qPrintable(host.prompts.messages[0].strDetails);
        // No new file of the run is left behind (a link someone put there is not the run's).
        for (const QString& strEntry : after.keys()) {
            EXPECT_TRUE(before.contains(strEntry) || !strEntry.endsWith(".part") ||
                        after.value(strEntry).startsWith("link "))
                << "left behind: " << qPrintable(strEntry);
        }
        for (const QString& strOutput : outputs) {
            EXPECT_TRUE(written.ReadMP3Info(QFile::encodeName(strOutput).toStdString()))
                << qPrintable(strOutput);
        }
        // A failed row leaves no output; everything else is as it was.
        for (const QString& strName : c.replaceable) changeable << Music(strName);
        for (int i = 0; i < c.rows.size(); ++i) {
            const QString strOutput = Real(OutputPath(Music(c.rows[i].first), rowMenus[i]));
            if (!outputs.contains(strOutput) &&
                (!before.contains(strOutput) || changeable.contains(strOutput))) {
                EXPECT_TRUE(!after.contains(strOutput) ||
                            after.value(strOutput).startsWith("link "))
                    << "left behind: " << qPrintable(strOutput);
            }
        }
        changeable << outputs;
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
        {"a file joined from parts in two formats, more than a second in the second",
         false,
         [](ReduceHazardTest& t) {
             t.Join("joined.mp3",
                    {{"song1.mp3", kWhole}, {"hollow48.mp3", kWhole}, {"hollow48.mp3", kWhole}});
         },
         {{"joined.mp3",
           "the sample rate changes at 0:01; 0:02 of the audio is in another format"}},
         {}},
        {"what the encoder drops: a last frame cut short at 8 kHz, three frames of another "
         "sample rate, an ID3v2 tag and zeros between frames",
         false,
         [](ReduceHazardTest& t) {
             const QByteArray abr = Made("abr8k.mp3");
             ASSERT_TRUE(WriteBytes(t.Music("cut8k.mp3"), abr.left(abr.size() - 100)));
             // The frames after the 48 kHz file's Info frame.
             ASSERT_TRUE(WriteBytes(
                 t.Music("splice.mp3"),
                 Made("song1.mp3") + Made("hollow48.mp3").mid(384, 1152) + Made("song2.mp3")));
             synth::Bytes tag = synth::Id3v2Tag(3000);
             ASSERT_TRUE(WriteBytes(t.Music("between.mp3"),
                                    Made("song1.mp3") +
                                        QByteArray(reinterpret_cast<const char*>(tag.data()),
                                                   static_cast<qsizetype>(tag.size())) +
                                        Made("song2.mp3") + QByteArray(2000, '\0') +
                                        Made("song1.mp3")));
         },
         {{"cut8k.mp3", ""}, {"splice.mp3", ""}, {"between.mp3", ""}},
         {}},
        {"outputs one frame inside and one outside each edge of the length bound; an encoder "
         "that stopped at another format",
         true,
         [](ReduceHazardTest& t) {
             for (const char* szName :
                  {"edge-minus1.mp3", "edge-minus2.mp3", "edge-plus11.mp3", "edge-plus12.mp3"}) {
                 ASSERT_TRUE(WriteBytes(t.Music(szName), SyntheticMp3(100)));
             }
             ASSERT_TRUE(WriteBytes(t.Music("stopped.mp3"),
                                    SyntheticMp3(40) + Frames48(3) + SyntheticMp3(40)));
         },
         {{"edge-minus1.mp3", ""},
          {"edge-minus2.mp3", "the output does not match the source's length"},
          {"edge-plus11.mp3", ""},
          {"edge-plus12.mp3", "the output does not match the source's length"},
          {"stopped.mp3", "the sample rate changes at 0:01; the encoder kept only 0:01 of 0:02"}},
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
        {"the same file twice, also through a linked folder, and an output larger than its source",
         false,
         [](ReduceHazardTest& t) {
             t.Copy("song1.mp3", "twice.mp3");
             t.Copy("low.mp3", "low.mp3");
             ASSERT_EQ(::symlink(".", QFile::encodeName(t.Music("Linked")).constData()), 0);
         },
         {{"twice.mp3", ""}, {"low.mp3", ""}, {"twice.mp3", ""}, {"Linked/twice.mp3", ""}},
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
        {"an output name taken by a folder",
         false,
         [](ReduceHazardTest& t) {
             t.Copy("song1.mp3", "F.mp3");
             ASSERT_TRUE(QDir().mkpath(t.Music("F_64KBIT_REDUCED.mp3")));
         },
         {{"F.mp3", "the output name is taken by something that is not a file"}},
         {}},
        {"an output whose Info frame counts more frames than it holds",
         true,
         [](ReduceHazardTest& t) {
             synth::Header header;
             const synth::Bytes info = synth::XingFrame(header, "Info", 1, 300, 0);
             ASSERT_TRUE(WriteBytes(t.Music("liar.mp3"),
                                    QByteArray(reinterpret_cast<const char*>(info.data()),
                                               static_cast<qsizetype>(info.size())) +
                                        SyntheticMp3(200)));
         },
         {{"liar.mp3", "the output holds fewer frames than its header counts"}},
         {}},
        {"a link put at the output name while the encoder runs: neither followed nor replaced",
         true,
         [](ReduceHazardTest& t) { t.Copy("song1.mp3", "slowlink.mp3"); },
         {{"slowlink.mp3", "the output name is a link"}},
         {},
         -1,
         OutputFile::Making::UnnamedWherePossible,
         [](ReduceHazardTest& t, FakeReduceHost&) {
             ASSERT_EQ(::symlink("../victim.txt",
                                 QFile::encodeName(t.Music("slowlink_64KBIT_REDUCED.mp3"))),
                       0);
         }},
        {"the new file's name taken over by a link while the encoder runs",
         true,
         [](ReduceHazardTest& t) { t.Copy("song1.mp3", "slowpart.mp3"); },
         {{"slowpart.mp3", "the output was replaced while the encoder ran"}},
         {},
         -1,
         OutputFile::Making::Named,
         [](ReduceHazardTest& t, FakeReduceHost&) {
             ASSERT_EQ(t.NewFiles().size(), 1);
             const QByteArray part = QFile::encodeName(t.Music(t.NewFiles().front()));
             ASSERT_EQ(::unlink(part.constData()), 0);
             ASSERT_EQ(::symlink("../victim.txt", part.constData()), 0);
         }},
        {"a source swapped for a pipe while the encoder runs",
         true,
         [](ReduceHazardTest& t) { t.Copy("song1.mp3", "slowpipe.mp3"); },
         {{"slowpipe.mp3", ""}},
         {"slowpipe.mp3"},
         -1,
         OutputFile::Making::UnnamedWherePossible,
         [](ReduceHazardTest& t, FakeReduceHost&) {
             const QByteArray source = QFile::encodeName(t.Music("slowpipe.mp3"));
             ASSERT_EQ(::rename(source.constData(), (source + ".moved").constData()), 0);
             ASSERT_EQ(::mkfifo(source.constData(), 0600), 0);
         }},
        {"an fsync that fails",
         false,
         [](ReduceHazardTest& t) {
             t.Copy("song1.mp3", "sync.mp3");
             t.Copy("song2.mp3", "sync_64KBIT_REDUCED.mp3");
         },
         {{"sync.mp3", "the output cannot be written (Input/output error)"}},
         {},
         -1,
         OutputFile::Making::UnnamedWherePossible,
         nullptr,
         true},
        {"the same file twice, the menu changed between its rows",
         false,
         [](ReduceHazardTest& t) { t.Copy("song1.mp3", "menu.mp3"); },
         {{"menu.mp3", ""}, {"menu.mp3", ""}},
         {},
         -1,
         OutputFile::Making::UnnamedWherePossible,
         [](ReduceHazardTest&, FakeReduceHost& host) {
             host.strMenu = QStringLiteral("Reduce to 32 kbps");
         }},
    };
    for (const Case& c : cases) Check(c);

    // An older output that cannot be replaced (immutable), for the unnamed and the named new file:
    // the rename fails, the new file goes, the older output stays.
    const QString strProbe = made->filePath("immutable-probe");
    if (!WriteBytes(strProbe, "probe") || !SetImmutable(strProbe, true)) {
        GTEST_SKIP() << "the immutable flag needs root and a file system that has it: the case of "
                        "an older output that cannot be replaced is not run";
    }
    SetImmutable(strProbe, false);
    const QString strOlder = QStringLiteral("fixed_64KBIT_REDUCED.mp3");
    for (const OutputFile::Making making :
         {OutputFile::Making::UnnamedWherePossible, OutputFile::Making::Named}) {
        Check({"an older output that cannot be replaced",
               false,
               [&](ReduceHazardTest& t) {
                   t.Copy("song1.mp3", "fixed.mp3");
                   t.Copy("song2.mp3", strOlder);
                   ASSERT_TRUE(SetImmutable(t.Music(strOlder), true));
               },
               {{"fixed.mp3", "the output cannot be given its name (Operation not permitted)"}},
               {},
               -1,
               making});
        SetImmutable(Music(strOlder), false);
    }
}

}  // namespace
