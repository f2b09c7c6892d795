// SPDX-License-Identifier: GPL-3.0-or-later
// Two measurements of the Reduce batch.
//
// 1. The batch over 16 ten-second MP3 files against a plain loop that runs the encoder with the
//    same arguments on the same files, one after another, blocking in waitpid. Both use the
//    encoder linked beside the program; the batch does every check (the walk of source and
//    output, the free space, the sync and the rename). Rounds alternate between the two; the
//    medians are compared. Target: at most 1.05 times the plain loop.
// 2. The batch over 2,000 rows with a stand-in encoder that copies its input (one-second files
//    with an Info frame), first with no outputs there, then again with every output there from
//    the first run. Target: the second run at most 1.2 times the first.
//
//   reduce_bench [rounds [rows [--rerun-only]]]
//                             (default 5 rounds and 2,000 rows for the second; prints the figures,
//                             exits 1 when a target is missed)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "reduce/OutputNaming.h"
#include "reduce/ReduceBatch.h"

extern char** environ;

namespace {

constexpr int kFiles = 16;
constexpr const char* kSeconds = "10";
constexpr int kRerunRows = 2000;
const QString kMenu = QStringLiteral("Reduce to 64 kbps");

// Answers every message at once, remembering the last one.
class QuietPrompts : public Prompts {
  public:
    QString strLastText, strLastInformative;
    void ShowMessage(QWidget*, const QString&, const QString& strText, Icon,
                     const QString& strInformative, const QString&) override {
        strLastText = strText;
        strLastInformative = strInformative;
    }
    QByteArrayList GetOpenFileNames(QWidget*, const QString&, const QString&) override {
        return {};
    }
    QByteArray GetExistingDirectory(QWidget*, const QString&) override { return {}; }
};

class BenchHost : public ReduceHost {
  public:
    FileListModel list;
    QString strFolder = QStringLiteral(KESTRELUND_BENCH_BIN_DIR);
    QuietPrompts prompts;
    FileListModel& List() override { return list; }
    QString MenuText() override { return kMenu; }
    void SetPointer(Pointer::Value) override {}
    void SetProgress(float) override {}
    QString ProgramFolder() override { return strFolder; }
    Prompts& MessagePrompts() override { return prompts; }
    QWidget* MessageOwner() override { return nullptr; }
};

bool RunTool(const QString& strProgram, const QStringList& arguments) {
    QProcess process;
    process.start(strProgram, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The plain loop's one encode: posix_spawn with the same items and /dev/null as the batch, then
// a blocking waitpid.
bool SpawnAndWait(const QStringList& arguments) {
    std::vector<QByteArray> items;
    for (const QString& strItem : arguments) items.push_back(QFile::encodeName(strItem));
    std::vector<char*> argv;
    for (QByteArray& item : items) argv.push_back(item.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int lngError = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (lngError != 0) return false;
    int lngStatus = 0;
    while (waitpid(pid, &lngStatus, 0) < 0) {
    }
    return WIFEXITED(lngStatus) && WEXITSTATUS(lngStatus) == 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs the batch once over host's rows; the milliseconds it took, or -1 when it did not end
// cleanly.
double TimedRun(ReduceBatch& batch, BenchHost& host) {
    QElapsedTimer timer;
    timer.start();
    batch.Run(host);
    const double dblMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (host.prompts.strLastText != "Done." ||
        host.prompts.strLastInformative.contains(QStringLiteral("failed"))) {
        std::fprintf(stderr, "reduce_bench: the batch did not finish cleanly: %s %s\n",
                     qPrintable(host.prompts.strLastText),
                     qPrintable(host.prompts.strLastInformative));
        return -1;
    }
    return dblMs;
}

// The second measurement: 2,000 rows through a copying stand-in, without and then with outputs.
bool Rerun(const QString& strSource, const QTemporaryDir& dir, int lngRows, int lngRounds) {
    BenchHost host;
    host.strFolder = dir.filePath(QStringLiteral("copying"));
    QDir().mkpath(host.strFolder);
    QFile script(EncoderPath(host.strFolder));
    if (!script.open(QIODevice::WriteOnly) ||
        script.write("#!/bin/sh\nexec cp \"$6\" \"$7\"\n") < 0) {
        return false;
    }
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray source = [&] {
        QFile file(strSource);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    for (int i = 0; i < lngRows; ++i) {
        const QString strFolder = dir.filePath(QStringLiteral("rows/%1").arg(i / 100));
        QDir().mkpath(strFolder);
        const QString strPath = strFolder + QStringLiteral("/song %1.mp3").arg(i);
        QFile file(strPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(source) != source.size()) return false;
        host.list.AppendDropped(QFile::encodeName(strPath));
    }
    // Rounds alternate: the outputs removed and a first run, then the run again over them.
    ReduceBatch batch;
    std::vector<double> firstMs, againMs;
    for (int lngRound = 0; lngRound < lngRounds; ++lngRound) {
        for (const QString& strPath : host.list.Paths()) QFile::remove(OutputPath(strPath, kMenu));
        firstMs.push_back(TimedRun(batch, host));
        againMs.push_back(TimedRun(batch, host));
        if (firstMs.back() < 0 || againMs.back() < 0) return false;
        std::printf("round %d: first run %.1f ms, again over the outputs %.1f ms\n", lngRound + 1,
                    firstMs.back(), againMs.back());
        std::fflush(stdout);
    }
    const double dblFirst = Median(firstMs);
    const double dblAgain = Median(againMs);
    const double dblRatio = dblAgain / dblFirst;
    std::printf(
        "%d rows, copying encoder: median first run %.1f ms (%.2f ms a row), again over "
        "the outputs %.1f ms (%.2f ms a row)\n",
        lngRows, dblFirst, dblFirst / lngRows, dblAgain, dblAgain / lngRows);
    std::printf("again / first: %.3f (target at most 1.20): %s\n", dblRatio,
                dblRatio <= 1.20 ? "met" : "MISSED");
    return dblRatio <= 1.20;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lngRounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int lngRerunRows = argc > 2 ? std::max(1, atoi(argv[2])) : kRerunRows;
    const bool blnRerunOnly = argc > 3 && QByteArray(argv[3]) == "--rerun-only";

    const QString strSox = QStandardPaths::findExecutable("sox");
    const QString strEncoder = EncoderPath(KESTRELUND_BENCH_BIN_DIR);
    QTemporaryDir dir;
    const QString strTone = dir.filePath("tone.wav");
    if (strSox.isEmpty() || !RunTool(strSox, {"-n", "-r", "44100", "-c", "2", strTone, "synth",
                                              kSeconds, "sine", "440"})) {
        std::fprintf(stderr, "reduce_bench: sox could not make the test tone\n");
        return 2;
    }
    double dblRatio = 0;
    if (!blnRerunOnly) {
        BenchHost host;
        for (int i = 0; i < kFiles; ++i) {
            const QString strSource =
                dir.filePath(QStringLiteral("song %1.mp3").arg(i, 2, 10, QChar('0')));
            if (!RunTool(strEncoder, {"--quiet", "-b", "128", strTone, strSource})) {
                std::fprintf(stderr, "reduce_bench: %s could not make the test files\n",
                             qPrintable(strEncoder));
                return 2;
            }
            host.list.AppendDropped(QFile::encodeName(strSource));
        }

        ReduceBatch batch;
        std::vector<double> batchMs, loopMs;
        QElapsedTimer timer;
        for (int lngRound = 0; lngRound < lngRounds; ++lngRound) {
            // Which goes first changes from round to round.
            for (int lngSide = 0; lngSide < 2; ++lngSide) {
                if ((lngSide + lngRound) % 2 == 0) {
                    timer.start();
                    for (const QString& strSource : host.list.Paths()) {
                        if (!SpawnAndWait(EncoderArguments(
                                strEncoder, strSource, OutputPath(strSource, kMenu), kMenu, 3))) {
                            std::fprintf(stderr, "reduce_bench: the plain loop's encode failed\n");
                            return 2;
                        }
                    }
                    loopMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
                } else {
                    const double dblMs = TimedRun(batch, host);
                    if (dblMs < 0) return 2;
                    batchMs.push_back(dblMs);
                }
            }
        }

        const double dblLoop = Median(loopMs);
        const double dblBatch = Median(batchMs);
        dblRatio = dblBatch / dblLoop;
        std::printf("files per round: %d of %s s, rounds: %d\n", kFiles, kSeconds, lngRounds);
        for (int i = 0; i < lngRounds; ++i) {
            std::printf("round %d: plain loop %.1f ms, batch %.1f ms\n", i + 1, loopMs[i],
                        batchMs[i]);
        }
        std::printf("median plain loop: %.1f ms (%.1f ms per file)\n", dblLoop, dblLoop / kFiles);
        std::printf("median batch:      %.1f ms (%.1f ms per file)\n", dblBatch, dblBatch / kFiles);
        std::printf("batch / plain loop: %.3f (target at most 1.05): %s\n", dblRatio,
                    dblRatio <= 1.05 ? "met" : "MISSED");
        std::fflush(stdout);
    }

    // One-second sources with an Info frame for the rerun.
    const QString strShort = dir.filePath("short.wav");
    const QString strShortMp3 = dir.filePath("short.mp3");
    if (!RunTool(strSox, {"-n", "-r", "44100", "-c", "2", strShort, "synth", "1", "sine", "440"}) ||
        !RunTool(strEncoder, {"--quiet", "-b", "128", strShort, strShortMp3})) {
        std::fprintf(stderr, "reduce_bench: the rerun's source could not be made\n");
        return 2;
    }
    const bool blnRerun = Rerun(strShortMp3, dir, lngRerunRows, lngRounds);
    return dblRatio <= 1.05 && blnRerun ? 0 : 1;
}
