// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark of the frame walk against the encode it guards.
//
// Makes an MP3 file of about 5 MB (sox: 360 s of stereo pink noise whose loudness swings eight
// times a second; lame -V 2, so that the bitrate changes from frame to frame), then measures with a
// warm cache:
//   walk    ReadMP3Info and WalkFrames on the file, as a Reduce run checks a source; also with
//           the file's pages dropped from the cache before each walk (posix_fadvise), so that
//           it is read from the disk
//   encode  lame -b 64 on the same file, the run's own work
// The walk is measured many times, the encode a few; the medians count. Target: the walk costs
// well under 1 % of the encode.
//
// Usage: walk_bench [--seconds N] [--rounds R] [--dir DIR]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/FrameWalk.h"
#include "analysis/MP3Info.h"
#include "support/Mp3Synth.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool Run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 360;
    int rounds = 3;
    std::string dirArg;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--dir") == 0) dirArg = argv[i + 1];
    }
    synth::TempDir temp;
    const std::filesystem::path dir = dirArg.empty() ? temp.Path() : std::filesystem::path(dirArg);
    const std::string wav = (dir / "noise.wav").string();
    const std::string mp3 = (dir / "source.mp3").string();
    const std::string out = (dir / "out.mp3").string();
    if (!Run({"sox", "-n", "-r", "44100", "-c", "2", wav, "synth", std::to_string(seconds),
              "pinknoise", "tremolo", "8", "90"}) ||
        !Run({"lame", "--quiet", "-V", "2", wav, mp3})) {
        std::fprintf(stderr, "walk_bench: sox and lame are needed\n");
        return 1;
    }
    std::filesystem::remove(wav);

    MP3Info info;
    FrameWalkResult walk;
    std::vector<double> walks;
    for (int i = 0; i < 20 * rounds; ++i) {
        const Clock::time_point start = Clock::now();
        if (!info.ReadMP3Info(mp3) || !WalkFrames(mp3, info.FirstFrame(), walk)) {
            std::fprintf(stderr, "walk_bench: the walk failed\n");
            return 1;
        }
        walks.push_back(Seconds(start));
    }
    std::vector<double> coldWalks;
    for (int i = 0; i < 3 * rounds; ++i) {
        const int fd = open(mp3.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            fdatasync(fd);
            posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            close(fd);
        }
        const Clock::time_point start = Clock::now();
        if (!info.ReadMP3Info(mp3) || !WalkFrames(mp3, info.FirstFrame(), walk)) return 1;
        coldWalks.push_back(Seconds(start));
    }
    std::vector<double> encodes;
    for (int i = 0; i < rounds; ++i) {
        const Clock::time_point start = Clock::now();
        if (!Run({"lame", "--quiet", "-b", "64", mp3, out})) return 1;
        encodes.push_back(Seconds(start));
    }
    const double walkTime = Median(walks);
    const double encodeTime = Median(encodes);
    std::printf("source: %.2f MB, %lld frames, %.1f s\n",
                static_cast<double>(std::filesystem::file_size(mp3)) / 1e6,
                static_cast<long long>(walk.lngFrames), walk.dblMilliseconds / 1000);
    std::printf("walk (ReadMP3Info + WalkFrames): %.3f ms (median of %zu)\n", walkTime * 1000,
                walks.size());
    std::printf("walk, file not cached:           %.3f ms (median of %zu)\n",
                Median(coldWalks) * 1000, coldWalks.size());
    std::printf("encode (lame -b 64):             %.1f ms (median of %zu)\n", encodeTime * 1000,
                encodes.size());
    std::printf("walk / encode: %.3f %% (target: well under 1 %%)\n", walkTime / encodeTime * 100);
    return 0;
}
