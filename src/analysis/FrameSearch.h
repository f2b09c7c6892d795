// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The search for a file's first frame, over the file's bytes held in memory. It examines the file
// in 2048-byte chunks from the start with a leading-tag detector and a frame-sync detector. It
// skips each ID3v2 tag it meets, several back to back one after the other, and goes on behind
// them; it accepts the first candidate frame whose header is followed by a second valid header
// at the distance the first one's length gives. It gives up at the end of the file, or once a
// chunk examined lies more than 10240 bytes past the length of the last tags skipped.
//
// The caller reads what the search asks for into ReadRoom() and hands it over with Search(). The
// search examines one window, and one more behind each tag it skips; each window is read in at
// most two pieces, its first 4 KiB and the rest when the search needs it (nearly every file is
// decided in its first piece), and the bytes read before are kept when a window starts inside
// them. Offsets are 64-bit; a tag size that does not fit in 32 bits raises AnalysisError, as
// arithmetic that overflows does everywhere in the analysis.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class FrameSearch {
  public:
    enum class Outcome { Found, NotFound, NextWindow };

    // Starts a new search at the start of the file.
    void Start();

    // Where the bytes the search needs next start in the file, and room for them: fill it with as
    // many as the file holds there. Empty when the search holds them already.
    int64_t ReadOffset() const { return lngWindowStart + static_cast<int64_t>(lngHeld); }
    std::span<uint8_t> ReadRoom();

    // Searches on once lngRead bytes were read into the room (fewer than it holds only at the end
    // of the file). NextWindow asks for the next read.
    Outcome Search(size_t lngRead);

    // After Found: the first frame's offset and length, and its bytes (zero past the file's end).
    int64_t FirstFrame() const { return lngFirstFrame; }
    int32_t FrameLength() const { return lngFrameLength; }
    std::span<const uint8_t> FrameBytes() const;

  private:
    void SkipTagAt(int64_t lngTagStart, int64_t lngLength);
    std::span<const uint8_t> Bytes(int64_t lngOffset, size_t lngCount) const;
    bool Holds(int64_t lngEnd) const;

    int64_t lngWindowStart = 0;     // file offset of the window's first byte
    size_t lngWindowLength = 0;     // the bytes the search may examine from there
    size_t lngHeld = 0;             // bytes held from there on
    bool blnFileEnds = false;       // the file ends where the bytes held end
    bool blnNeedsRest = false;      // the search asks for the rest of the window
    std::vector<uint8_t> btWindow;  // the bytes held, then zeros for the scan to read past them
    int64_t lngChunkPos = 0;        // file offset of the chunk examined next
    int64_t lngTagStart = 0;        // where the last run of tags skipped starts
    int64_t lngTagLen = 0;          // and its length
    bool blnBehindTag = false;      // the window starts where a tag ended
    int32_t lngTagState = 0;
    int32_t lngSyncState = 0;
    int64_t lngFirstFrame = -1;
    int32_t lngFrameLength = -1;
};
