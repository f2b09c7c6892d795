// Adding a tree of 10,000 MP3 files in 1,000 folders through the "Add All MP3 File(s) In Folder"
// button, against `kestrelund-info --json` over the same files, in the same run. The counters give
// both times per round and their ratio (button / probe).
//
// kestrelund-info is looked up beside this program (build*/bin/); build it first.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "support/FakePrompts.h"
#include "support/Mp3Bytes.h"
#include "ui/FileListView.h"
#include "ui/Form1.h"

namespace {

// CPU seconds (user and system) of this process, and of its ended children.
double OwnCpu() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
double ChildrenCpu() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& tv) {
        return double(tv.tv_sec) + double(tv.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

constexpr int kArtists = 40;
constexpr int kAlbums = 25;  // per artist: 1,000 album folders in all
constexpr int kTracks = 10;  // per album: 10,000 files in all

struct MusicTree {
    QTemporaryDir dir;
    QString strRoot;
    std::vector<std::string> files;

    MusicTree() : strRoot(dir.path() + "/Music") {
        const QByteArray mp3 = testsupport::Mp3Frames(3);  // three frames, 128 kbps
        for (int a = 0; a < kArtists; ++a) {
            for (int b = 0; b < kAlbums; ++b) {
                const QString strAlbum =
                    QString("%1/Artist %2/Album %3").arg(strRoot).arg(a, 2, 10, QChar('0')).arg(b);
                QDir().mkpath(strAlbum);
                for (int t = 1; t <= kTracks; ++t) {
                    const QString strPath =
                        QString("%1/%2 Track.mp3").arg(strAlbum).arg(t, 2, 10, QChar('0'));
                    QFile file(strPath);
                    if (file.open(QIODevice::WriteOnly)) file.write(mp3);
                    files.push_back(QFile::encodeName(strPath).toStdString());
                }
            }
        }
    }
};

const MusicTree& Tree() {
    static const MusicTree tree;
    return tree;
}

// Runs `kestrelund-info --json -- FILE...` with its output going to /dev/null; its exit status.
int RunProbe(const std::string& strProbe, const std::vector<std::string>& files) {
    std::vector<char*> argv;
    std::string strJson = "--json", strEnd = "--";
    std::string strProgram = strProbe;
    argv.push_back(strProgram.data());
    argv.push_back(strJson.data());
    argv.push_back(strEnd.data());
    for (const std::string& strFile : files) argv.push_back(const_cast<char*>(strFile.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, strProbe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

void BM_AddFolderTreeAgainstProbe(benchmark::State& state) {
    const MusicTree& tree = Tree();
    const std::string strProbe =
        QFile::encodeName(QCoreApplication::applicationDirPath() + "/kestrelund-info")
            .toStdString();
    if (access(strProbe.c_str(), X_OK) != 0) {
        state.SkipWithError("kestrelund-info is not built beside this program");
        return;
    }
    QTemporaryDir programFolder;
    FakePrompts prompts;
    Form1 form(prompts, programFolder.path());
    form.show();
    QCoreApplication::processEvents();

    using Clock = std::chrono::steady_clock;
    double dblButton = 0, dblProbe = 0, dblButtonCpu = 0, dblProbeCpu = 0;
    for (auto _ : state) {
        form.ListView1->clear();
        prompts.folderAnswers.push_back(tree.strRoot);
        const double dblCpu0 = OwnCpu();
        const auto t0 = Clock::now();
        form.Check3->setChecked(true);
        form.Check3_Click();
        const auto t1 = Clock::now();
        const double dblCpu1 = OwnCpu(), dblChildren0 = ChildrenCpu();
        const int lngProbeStatus = RunProbe(strProbe, tree.files);
        const auto t2 = Clock::now();
        dblButtonCpu += dblCpu1 - dblCpu0;
        dblProbeCpu += ChildrenCpu() - dblChildren0;

        if (form.ListView1->topLevelItemCount() != int(tree.files.size()) ||
            !prompts.messages.empty()) {
            state.SkipWithError("the folder add did not admit every file without a warning");
            return;
        }
        if (lngProbeStatus != 0) {
            state.SkipWithError("kestrelund-info did not find every file valid");
            return;
        }
        const double dblOne = std::chrono::duration<double>(t1 - t0).count();
        dblButton += dblOne;
        dblProbe += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(dblOne);
    }
    const double dblRounds = double(state.iterations());
    state.counters["button_ms"] = dblButton / dblRounds * 1000;
    state.counters["probe_ms"] = dblProbe / dblRounds * 1000;
    state.counters["ratio"] = dblButton / dblProbe;
    // The same in CPU time, which other work on the machine disturbs less.
    state.counters["button_cpu_ms"] = dblButtonCpu / dblRounds * 1000;
    state.counters["probe_cpu_ms"] = dblProbeCpu / dblRounds * 1000;
    state.counters["cpu_ratio"] = dblButtonCpu / dblProbeCpu;
    state.counters["files"] = double(tree.files.size());
}
BENCHMARK(BM_AddFolderTreeAgainstProbe)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window stores its menu choice; keep it away from the user's own settings.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
