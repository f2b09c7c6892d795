// kestrelund-info: prints the MP3 analysis of each file named on the command line, for scripts.

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/MP3Info.h"
#include "probe/ProbeOutput.h"

namespace {

constexpr const char* kUsage =
    "Usage: kestrelund-info [--json] FILE...\n"
    "Analyses each MP3 FILE in turn and prints one line per file.\n"
    "\n"
    "Without --json the line is for people: the path, then bitrate in kbps, sample rate,\n"
    "mono or stereo, duration as m:ss, CBR or VBR; or \"not a valid MP3 file\".\n"
    "\n"
    "Options:\n"
    "  --json   one JSON object per line with \"path\", \"valid\" and every property:\n"
    "           FirstFrame, Duration (milliseconds), Channels, Samplerate, Bitrate (bits per\n"
    "           second), FileSize, MpegBytes, Frames, Layer, MpegVersion, CopyrightBit,\n"
    "           OriginalBit, PrivateBit, Protected, Emphasis, IsVBR. Numbers read back exactly.\n"
    "           In \"path\", valid UTF-8 is kept as it is, '\"', '\\' and control characters\n"
    "           are escaped, and each byte that is not part of valid UTF-8 is written as\n"
    "           \\u00XX with the byte's value (so such a byte reads back as U+00XX).\n"
    "  --help   show this help and exit\n"
    "  --       treat every later argument as a FILE, even when it starts with '-'\n"
    "\n"
    "Exit status: 0 when every file is a valid MP3 file, 1 when any is not, 2 on a usage error\n"
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

}  // namespace

int main(int argc, char** argv) {
    bool json = false;
    std::vector<const char*> files;
    bool optionsOpen = true;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (optionsOpen && std::strcmp(arg, "--") == 0) {
            optionsOpen = false;
        } else if (optionsOpen && std::strcmp(arg, "--json") == 0) {
            json = true;
        } else if (optionsOpen &&
                   (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)) {
            std::fputs(kUsage, stdout);
            return std::fflush(stdout) == 0 ? 0 : 2;
        } else if (optionsOpen && arg[0] == '-' && arg[1] != '\0') {
            return UsageError("unknown option ", arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) return UsageError("no files given", "");

    MP3Info info;
    std::string out;
    out.reserve(1 << 17);
    bool allValid = true;
    bool written = true;
    for (const char* path : files) {
        const std::string file(path);
        const bool valid = info.ReadMP3Info(file);
        allValid = allValid && valid;
        if (json) {
            AppendJsonLine(out, file, valid, info);
        } else {
            AppendHumanLine(out, file, valid, info);
        }
        if (out.size() >= (1 << 16)) written = Flush(out) && written;
    }
    written = Flush(out) && written;
    if (std::fflush(stdout) != 0 || !written) {
        std::fprintf(stderr, "kestrelund-info: could not write the output\n");
        return 2;
    }
    return allValid ? 0 : 1;
}
