// Benchmark of kestrelund-info against the cost of merely reading what the analysis needs.
//
// Makes a folder of varied MP3 files (MPEG 1, 2 and 2.5, Layers I to III, many bitrates, with and
// without leading tags of many sizes, "Xing", "Info" and "VBRI" headers, trailing tags, and a few
// files that are not MP3 at all). The files are sparse: only their starts and ends hold data. With
// a warm cache it then measures, per file and in the same run:
//   floor  open, read the first 16 KiB, read the last 128 bytes, close
//   probe  kestrelund-info --json over all files, run as few processes as the argument limit
//          allows (like xargs), output to /dev/null
// Each is measured several times; the best round counts.
//
// Usage: analysis_bench [--files N] [--rounds R] [--dir DIR] [--probe PATH]

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/Mp3Synth.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using synth::Bytes;

struct Options {
    int files = 10000;
    int rounds = 5;
    std::string dir;
    std::string probe = KESTRELUND_INFO;
};

// One generated file: what it starts with, its total size and what it ends with.
void MakeFile(std::mt19937& random, const std::string& path) {
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    Bytes head;
    Bytes tail;
    int64_t size = 0;
    if (pick(40) == 0) {
        // Not an MP3 file: text without frame sync.
        head.resize(static_cast<size_t>(2000 + pick(30000)), 'a');
        size = static_cast<int64_t>(head.size());
    } else {
        synth::Header header;
        do {
            header.version = std::array{0, 2, 3, 3, 3}[static_cast<size_t>(pick(5))];
            header.layer = pick(6) == 0 ? 1 + pick(3) : 1;
            header.bitrate = 1 + pick(14);
            header.samplerate = pick(3);
            header.padding = pick(2);
            header.mode = pick(4);
            header.protection = pick(4) == 0 ? 0 : 1;
        } while (!IsValidHeader(DecodeHeader(header.Raw())));
        switch (pick(4)) {
            case 0:
                break;
            case 1:
                head = synth::Id3v2Tag(static_cast<uint32_t>(100 + pick(4000)));
                break;
            case 2:
                head = synth::Id3v2Tag(static_cast<uint32_t>(4000 + pick(60000)));
                break;
            default:
                head = synth::Id3v2Tag(static_cast<uint32_t>(1000 + pick(2000)));
                break;
        }
        Bytes first;
        // Encoders leave out the seek table where the first frame cannot hold it.
        const uint32_t flags = header.Length() >= header.XingOffset() + 120 ? 15 : 3;
        switch (header.Length() >= header.XingOffset() + 16 ? pick(4) : 3) {
            case 0:
                first = synth::XingFrame(header, "Xing", flags,
                                         static_cast<uint32_t>(1000 + pick(20000)),
                                         static_cast<uint32_t>(100000 + pick(8000000)));
                break;
            case 1:
                first = synth::XingFrame(header, "Info", flags,
                                         static_cast<uint32_t>(1000 + pick(20000)),
                                         static_cast<uint32_t>(100000 + pick(8000000)));
                break;
            case 2:
                first =
                    header.Length() >= 64
                        ? synth::VbriFrame(header, static_cast<uint32_t>(100000 + pick(8000000)),
                                           static_cast<uint32_t>(1000 + pick(20000)))
                        : synth::Frame(header);
                break;
            default:
                first = synth::Frame(header);
                break;
        }
        head = synth::Concat({head, first, synth::Frames(header, 1 + pick(8))});
        size = static_cast<int64_t>(head.size()) + 20000 + pick(8000000);
        if (pick(2) == 0) tail = synth::TrailingTag();
    }
    synth::WriteSparse(path, head, size, tail);
}

std::vector<std::string> MakeFiles(const Options& options) {
    std::mt19937 random(1234);
    std::vector<std::string> paths;
    for (int i = 0; i < options.files; ++i) {
        const std::string folder = options.dir + "/Artist " + std::to_string(i / 100);
        if (i % 100 == 0) std::filesystem::create_directories(folder);
        char name[64];
        std::snprintf(name, sizeof name, "/%05d Some Track Title.mp3", i);
        paths.push_back(folder + name);
        MakeFile(random, paths.back());
    }
    return paths;
}

// open, read the first 16 KiB, read the last 128 bytes, close; for every file.
double FloorSeconds(const std::vector<std::string>& paths) {
    static char buffer[16384];
    size_t total = 0;
    const auto start = Clock::now();
    for (const std::string& path : paths) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        ssize_t n = read(fd, buffer, sizeof buffer);
        total += n > 0 ? static_cast<size_t>(n) : 0;
        if (lseek(fd, -128, SEEK_END) >= 0) {
            n = read(fd, buffer, 128);
            total += n > 0 ? static_cast<size_t>(n) : 0;
        }
        close(fd);
    }
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    if (total == 0) std::fprintf(stderr, "nothing read\n");
    return elapsed.count();
}

// kestrelund-info --json over every file, in batches that fit the argument limit.
double ProbeSeconds(const Options& options, const std::vector<std::string>& paths, int& processes) {
    const size_t limit = static_cast<size_t>(std::min<long>(sysconf(_SC_ARG_MAX) / 2, 1 << 20));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    processes = 0;
    const auto start = Clock::now();
    size_t next = 0;
    while (next < paths.size()) {
        std::vector<char*> argv = {const_cast<char*>(options.probe.c_str()),
                                   const_cast<char*>("--json")};
        size_t bytes = 0;
        while (next < paths.size() && bytes + paths[next].size() + 1 + sizeof(char*) < limit) {
            bytes += paths[next].size() + 1 + sizeof(char*);
            argv.push_back(const_cast<char*>(paths[next].c_str()));
            ++next;
        }
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, options.probe.c_str(), &actions, nullptr, argv.data(), environ) !=
            0) {
            std::fprintf(stderr, "cannot start %s\n", options.probe.c_str());
            std::exit(1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) {
            std::fprintf(stderr, "kestrelund-info failed\n");
            std::exit(1);
        }
        ++processes;
    }
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    posix_spawn_file_actions_destroy(&actions);
    return elapsed.count();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--files" && i + 1 < argc) {
            options.files = std::atoi(argv[++i]);
        } else if (arg == "--rounds" && i + 1 < argc) {
            options.rounds = std::atoi(argv[++i]);
        } else if (arg == "--dir" && i + 1 < argc) {
            options.dir = argv[++i];
        } else if (arg == "--probe" && i + 1 < argc) {
            options.probe = argv[++i];
        } else {
            std::fprintf(
                stderr,
                "usage: analysis_bench [--files N] [--rounds R] [--dir DIR] [--probe PATH]\n");
            return 2;
        }
    }
    if (options.files < 1 || options.rounds < 1) return 2;
    bool blnOwnDir = false;
    if (options.dir.empty()) {
        std::string templ = (std::filesystem::temp_directory_path() / "kestrelund-bench-XXXXXX");
        if (!mkdtemp(templ.data())) return 1;
        options.dir = templ;
        blnOwnDir = true;
    }

    auto start = Clock::now();
    const std::vector<std::string> paths = MakeFiles(options);
    std::chrono::duration<double> made = Clock::now() - start;
    std::printf("made %zu files in %s in %.1f s\n", paths.size(), options.dir.c_str(),
                made.count());

    // Warm the cache, and the probe's own program file.
    int processes = 0;
    FloorSeconds(paths);
    ProbeSeconds(options, paths, processes);

    double floorBest = 1e30;
    double probeBest = 1e30;
    for (int round = 0; round < options.rounds; ++round) {
        floorBest = std::min(floorBest, FloorSeconds(paths));
        probeBest = std::min(probeBest, ProbeSeconds(options, paths, processes));
    }
    const double n = static_cast<double>(paths.size());
    const double floorMicros = floorBest / n * 1e6;
    const double probeMicros = probeBest / n * 1e6;
    std::printf("I/O floor (open, read 16 KiB, read last 128 B, close): %.2f us per file\n",
                floorMicros);
    std::printf("kestrelund-info --json (%d process%s):                  %.2f us per file\n",
                processes, processes == 1 ? "" : "es", probeMicros);
    std::printf("ratio: %.2f (target: at most 1.50)\n", probeMicros / floorMicros);

    if (blnOwnDir) std::filesystem::remove_all(options.dir);
    return 0;
}
