// SPDX-License-Identifier: GPL-3.0-or-later
// Times the Reduce batch over 20 one-second MP3 files against a plain loop that runs the encoder
// with the same arguments on the same files, one after another, blocking in waitpid. Both use the
// encoder linked beside the program. Rounds alternate between the two; the medians are compared.
//
//   reduce_bench [rounds]     (default 5; prints the figures, exits 1 when the batch takes more
//                              than 1.10 times the plain loop)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QApplication>
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

constexpr int kFiles = 20;
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
    QStringList GetOpenFileNames(QWidget*, const QString&, const QString&) override { return {}; }
    QString GetExistingDirectory(QWidget*, const QString&) override { return {}; }
};

class BenchHost : public ReduceHost {
  public:
    FileListModel list;
    QuietPrompts prompts;
    FileListModel& List() override { return list; }
    QString MenuText() override { return kMenu; }
    void SetPointer(Pointer::Value) override {}
    void SetProgress(float) override {}
    QString ProgramFolder() override { return KESTRELUND_BENCH_BIN_DIR; }
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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lngRounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    const QString strSox = QStandardPaths::findExecutable("sox");
    const QString strEncoder = EncoderPath(KESTRELUND_BENCH_BIN_DIR);
    QTemporaryDir dir;
    const QString strTone = dir.filePath("tone.wav");
    if (strSox.isEmpty() ||
        !RunTool(strSox, {"-n", "-r", "44100", "-c", "2", strTone, "synth", "1", "sine", "440"})) {
        std::fprintf(stderr, "reduce_bench: sox could not make the test tone\n");
        return 2;
    }
    BenchHost host;
    for (int i = 0; i < kFiles; ++i) {
        const QString strSource =
            dir.filePath(QStringLiteral("song %1.mp3").arg(i, 2, 10, QChar('0')));
        if (!RunTool(strEncoder, {"--quiet", "-b", "128", strTone, strSource})) {
            std::fprintf(stderr, "reduce_bench: %s could not make the test files\n",
                         qPrintable(strEncoder));
            return 2;
        }
        host.list.AppendDropped(strSource);
    }

    ReduceBatch batch;
    std::vector<double> batchMs, loopMs;
    QElapsedTimer timer;
    for (int lngRound = 0; lngRound < lngRounds; ++lngRound) {
        timer.start();
        for (const QString& strSource : host.list.Paths()) {
            if (!SpawnAndWait(
                    EncoderArguments(strEncoder, strSource, OutputPath(strSource, kMenu), kMenu))) {
                std::fprintf(stderr, "reduce_bench: the plain loop's encode failed\n");
                return 2;
            }
        }
        loopMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);

        timer.start();
        batch.Run(host);
        batchMs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (host.prompts.strLastText != "Done." || !host.prompts.strLastInformative.isEmpty()) {
            std::fprintf(stderr, "reduce_bench: the batch did not finish cleanly: %s %s\n",
                         qPrintable(host.prompts.strLastText),
                         qPrintable(host.prompts.strLastInformative));
            return 2;
        }
    }

    const double dblLoop = Median(loopMs);
    const double dblBatch = Median(batchMs);
    const double dblRatio = dblBatch / dblLoop;
    std::printf("files per round: %d, rounds: %d\n", kFiles, lngRounds);
    for (int i = 0; i < lngRounds; ++i) {
        std::printf("round %d: plain loop %.1f ms, batch %.1f ms\n", i + 1, loopMs[i], batchMs[i]);
    }
    std::printf("median plain loop: %.1f ms (%.1f ms per file)\n", dblLoop, dblLoop / kFiles);
    std::printf("median batch:      %.1f ms (%.1f ms per file)\n", dblBatch, dblBatch / kFiles);
    std::printf("batch / plain loop: %.3f (target at most 1.10): %s\n", dblRatio,
                dblRatio <= 1.10 ? "met" : "MISSED");
    return dblRatio <= 1.10 ? 0 : 1;
}
