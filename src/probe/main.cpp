// SPDX-License-Identifier: GPL-3.0-or-later
// kestrelund-info: prints the MP3 analysis of each file named on the command line, for scripts.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/FrameWalk.h"
#include "analysis/MP3Info.h"
#include "analysis/Refusal.h"
#include "probe/ProbeOutput.h"
#include "probe/ProbeWalk.h"

namespace {

constexpr const char* kUsage =
    "Usage: kestrelund-info [--json] [--count] [-r] FILE...\n"
    "Analyses each MP3 FILE in turn and prints one line per file.\n"
    "\n"
    "Without --json the line is for people: the path, then the stream (MPEG-1 Layer III),\n"
    "bitrate in kbps with CBR or VBR, sample rate, mono or stereo and duration as m:ss:\n"
    "  song.mp3: MPEG-1 Layer III, 128 kbps CBR, 44100 Hz, stereo, 3:03\n"
    "For a file it refuses, it says why: \"no such file\", \"is a folder\",\n"
    "\"permission denied\" or \"not a valid MP3 file\".\n"
    "\n"
    "Options:\n"
    "  -r       a FILE that is a folder is searched with all folders below it, as the window's\n"
    "           \"Add All MP3 File(s) In Folder\" does: each folder's *.mp3 files in name\n"
    "           order (names beginning with \"~\" left out), then its subfolders' level by\n"
    "           level (hidden folders not entered), one line per file found\n"
    "  --json   one JSON object per line with \"path\", \"valid\", for a refused file \"error\"\n"
    "           (the reason above), and every property:\n"
    "           FirstFrame, Duration (milliseconds), Channels, Samplerate, Bitrate (bits per\n"
    "           second), FileSize, MpegBytes, Frames, Layer, MpegVersion, CopyrightBit,\n"
    "           OriginalBit, PrivateBit, Protected, Emphasis, IsVBR. Numbers read back exactly.\n"
    "           In \"path\", valid UTF-8 is kept as it is, '\"', '\\' and control characters\n"
    "           are escaped, and each byte that is not part of valid UTF-8 is written as\n"
    "           \\u00XX with the byte's value (so such a byte reads back as U+00XX).\n"
    "  --count  also walk each valid file frame by frame and add what was counted: the\n"
    "           frames and the exact length (\"; counted 10024 frames, 4:21.851\"), and where\n"
    "           the format changes, if it does (\"; the sample rate changes at 0:10\"). With\n"
    "           --json: CountedFrames, CountedSamples, CountedDuration (milliseconds),\n"
    "           TruncatedBytes, SkippedBytes, FormatChange (\"sample rate\", \"channel count\",\n"
    "           \"layer\", \"MPEG version\"), FormatChangeOffset (the byte offset of the first\n"
    "           frame in the new format) and FormatChangeAt (milliseconds before it); the three\n"
    "           are null when the format does not change\n"
    "  --help   show this help and exit\n"
    "  --version  show the version and exit\n"
    "  --       treat every later argument as a FILE, even when it starts with '-'\n"
    "\n"
    "Exit status: 0 when every file (and every file found) is a valid MP3 file, 1 when any is\n"
    "not or a folder cannot be searched, 2 on a usage error\n"
    "(or when the output cannot be written).\n";

int UsageError(const char* message, const char* argument) {
    std::fprintf(stderr, "kestrelund-info: %s%s\n\n%s", message, argument, kUsage);
    return 2;
}

// Writes and empties the buffer; false when stdout failed.
bool Flush(std::string& out) {
    const bool ok = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    out.clear();
    return ok;
}

// The run over the command line's files: the lines go to one buffer, written out in large pieces.
class Probe {
  public:
    Probe(bool asJson, bool withCount) : json(asJson), count(withCount) { out.reserve(1 << 17); }

    // Analyses one file and adds its line.
    void File(const std::string& path) {
        const bool valid = info.ReadMP3Info(path);
        // A file size means the analysis opened the file and read it: refused for its content,
        // with nothing more to ask the file system.
        const std::string_view error = valid                 ? std::string_view()
                                       : info.FileSize() > 0 ? kReasonNotMp3
                                                             : RefusalReason(path);
        walk = FrameWalkResult();
        if (valid && count && !WalkFrames(path, info.FirstFrame(), walk)) walk = FrameWalkResult();
        Line(path, error, info);
    }

    // With -r: every MP3 file below a folder, or the reason the folder cannot be searched.
    void Folder(const std::string& path) {
        walk = FrameWalkResult();
        const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            const std::string_view reason = ReasonOfErrno(errno);
            Line(path, reason.empty() ? std::string_view("cannot be read") : reason, MP3Info());
            return;
        }
        close(fd);
        std::vector<std::string> unnamed;
        bool walked = false;
        const std::vector<std::string> files = Mp3FilesBelow(path, unnamed, walked);
        if (!walked) {
            Line(path, "cannot be searched (kestrelund-walk did not run)", MP3Info());
            return;
        }
        for (const std::string& file : files) File(file);
        walk = FrameWalkResult();
        for (const std::string& file : unnamed) Line(file, "name is not valid UTF-8", MP3Info());
    }

    bool AllValid() const { return allValid; }
    // Writes what is left; false when any write failed.
    bool Finish() { return Flush(out) && written; }

  private:
    void Line(const std::string& path, std::string_view error, const MP3Info& lineInfo) {
        allValid = allValid && error.empty();
        const FrameWalkResult* counted = count ? &walk : nullptr;
        if (json) {
            AppendJsonLine(out, path, error, lineInfo, counted);
        } else {
            AppendHumanLine(out, path, error, lineInfo, counted);
        }
        if (out.size() >= (1 << 16)) written = Flush(out) && written;
    }

    bool json;
    bool count;
    MP3Info info;
    FrameWalkResult walk;  // of the file whose line is next; empty for a refused one
    std::string out;
    bool allValid = true;
    bool written = true;
};

bool IsFolder(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int main(int argc, char** argv) {
    bool json = false;
    bool count = false;
    bool recurse = false;
    std::vector<const char*> files;
    bool optionsOpen = true;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (optionsOpen && std::strcmp(arg, "--") == 0) {
            optionsOpen = false;
        } else if (optionsOpen && std::strcmp(arg, "--json") == 0) {
            json = true;
        } else if (optionsOpen && std::strcmp(arg, "--count") == 0) {
            count = true;
        } else if (optionsOpen && std::strcmp(arg, "-r") == 0) {
            recurse = true;
        } else if (optionsOpen &&
                   (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) {
            std::fputs(kUsage, stdout);
            return std::fflush(stdout) == 0 ? 0 : 2;
        } else if (optionsOpen && std::strcmp(arg, "--version") == 0) {
            std::fputs("kestrelund-info " KESTRELUND_VERSION "\n", stdout);
            return std::fflush(stdout) == 0 ? 0 : 2;
        } else if (optionsOpen && arg[0] == '-' && arg[1] != '\0') {
            return UsageError("unknown option ", arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) return UsageError("no files given", "");

    Probe probe(json, count);
    for (const char* path : files) {
        if (recurse && IsFolder(path)) {
            probe.Folder(path);
        } else {
            probe.File(path);
        }
    }
    if (!probe.Finish() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "kestrelund-info: could not write the output\n");
        return 2;
    }
    return probe.AllValid() ? 0 : 1;
}
