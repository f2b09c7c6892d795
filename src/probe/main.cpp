// SPDX-License-Identifier: GPL-3.0-or-later
// kestrelund-info: prints the MP3 analysis of each file named on the command line, for scripts.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
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
    "Usage: kestrelund-info [OPTION]... FILE...\n"
    "Analyses each MP3 FILE in turn and prints one line per file.\n"
    "\n"
    "Without --json the line is for people: the path, then the stream (MPEG-1 Layer III),\n"
    "bitrate in kbps with CBR or VBR, sample rate, mono or stereo and duration as m:ss:\n"
    "  song.mp3: MPEG-1 Layer III, 128 kbps CBR, 44100 Hz, stereo, 3:03\n"
    "For a file it refuses, it says why instead:\n"
    "  no such file          nothing has that name (or the path runs through a file, a loop\n"
    "                        of links, or is too long)\n"
    "  is a folder           a folder, given without -r\n"
    "  permission denied     you may not read the file, or enter a folder on its path\n"
    "  not a valid MP3 file  the file holds no MP3 stream the analysis accepts; also said of\n"
    "                        anything but a regular file, and of a file of 2 GiB or more\n"
    "With -r, a folder can also be refused:\n"
    "  cannot be read        the folder could not be opened for another reason\n"
    "  cannot be searched (kestrelund-walk did not run)\n"
    "                        the folder walk, a program beside kestrelund-info, did not run\n"
    "\n"
    "Options:\n"
    "  -r, --recursive  a FILE that is a folder is searched with all folders below it, as the\n"
    "                   window's \"Add All MP3 File(s) In Folder\" does: each folder's *.mp3\n"
    "                   files in name order (names beginning with \"~\" left out), then its\n"
    "                   subfolders' level by level (hidden folders not entered), one line per\n"
    "                   file found\n"
    "  -j, --json       one JSON object per line with \"path\", \"valid\", for a refused file\n"
    "                   \"error\" (the reason above), and every property:\n"
    "                   FirstFrame, Duration (milliseconds), Channels, Samplerate, Bitrate\n"
    "                   (bits per second), FileSize, MpegBytes, Frames, Layer, MpegVersion,\n"
    "                   CopyrightBit, OriginalBit, PrivateBit, Protected, Emphasis, IsVBR.\n"
    "                   Numbers read back exactly. A refused file's properties are null,\n"
    "                   but FileSize when the file could be read.\n"
    "                   In \"path\", valid UTF-8 is kept as it is, '\"', '\\' and control\n"
    "                   characters are escaped, and each byte that is not part of valid UTF-8\n"
    "                   is written as \\udcXX with the byte's value: a lone surrogate, which\n"
    "                   valid UTF-8 never gives, so two names never share a \"path\". Python's\n"
    "                   os.fsencode(json.loads(line)[\"path\"]) gives the name's bytes back;\n"
    "                   jq reads such a byte as U+FFFD.\n"
    "  -c, --count      also walk each valid file frame by frame and add what was counted:\n"
    "                   the frames and the exact length (\"; counted 10024 frames, 4:21.851\"),\n"
    "                   and where the format changes, if it does (\"; the sample rate changes\n"
    "                   at 0:10\"). With --json: CountedFrames, CountedSamples,\n"
    "                   CountedDuration (milliseconds), TruncatedBytes, SkippedBytes,\n"
    "                   FormatChange (\"sample rate\", \"channel count\", \"layer\", \"MPEG\n"
    "                   version\"), FormatChangeOffset (the byte offset of the first frame in\n"
    "                   the new format) and FormatChangeAt (milliseconds before it); the three\n"
    "                   are null when the format does not change, and all are null for a\n"
    "                   refused file\n"
    "  -h, --help       show this help and exit\n"
    "      --version    show the version and exit\n"
    "  --               treat every later argument as a FILE, even when it starts with '-'\n"
    "Short options can be joined: -rj is -r -j. Options may also follow the FILEs.\n"
    "\n"
    "Exit status: 0 when every file (and every file found) is a valid MP3 file, 1 when any is\n"
    "not or a folder cannot be searched, 2 on a usage error\n"
    "(or when the output cannot be written).\n";

// A usage error: one line that says what is wrong and where to read more, as the other
// command-line tools do; the whole help would bury the line in a terminal or a log.
int UsageError(const std::string& message) {
    std::fprintf(stderr,
                 "kestrelund-info: %s\n"
                 "Try 'kestrelund-info --help' for more information.\n",
                 message.c_str());
    return 2;
}

// A regular file of no bytes.
bool IsEmptyFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
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
        // A file refused with no size may be a file of no bytes, whose size 0 is true.
        Line(path, error, info,
             error == kReasonNotMp3 && info.FileSize() == 0 && IsEmptyFile(path));
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
        bool walked = false;
        const std::vector<std::string> files = Mp3FilesBelow(path, walked);
        if (!walked) {
            Line(path, "cannot be searched (kestrelund-walk did not run)", MP3Info());
            return;
        }
        for (const std::string& file : files) File(file);
    }

    bool AllValid() const { return allValid; }
    // Writes what is left; false when any write failed.
    bool Finish() { return Flush(out) && written; }

  private:
    void Line(const std::string& path, std::string_view error, const MP3Info& lineInfo,
              bool emptyFile = false) {
        allValid = allValid && error.empty();
        const FrameWalkResult* counted = count ? &walk : nullptr;
        if (json) {
            AppendJsonLine(out, path, error, lineInfo, counted, emptyFile);
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

// --help and --version print to standard output and end the run; 2 when it cannot be written.
int Print(const char* text) {
    std::fputs(text, stdout);
    return std::fflush(stdout) == 0 ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool json = false;
    bool count = false;
    bool recurse = false;
    // The options that set a flag, by their long and short forms.
    const struct {
        std::string_view strLong;
        char chShort;
        bool* flag;
    } kFlags[] = {{"--json", 'j', &json}, {"--count", 'c', &count}, {"--recursive", 'r', &recurse}};
    const auto Flag = [&](std::string_view strLong, char chShort) -> bool* {
        for (const auto& option : kFlags) {
            if (option.strLong == strLong || (chShort != 0 && option.chShort == chShort))
                return option.flag;
        }
        return nullptr;
    };
    std::vector<const char*> files;
    bool optionsOpen = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!optionsOpen || arg.size() < 2 || arg[0] != '-') {
            files.push_back(argv[i]);  // "-" alone is a file of that name
        } else if (arg == "--") {
            optionsOpen = false;
        } else if (arg.starts_with("--")) {
            if (bool* flag = Flag(arg, 0)) {
                *flag = true;
            } else if (arg == "--help") {
                return Print(kUsage);
            } else if (arg == "--version") {
                return Print("kestrelund-info " KESTRELUND_VERSION "\n");
            } else {
                return UsageError("unknown option '" + std::string(arg) + "'");
            }
        } else {
            // One short option, or several joined behind one "-": -rj is -r -j.
            for (const char letter : arg.substr(1)) {
                if (bool* flag = Flag({}, letter)) {
                    *flag = true;
                } else if (letter == 'h') {
                    return Print(kUsage);
                } else {
                    std::string message = "unknown option '-" + std::string(1, letter) + "'";
                    if (arg.size() > 2) message += " in '" + std::string(arg) + "'";
                    return UsageError(message);
                }
            }
        }
    }
    if (files.empty()) return UsageError("no FILE given");

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
