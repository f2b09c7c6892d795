// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Variable-bitrate headers in the first frame of a file: "Xing" and "Info" (one layout) and
// "VBRI". They state how many frames and bytes of audio the file holds. Everything here works on
// an in-memory copy of the first frame (offset 0 = the frame's first byte). Every byte index is
// checked against that copy: a field beyond its end is an index-out-of-range AnalysisError, and a
// count or product that does not fit in 32 bits an overflow AnalysisError.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/AnalysisError.h"
#include "analysis/FrameHeader.h"

// A "Xing" or "Info" header; all zero until parsed.
struct XingHeader {
    int32_t lngFlags = 0;    // optional fields present: 1 frames, 2 bytes, 4 seek table, 8 quality
    int32_t lngBytes = 0;    // audio byte count
    int32_t lngFrames = 0;   // frame count
    int32_t lngQuality = 0;  // not used
    std::array<uint8_t, 100> bytToc{};  // seek table; not used
};

// A "VBRI" header; all zero until parsed.
struct VbriHeader {
    int32_t lngVersion = 0;  // not used
    float sngDelay = 0;      // not used
    int32_t lngQuality = 0;  // not used
    int32_t lngBytes = 0;    // audio byte count
    int32_t lngFrames = 0;   // frame count
    int32_t lngTocEntries = 0;
    int32_t lngTocScale = 0;
    int32_t lngTocEntrySize = 0;
    int32_t lngTocFramesPerEntry = 0;  // not used
    std::vector<int32_t> lngToc;       // scaled seek table, indices 0 to lngTocEntries + 1
};

// Which variable-bitrate header the first frame holds. An "Info" header does not count as one.
enum class VbrHeaderKind : int32_t { None = 0, Xing = 1, Vbri = 2 };

// What the search of the first frame found.
struct VbrHeaders {
    VbrHeaderKind VbrKind = VbrHeaderKind::None;
    bool HasInfoHeader = false;  // an "Info" header was found (VbrKind stays None)
    XingHeader Xing;
    XingHeader Info;
    VbriHeader Vbri;
};

// The audio byte and frame counts that the header in effect states, each when it states one:
// with no variable-bitrate header the "Info" header's (when present and its flag 2 or 1 is set),
// for "Xing" its own under the same flags, for "VBRI" its counts when greater than 0. A count of
// 0 is stated by none of them: the file's own size and frames then give what it would have.
struct StatedCounts {
    std::optional<int32_t> lngBytes;
    std::optional<int32_t> lngFrames;
};
StatedCounts CountsOf(const VbrHeaders& found);

// "Xing" or "Info" at lngXingPos (the side-information size plus 4), else "VBRI" at 36. A name
// that the frame is too short to hold is simply absent; a found header's fields must fit.
void FindVbrHeader(std::span<const uint8_t> btFrame, int32_t lngXingPos, VbrHeaders& found);

// The variable-bitrate header of a file's first frame, as the analysis and the frame walk both
// take it: btFrame is the frame's bytes (its whole length, zeros past the end of the file), header
// the frame's decoded header.
struct FirstFrameVbrHeader {
    bool blnNamed = false;  // the frame holds one of the three names where it belongs
    // The header's fields run past the frame or do not fit: what FindVbrHeader raised. found and
    // stated are then empty.
    std::optional<AnalysisError> malformed;
    VbrHeaders found;
    StatedCounts stated;  // what the header in effect states (CountsOf)
};
FirstFrameVbrHeader ReadVbrHeader(std::span<const uint8_t> btFrame, const FrameHeader& header);

// Both fill header from the four-character tag at lngPos and return true when they complete.
bool ParseXing(std::span<const uint8_t> btFrame, int32_t lngPos, XingHeader& header);
bool ParseVBRI(std::span<const uint8_t> btFrame, int32_t lngPos, VbriHeader& header);

// The four bytes at lngPos as a big-endian two's-complement number (FF FF FF FE is -2).
int32_t ReadLongBE(std::span<const uint8_t> btFrame, int32_t lngPos);

// The lngCount bytes at lngPos as an unsigned big-endian number; advances lngPos by lngCount.
// A value of 2^31 or more is an overflow error.
int32_t ReadBigEndian(std::span<const uint8_t> btFrame, int32_t& lngPos, int32_t lngCount);

// The lngCount bytes from lngPos on, one character each.
std::string BytesToString(std::span<const uint8_t> btFrame, int32_t lngPos, int32_t lngCount);
