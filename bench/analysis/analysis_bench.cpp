// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmark of kestrelund-info against the cost of merely reading what the analysis needs.
//
// Makes a folder of varied MP3 files, the mixed set (MPEG 1, 2 and 2.5, Layers I to III, many
// bitrates, with and without leading tags of many sizes, "Xing", "Info" and "VBRI" headers,
// trailing tags, and a few files that are not MP3 at all), and beside it copies of awkward files
// that music libraries hold too, one kind at a time:
//   ff-14k     14 KiB of 0xFF bytes
//   ff-1m      1 MiB of 0xFF bytes
//   ff-runs    8 KiB runs of 0xFF between up to 1 KiB of other bytes, 128 KiB
//   layer2     MPEG 1 Layer II frames at 256 kbps in single-channel mode (a pair the standard
//              forbids), payload random
//   flac       a FLAC stream (marker, metadata blocks, frames of random payload) named .mp3
//   wav        a 16-bit stereo PCM WAV of quiet sound named .mp3
//   random     random bytes
// Most files are sparse: only their starts and ends hold data (1 MiB of 0xFF is written in full).
// With a warm cache it then measures, per file of each set and in the same run:
//   floor  open, fstat, pread 16 KiB at 0, pread the last 128 bytes, close
//   probe  kestrelund-info --json over the set's files, run as few processes as the argument
//          limit allows (like xargs), output to /dev/null
// The copies of a kind are named over and over in one list of about as many names as the mixed
// set has files, so that the start of the probe's process weighs on each analysis as it does in
// the mixed set; the floor goes through the same list. Each is measured several times, the sets
// taking turns; the best round counts.
//
// Last, it times the CPU (user + system, median of 20 runs) of kestrelund-info on one typical file
// (a leading tag, frames, a trailing tag) against floor_one, a C program that opens the file,
// reads its first 16 KiB and last 128 bytes and closes it.
//
// Usage: analysis_bench [--files N] [--copies N] [--rounds R] [--dir DIR] [--probe PATH]
//                       [--before PATH]
//   --files   files in the mixed set (10000; 0 leaves it out)
//   --copies  copies of each awkward kind (300; 0 leaves them out)
//   --before  another kestrelund-info (an older version) measured in the same rounds

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/Mp3Synth.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using synth::Bytes;

struct Options {
    int files = 10000;
    int copies = 300;
    int rounds = 5;
    std::string dir;
    std::string probe = KESTRELUND_INFO;
    std::string before;  // empty: none
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

Bytes RandomBytes(std::mt19937& random, size_t count) {
    Bytes data(count);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random());
    return data;
}

void Append(Bytes& data, const Bytes& more) { data.insert(data.end(), more.begin(), more.end()); }

void PutLE(Bytes& data, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) data.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// 8 KiB runs of 0xFF, each followed by up to 1 KiB of other bytes.
void MakeFFRuns(std::mt19937& random, const std::string& path) {
    Bytes data;
    while (data.size() < 128 * 1024) {
        data.resize(data.size() + 8192, 0xFF);
        const size_t others = 1 + random() % 1024;
        for (size_t i = 0; i < others; ++i) data.push_back(static_cast<uint8_t>(random() % 255));
    }
    synth::WriteFile(path, data);
}

// MPEG 1 Layer II, 256 kbps, 44100 Hz, single channel: every header fails only on the pair.
void MakeLayer2(std::mt19937& random, const std::string& path) {
    const synth::Header header{.layer = 2, .bitrate = 12, .mode = 3};
    Bytes data;
    while (data.size() < 64 * 1024) {
        Bytes frame = RandomBytes(random, static_cast<size_t>(header.Length()));
        const auto raw = header.Raw();
        std::copy(raw.begin(), raw.end(), frame.begin());
        Append(data, frame);
    }
    synth::WriteSparse(path, data, 3 * 1024 * 1024);
}

// "fLaC", a STREAMINFO, a VORBIS_COMMENT and a last PADDING block, then frames: sync FF F8, a
// header for 4096-sample blocks of 16-bit stereo at 44100 Hz, and random payload.
void MakeFlac(std::mt19937& random, const std::string& path) {
    Bytes data = {'f', 'L', 'a', 'C', 0x00, 0, 0, 34};
    const uint8_t streamInfo[34] = {0x10, 0x00, 0x10, 0x00, 0x00, 0x00, 0x0E, 0x00, 0x2F,
                                    0x8C, 0x0A, 0xC4, 0x42, 0xF0, 0x00, 0x9B, 0x8F, 0xC0};
    data.insert(data.end(), streamInfo, streamInfo + 34);
    const std::string vendor = "reference encoder";
    data.insert(data.end(), {0x04, 0, 0, static_cast<uint8_t>(8 + vendor.size())});
    PutLE(data, static_cast<uint32_t>(vendor.size()), 4);
    data.insert(data.end(), vendor.begin(), vendor.end());
    PutLE(data, 0, 4);
    data.insert(data.end(), {0x81, 0x00, 0x20, 0x00});  // 8 KiB of padding, the last block
    data.resize(data.size() + 8192, 0);
    for (uint8_t frame = 0; data.size() < 128 * 1024; ++frame) {
        data.insert(data.end(), {0xFF, 0xF8, 0xC9, 0x18, static_cast<uint8_t>(frame & 0x7F)});
        Append(data, RandomBytes(random, 9000 + random() % 3000));
    }
    synth::WriteSparse(path, data, 20 * 1024 * 1024);
}

// A 44-byte RIFF header and 16-bit stereo samples of a quiet tone with noise: many samples are
// small and negative, so every other byte is 0xFF.
void MakeWav(std::mt19937& random, const std::string& path) {
    const uint32_t size = 10 * 1024 * 1024;
    Bytes data = {'R', 'I', 'F', 'F'};
    PutLE(data, size - 8, 4);
    data.insert(data.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLE(data, 16, 4);
    PutLE(data, 1, 2);          // PCM
    PutLE(data, 2, 2);          // channels
    PutLE(data, 44100, 4);      // sample rate
    PutLE(data, 44100 * 4, 4);  // bytes per second
    PutLE(data, 4, 2);          // block align
    PutLE(data, 16, 2);         // bits per sample
    data.insert(data.end(), {'d', 'a', 't', 'a'});
    PutLE(data, size - 44, 4);
    for (int i = 0; data.size() < 128 * 1024; ++i) {
        const double tone = 200.0 * std::sin(i * 2.0 * 3.14159265358979 * 440.0 / 44100.0);
        for (int channel = 0; channel < 2; ++channel) {
            const int noise = static_cast<int>(random() % 129) - 64;
            PutLE(data, static_cast<uint32_t>(static_cast<int16_t>(tone) + noise), 2);
        }
    }
    synth::WriteSparse(path, data, size);
}

// One kind of awkward file, made in copies.
struct Kind {
    const char* name;
    void (*make)(std::mt19937& random, const std::string& path);
};

const Kind kKinds[] = {
    {"ff-14k",
     [](std::mt19937&, const std::string& path) { synth::WriteFile(path, Bytes(14336, 0xFF)); }},
    {"ff-1m",
     [](std::mt19937&, const std::string& path) { synth::WriteFile(path, Bytes(1 << 20, 0xFF)); }},
    {"ff-runs", MakeFFRuns},
    {"layer2", MakeLayer2},
    {"flac", MakeFlac},
    {"wav", MakeWav},
    {"random",
     [](std::mt19937& random, const std::string& path) {
         synth::WriteSparse(path, RandomBytes(random, 128 * 1024), 4 * 1024 * 1024);
     }},
};

std::vector<std::string> MakeCopies(const Options& options, const Kind& kind) {
    std::mt19937 random(4321);
    const std::string folder = options.dir + "/" + kind.name;
    std::filesystem::create_directories(folder);
    std::vector<std::string> paths;
    for (int i = 0; i < options.copies; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/%05d Some Track Title.mp3", i);
        paths.push_back(folder + name);
        kind.make(random, paths.back());
    }
    return paths;
}

// open, fstat, pread 16 KiB at 0, pread the last 128 bytes, close; for every file.
double FloorSeconds(const std::vector<std::string>& paths) {
    static char buffer[16384];
    size_t total = 0;
    const auto start = Clock::now();
    for (const std::string& path : paths) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (fstat(fd, &st) == 0) {
            ssize_t n = pread(fd, buffer, sizeof buffer, 0);
            total += n > 0 ? static_cast<size_t>(n) : 0;
            if (st.st_size >= 128) {
                n = pread(fd, buffer, 128, st.st_size - 128);
                total += n > 0 ? static_cast<size_t>(n) : 0;
            }
        }
        close(fd);
    }
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    if (total == 0) std::fprintf(stderr, "nothing read\n");
    return elapsed.count();
}

// kestrelund-info --json over every file, in batches that fit the argument limit.
double ProbeSeconds(const std::string& probe, const std::vector<std::string>& paths,
                    int& processes) {
    const size_t limit = static_cast<size_t>(std::min<long>(sysconf(_SC_ARG_MAX) / 2, 1 << 20));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    processes = 0;
    const auto start = Clock::now();
    size_t next = 0;
    while (next < paths.size()) {
        std::vector<char*> argv = {const_cast<char*>(probe.c_str()), const_cast<char*>("--json")};
        size_t bytes = 0;
        while (next < paths.size() && bytes + paths[next].size() + 1 + sizeof(char*) < limit) {
            bytes += paths[next].size() + 1 + sizeof(char*);
            argv.push_back(const_cast<char*>(paths[next].c_str()));
            ++next;
        }
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, probe.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            std::fprintf(stderr, "cannot start %s\n", probe.c_str());
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

// The median CPU time (user + system) of 20 runs of program on one file, output to /dev/null.
double MedianCpuMicros(const std::string& program, const std::string& path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<double> runs;
    for (int run = 0; run < 21; ++run) {
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(path.c_str()),
                        nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) != 0) {
            std::fprintf(stderr, "cannot start %s\n", program.c_str());
            std::exit(1);
        }
        int status = 0;
        struct rusage usage {};
        wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "%s failed on %s\n", program.c_str(), path.c_str());
            std::exit(1);
        }
        // The first run only warms the cache.
        if (run > 0) {
            runs.push_back((usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 +
                           usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    std::sort(runs.begin(), runs.end());
    return (runs[9] + runs[10]) / 2;
}

}  // namespace

// A set of files measured together: the mixed set or the copies of one kind.
struct Set {
    std::string name;
    double target;
    std::vector<std::string> paths;  // in the order measured; a kind's copies over and over
    double floorBest = 1e30;
    double probeBest = 1e30;
    double beforeBest = 1e30;
    int processes = 0;
};

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--files" && i + 1 < argc) {
            options.files = std::atoi(argv[++i]);
        } else if (arg == "--copies" && i + 1 < argc) {
            options.copies = std::atoi(argv[++i]);
        } else if (arg == "--rounds" && i + 1 < argc) {
            options.rounds = std::atoi(argv[++i]);
        } else if (arg == "--dir" && i + 1 < argc) {
            options.dir = argv[++i];
        } else if (arg == "--probe" && i + 1 < argc) {
            options.probe = argv[++i];
        } else if (arg == "--before" && i + 1 < argc) {
            options.before = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: analysis_bench [--files N] [--copies N] [--rounds R] [--dir DIR] "
                         "[--probe PATH] [--before PATH]\n");
            return 2;
        }
    }
    if (options.files < 0 || options.copies < 0 || options.files + options.copies == 0 ||
        options.rounds < 1) {
        return 2;
    }
    bool blnOwnDir = false;
    if (options.dir.empty()) {
        std::string templ = (std::filesystem::temp_directory_path() / "kestrelund-bench-XXXXXX");
        if (!mkdtemp(templ.data())) return 1;
        options.dir = templ;
        blnOwnDir = true;
    }

    const auto start = Clock::now();
    std::vector<Set> sets;
    if (options.files > 0) sets.push_back({"mixed", 1.25, MakeFiles(options)});
    if (options.copies > 0) {
        const int passes =
            std::max(1, (std::max(options.files, 10000) + options.copies - 1) / options.copies);
        for (const Kind& kind : kKinds) {
            const std::vector<std::string> copies = MakeCopies(options, kind);
            Set set{kind.name, 3.0, {}};
            for (int pass = 0; pass < passes; ++pass) {
                set.paths.insert(set.paths.end(), copies.begin(), copies.end());
            }
            sets.push_back(std::move(set));
        }
    }
    const std::chrono::duration<double> made = Clock::now() - start;
    std::printf("made the files in %s in %.1f s\n", options.dir.c_str(), made.count());

    // Warm the cache, and the probe's own program file.
    for (Set& set : sets) {
        FloorSeconds(set.paths);
        ProbeSeconds(options.probe, set.paths, set.processes);
        if (!options.before.empty()) ProbeSeconds(options.before, set.paths, set.processes);
    }
    for (int round = 0; round < options.rounds; ++round) {
        for (Set& set : sets) {
            set.floorBest = std::min(set.floorBest, FloorSeconds(set.paths));
            set.probeBest =
                std::min(set.probeBest, ProbeSeconds(options.probe, set.paths, set.processes));
            if (!options.before.empty()) {
                set.beforeBest = std::min(set.beforeBest,
                                          ProbeSeconds(options.before, set.paths, set.processes));
            }
        }
    }

    std::printf("floor: open, fstat, pread 16 KiB at 0, pread the last 128 bytes, close\n");
    std::printf("probe: kestrelund-info --json, one process per argument list\n");
    std::printf("best of %d rounds, microseconds per file; %d copies of each kind\n\n",
                options.rounds, options.copies);
    std::printf("%-8s %6s %9s %9s %9s %6s %7s %9s %9s %9s\n", "set", "names", "processes", "floor",
                "probe", "ratio", "target", "/mixed", "before", "/mixed");
    const double mixedProbe =
        sets.front().probeBest / static_cast<double>(sets.front().paths.size());
    const double mixedBefore =
        sets.front().beforeBest / static_cast<double>(sets.front().paths.size());
    for (const Set& set : sets) {
        const double n = static_cast<double>(set.paths.size());
        const double floorMicros = set.floorBest / n * 1e6;
        const double probeMicros = set.probeBest / n * 1e6;
        std::printf("%-8s %6zu %9d %9.2f %9.2f %6.2f %7.2f %9.2f", set.name.c_str(),
                    set.paths.size(), set.processes, floorMicros, probeMicros,
                    probeMicros / floorMicros, set.target, probeMicros / (mixedProbe * 1e6));
        if (!options.before.empty()) {
            const double beforeMicros = set.beforeBest / n * 1e6;
            std::printf(" %9.2f %9.2f", beforeMicros, beforeMicros / (mixedBefore * 1e6));
        }
        std::printf("\n");
    }
    std::printf(
        "(/mixed: the set's cost per file over the first set's; target for the awkward "
        "kinds <= 1.5)\n\n");

    // One typical file, one process a run: the probe's CPU against the C floor's.
    const std::string one = options.dir + "/one.mp3";
    synth::WriteSparse(one,
                       synth::Concat({synth::Id3v2Tag(1500), synth::Frames(synth::Header{}, 20)}),
                       4 * 1024 * 1024, synth::TrailingTag());
    const double floorCpu = MedianCpuMicros(FLOOR_ONE, one);
    const double probeCpu = MedianCpuMicros(options.probe, one);
    std::printf("one file, CPU (user + system), median of 20 runs:\n");
    std::printf("  floor_one        %8.0f us\n", floorCpu);
    std::printf("  kestrelund-info  %8.0f us  %.2f x the floor (target <= 2)\n", probeCpu,
                probeCpu / floorCpu);
    if (!options.before.empty()) {
        const double beforeCpu = MedianCpuMicros(options.before, one);
        std::printf("  before           %8.0f us  %.2f x the floor\n", beforeCpu,
                    beforeCpu / floorCpu);
    }

    if (blnOwnDir) std::filesystem::remove_all(options.dir);
    return 0;
}
