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

int UsageError(const char* strMessage, const char* strArgument) {
    std::fprintf(stderr, "kestrelund-info: %s%s\n\n%s", strMessage, strArgument, kUsage);
    return 2;
}

// Writes and empties the buffer; false when stdout failed.
bool Flush(std::string& strOut) {
    const bool blnOk = std::fwrite(strOut.data(), 1, strOut.size(), stdout) == strOut.size();
    strOut.clear();
    return blnOk;
}

}  // namespace

int main(int argc, char** argv) {
    bool blnJson = false;
    std::vector<const char*> files;
    bool blnOptions = true;
    for (int i = 1; i < argc; ++i) {
        const char* strArg = argv[i];
        if (blnOptions && std::strcmp(strArg, "--") == 0) {
            blnOptions = false;
        } else if (blnOptions && std::strcmp(strArg, "--json") == 0) {
            blnJson = true;
        } else if (blnOptions &&
                   (std::strcmp(strArg, "--help") == 0 || std::strcmp(strArg, "-h") == 0)) {
            std::fputs(kUsage, stdout);
            return std::fflush(stdout) == 0 ? 0 : 2;
        } else if (blnOptions && strArg[0] == '-' && strArg[1] != '\0') {
            return UsageError("unknown option ", strArg);
        } else {
            files.push_back(strArg);
        }
    }
    if (files.empty()) return UsageError("no files given", "");

    MP3Info info;
    std::string strOut;
    strOut.reserve(1 << 17);
    bool blnAllValid = true;
    bool blnWritten = true;
    for (const char* strPath : files) {
        const std::string strFile(strPath);
        const bool blnValid = info.ReadMP3Info(strFile);
        blnAllValid = blnAllValid && blnValid;
        if (blnJson) {
            AppendJsonLine(strOut, strFile, blnValid, info);
        } else {
            AppendHumanLine(strOut, strFile, blnValid, info);
        }
        if (strOut.size() >= (1 << 16)) blnWritten = Flush(strOut) && blnWritten;
    }
    blnWritten = Flush(strOut) && blnWritten;
    if (std::fflush(stdout) != 0 || !blnWritten) {
        std::fprintf(stderr, "kestrelund-info: could not write the output\n");
        return 2;
    }
    return blnAllValid ? 0 : 1;
}
