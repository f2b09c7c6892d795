// SPDX-License-Identifier: GPL-3.0-or-later
// Prints each file's length as a Reduce run counts it: its frames walked from the first one the
// analysis finds, in milliseconds. One line a file: the length, a blank, the path; "-" for a
// file that is not an MP3 file. For bench/reduce/length_gap.sh.
#include <cstdio>
#include <string>

#include "analysis/FrameWalk.h"
#include "analysis/MP3Info.h"

int main(int argc, char** argv) {
    MP3Info info;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        FrameWalkResult walk;
        if (info.ReadMP3Info(path) && WalkFrames(path, info.FirstFrame(), walk)) {
            std::printf("%.3f %s\n", walk.dblMilliseconds, argv[i]);
        } else {
            std::printf("- %s\n", argv[i]);
        }
    }
    return 0;
}
