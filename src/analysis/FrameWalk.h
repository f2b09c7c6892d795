// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frame walk: from a stream's first frame, follows the frame lengths to the end of the audio
// and counts what a decoder would decode. Trailing tags end the audio: a "TAG" block, an APE tag,
// a Lyrics3 block, an ID3v2 tag with a footer, in any order. Damaged bytes are passed over to the
// next confirmed pair of headers (a valid header, and one in the same version, layer and sample
// rate where its frame ends), as a decoder resyncs; an ID3v2 tag between frames (files joined end
// to end) is passed over whole. A frame in a new sample rate, channel count (one or two), layer or
// version counts as a change when the next frame confirms it; a single stray frame is decoded and
// counted, but is no change, and a stray header with no frame behind it is damage. Free-format
// frames (bitrate index 0) are not taken for frames.
//
// The stream's length is its audio frames (an "Xing", "Info" or "VBRI" frame is not one) times the
// samples per frame, over the sample rate. The walk reads the file in 1 MiB pieces, one after
// the other, and looks only at the frames' headers. Offsets and counts are 64-bit.
// Plain C++, no Qt; nothing a file holds makes it crash or hang.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "analysis/ByteSource.h"

// Where a stream changes its format, and to what.
struct FormatChange {
    enum class Kind { SampleRate, Channels, Layer, Version };
    Kind kind = Kind::SampleRate;
    int64_t lngOffset = 0;       // file offset of the first frame in the new format
    double dblMilliseconds = 0;  // the audio before it, as a decoder would play it
    // The new format.
    int32_t lngSamplerate = 0;
    int32_t lngChannels = 0;
    int32_t lngLayer = 0;
    float sngMpegVersion = 0;
};

struct FrameWalkResult {
    int64_t lngFrames = 0;       // audio frames found (a frame holding a VBR header excluded)
    int64_t lngSamples = 0;      // their samples (per channel), summed frame by frame
    double dblMilliseconds = 0;  // the exact length: each frame's samples over its sample rate
    int32_t lngSamplerate = 0;   // of the first audio frame; 0 when there is none
    int32_t lngChannels = 0;     // of the first audio frame; 0 when there is none

    bool blnHasVbrHeader = false;     // the first frame holds an "Xing", "Info" or "VBRI" header
    int64_t lngVbrHeaderFrames = -1;  // the frame count that header states; -1 when it has none

    // The first frame is a header (and CRC) followed by nothing but zeros, as LAME leaves its
    // "Info" frame when its last write failed. Such a frame holds no VBR header: it is counted
    // as audio, as a decoder decodes it (to silence).
    bool blnFirstFrameHollow = false;
    // Bytes of a last frame cut short by the end of the file or a trailing tag. The frame counts
    // when its header is whole (a decoder decodes what there is of it), not when only one to
    // three bytes of its header are left.
    int64_t lngTruncatedBytes = 0;
    int64_t lngSkippedBytes = 0;  // damaged bytes or tags passed over between frames
    int64_t lngAudioEnd = 0;      // where the audio ends: the trailing tags' start, or the end

    std::optional<FormatChange> change;  // the first confirmed change of format, if any

    // What a decoder that drops a last frame cut short keeps, split by format: the frames in the
    // first audio frame's format (sample rate, one or two channels, layer, MPEG version) and
    // their exact length, and the frames in any other, confirmed runs and stray frames alike.
    int64_t lngMainFrames = 0;
    double dblMainMilliseconds = 0;
    int64_t lngOtherFrames = 0;
    double dblOtherMilliseconds = 0;
    // How often consecutive frames of these switch between the first format and another: a stray
    // frame inside the stream makes two, a run of other frames to the end one.
    int64_t lngSeams = 0;
    // How often the walk lost the frames and found them again; damage, junk, zeros or tags passed
    // over in one place count once.
    int64_t lngResyncs = 0;
    // The first of these frames in another format than the first, whether or not the next frame
    // goes on in it.
    std::optional<FormatChange> firstForeign;
};

// What changes, as the words "the ... changes at 0:10" take it: "sample rate", "channel count",
// "layer", "MPEG version".
const char* FormatChangeName(FormatChange::Kind kind);

// Walks the stream in source from lngFirstFrame (the offset MP3Info::FirstFrame() reports).
// False when no valid frame header starts there, or the source cannot be read (a read that comes
// up short); then result is empty.
bool WalkFrames(ByteSource& source, int64_t lngFirstFrame, FrameWalkResult& result);

// The same for the regular file at strPath (UTF-8 bytes, any path the file system accepts).
bool WalkFrames(const std::string& strPath, int64_t lngFirstFrame, FrameWalkResult& result);
