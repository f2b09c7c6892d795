// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Analysis of bytes that are already in memory, through the same search and computation as
// MP3Info::ReadMP3Info: the bytes are treated as the whole file. For the fuzzer and for tests.

#include <cstdint>
#include <span>

#include "analysis/AnalysisError.h"
#include "analysis/MP3Info.h"

class MP3InfoSource {
  public:
    static bool ReadMP3Info(MP3Info& info, std::span<const uint8_t> btData) {
        info.Reset();
        info.lngFileSize = 0;
        MemorySource source(btData);
        return info.Analyse(source);
    }
    static bool ReadMP3Info(MP3Info& info, ByteSource& source) {
        info.Reset();
        info.lngFileSize = 0;
        return info.Analyse(source);
    }
    // Only the search for the first frame: its offset, -1 when none is found, -2 when the data
    // raised an error.
    static int64_t FindFirstFrame(MP3Info& info, ByteSource& source) {
        info.Reset();
        int64_t lngResult = -1;
        try {
            if (info.FindFirstFrame(source)) lngResult = info.search.FirstFrame();
        } catch (const AnalysisError&) {
            lngResult = -2;
        }
        info.Reset();
        return lngResult;
    }
};
