// SPDX-License-Identifier: GPL-3.0-or-later
// Adding a tree of 10,000 MP3 files in 1,000 folders through the "Add All MP3 File(s) In Folder"
// button, against `kestrelund-info --json` over the same files, in the same run. The counters give
// both times per round and their ratio (button / probe).
//
// And the folder reading alone, no admission: every folder of the tree read through readdir, and
// through raw getdents64 calls into a 32 KiB buffer (BM_ReadFolders/readdir, /getdents64). The
// folder walk reads with readdir unless getdents64 is at least 10% faster.
//
// kestrelund-info is looked up beside this program (build*/bin/); build it first.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>
#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "filelist/FileListModel.h"
#include "support/Mp3Bytes.h"
#include "ui/FileListView.h"
#include "ui/Form1.h"
#include "ui/Form1TestAccess.h"
#include "ui/WindowControls.h"

namespace {

using namespace benchsupport;

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
    std::vector<std::string> folders;  // every folder of the tree, the root first

    MusicTree() : strRoot(dir.path() + "/Music") {
        const QByteArray mp3 = testsupport::Mp3Frames(3);  // three frames, 128 kbps
        for (int a = 0; a < kArtists; ++a) {
            for (int b = 0; b < kAlbums; ++b) {
                const QString strAlbum =
                    QString("%1/Artist %2/Album %3").arg(strRoot).arg(a, 2, 10, QChar('0')).arg(b);
                QDir().mkpath(strAlbum);
                folders.push_back(QFile::encodeName(strAlbum).toStdString());
                for (int t = 1; t <= kTracks; ++t) {
                    const QString strPath =
                        QString("%1/%2 Track.mp3").arg(strAlbum).arg(t, 2, 10, QChar('0'));
                    WriteFile(strPath, mp3);
                    files.push_back(QFile::encodeName(strPath).toStdString());
                }
            }
            folders.push_back(
                QFile::encodeName(QString("%1/Artist %2").arg(strRoot).arg(a, 2, 10, QChar('0')))
                    .toStdString());
        }
        folders.insert(folders.begin(), QFile::encodeName(strRoot).toStdString());
    }
};

const MusicTree& Tree() {
    static const MusicTree tree;
    return tree;
}

void BM_AddFolderTreeAgainstProbe(benchmark::State& state) {
    const MusicTree& tree = Tree();
    const std::string strProbe = ProbeBesideProgram(state);
    if (strProbe.empty()) return;
    Window window;
    Form1& form = window.form;
    FakePrompts& prompts = window.prompts;

    using Clock = std::chrono::steady_clock;
    double dblButton = 0, dblProbe = 0, dblButtonCpu = 0, dblProbeCpu = 0;
    for (auto _ : state) {
        windowtest::ControlsOf(form).fileList->Clear();
        prompts.folderAnswers.push_back(QFile::encodeName(tree.strRoot));
        const double dblCpu0 = OwnCpu();
        const auto t0 = Clock::now();
        windowtest::ControlsOf(form).Check3->setChecked(true);
        form.Check3_Click();
        const auto t1 = Clock::now();
        const double dblCpu1 = OwnCpu(), dblChildren0 = ChildrenCpu();
        const int lngProbeStatus = RunProbe(strProbe, tree.files);
        const auto t2 = Clock::now();
        dblButtonCpu += dblCpu1 - dblCpu0;
        dblProbeCpu += ChildrenCpu() - dblChildren0;

        if (windowtest::ControlsOf(form).fileList->RowCount() != int(tree.files.size()) ||
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

// One folder read as the walk reads it: opened, its identity taken from the open folder, every
// entry's name and type looked at. Returns the entries found.
size_t ReadWithReaddir(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return 0;
    struct stat st;
    size_t entries = fstat(dirfd(dir), &st) == 0 ? 0 : 1;
    while (const dirent64* entry = readdir64(dir)) {
        entries += entry->d_name[0] != 0 && entry->d_type != DT_UNKNOWN;
    }
    closedir(dir);
    return entries;
}

size_t ReadWithGetdents(const std::string& folder) {
    alignas(dirent64) static char buffer[32768];
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return 0;
    struct stat st;
    size_t entries = fstat(fd, &st) == 0 ? 0 : 1;
    for (;;) {
        const ssize_t got = getdents64(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t pos = 0; pos < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + pos);
            entries += entry->d_name[0] != 0 && entry->d_type != DT_UNKNOWN;
            pos += entry->d_reclen;
        }
    }
    close(fd);
    return entries;
}

void BM_ReadFolders(benchmark::State& state) {
    const MusicTree& tree = Tree();
    const auto read = state.range(0) == 0 ? ReadWithReaddir : ReadWithGetdents;
    state.SetLabel(state.range(0) == 0 ? "readdir" : "getdents64");
    size_t entries = 0;
    for (auto _ : state) {
        entries = 0;
        for (const std::string& folder : tree.folders) entries += read(folder);
        benchmark::DoNotOptimize(entries);
    }
    // Each album: its tracks, "." and ".."; each artist: its albums, "." and ".."; the root.
    if (entries != tree.files.size() + 2 * tree.folders.size() + tree.folders.size() - 1) {
        state.SkipWithError("the folders did not give every entry");
    }
    state.counters["folders"] = double(tree.folders.size());
}
BENCHMARK(BM_ReadFolders)
    ->Arg(0)
    ->Arg(1)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) { return benchsupport::RunBenchmarks(argc, argv); }
