// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the whole analysis of ReadMP3Info (search, tag skips, header decoding, variable-
// bitrate headers, arithmetic) on the input taken as a file's bytes. Besides the sanitizers it
// checks what a result promises: false leaves every property but FileSize at zero; true gives a
// plausible first frame inside the file. And it checks the shortcuts of the search: the search
// finds what the plain chunked search finds, and the raw header test agrees with the decoder.
// The frame walk runs from the first frame found, and from the input's first few 255 bytes: its
// counts must fit together and its offsets lie within the input.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "analysis/FrameWalk.h"
#include "analysis/MP3Info.h"
#include "analysis/MP3InfoSource.h"
#include "support/PlainSearch.h"

namespace {

void Require(bool blnCondition) {
    if (!blnCondition) std::abort();
}

// The walk from lngFirst: false only where no valid header starts; a result whose parts agree.
void CheckWalk(ByteSource& source, int64_t lngFirst, bool blnMustSucceed) {
    FrameWalkResult walk;
    const bool blnWalked = WalkFrames(source, lngFirst, walk);
    if (blnMustSucceed) Require(blnWalked);
    if (!blnWalked) {
        Require(walk.lngFrames == 0 && walk.lngSamples == 0 && !walk.change);
        return;
    }
    const int64_t lngSize = source.Size();
    Require(walk.lngAudioEnd >= lngFirst + 4 && walk.lngAudioEnd <= lngSize);
    Require(walk.lngFrames >= 0 && walk.lngSamples >= 384 * walk.lngFrames &&
            walk.lngSamples <= 1152 * walk.lngFrames);
    // Every frame holds at least its header: what was counted, skipped and cut fits in the audio.
    Require(4 * walk.lngFrames + walk.lngSkippedBytes <= walk.lngAudioEnd - lngFirst);
    Require(walk.lngTruncatedBytes >= 0 && walk.lngTruncatedBytes < 2882 &&
            walk.lngSkippedBytes >= 0);
    Require(walk.dblMilliseconds >= walk.lngSamples / 48.0 - 1e-6 &&
            walk.dblMilliseconds <= walk.lngSamples / 8.0 + 1e-6);
    Require((walk.lngFrames == 0) == (walk.lngSamplerate == 0));
    Require(walk.lngVbrHeaderFrames >= -1 &&
            (walk.blnHasVbrHeader || walk.lngVbrHeaderFrames == -1));
    // The whole frames by format: all but a last one cut short, the seams between the two kinds.
    const int64_t lngWhole = walk.lngMainFrames + walk.lngOtherFrames;
    Require(lngWhole <= walk.lngFrames && lngWhole + 1 >= walk.lngFrames);
    Require(walk.lngMainFrames > 0 || walk.lngFrames <= 1);
    Require(walk.lngSeams <= 2 * walk.lngOtherFrames && walk.lngSeams >= (walk.lngOtherFrames > 0));
    Require(walk.firstForeign.has_value() == (walk.lngOtherFrames > 0));
    Require(walk.dblMainMilliseconds + walk.dblOtherMilliseconds <= walk.dblMilliseconds + 1e-6);
    Require(walk.lngResyncs >= 0 && walk.lngResyncs <= walk.lngSkippedBytes);
    if (walk.change) {
        Require(walk.change->lngOffset > lngFirst && walk.change->lngOffset < walk.lngAudioEnd);
        Require(walk.change->dblMilliseconds > 0 &&
                walk.change->dblMilliseconds < walk.dblMilliseconds);
        Require(walk.change->lngSamplerate >= 8000 && walk.change->lngSamplerate <= 48000);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MP3Info info;  // one object for every input, as the program uses it
    MemorySource source(std::span<const uint8_t>(data, size));
    Require(MP3InfoSource::FindFirstFrame(info, source) ==
            plain::ChunkedSearch(std::vector<uint8_t>(data, data + size)));
    // The raw header test against the decoder on the input's first 16 sync bytes; a header that
    // does not start with one is never valid.
    int lngChecked = 0;
    for (size_t i = 0; i + 4 <= size && lngChecked < 16; ++i) {
        const std::array<uint8_t, 4> bytHeader = {data[i], data[i + 1], data[i + 2], data[i + 3]};
        if (data[i] != 0xFF) {
            Require(!IsValidHeaderBytes(bytHeader));
            continue;
        }
        Require(IsValidHeaderBytes(bytHeader) == IsValidHeader(DecodeHeader(bytHeader)));
        ++lngChecked;
    }
    int lngWalks = 0;
    for (size_t i = 0; i < size && lngWalks < 3; ++i) {
        if (data[i] != 0xFF) continue;
        CheckWalk(source, static_cast<int64_t>(i), false);
        ++lngWalks;
    }
    const bool blnValid = MP3InfoSource::ReadMP3Info(info, std::span<const uint8_t>(data, size));
    Require(info.FileSize() == static_cast<int64_t>(size));
    if (blnValid) CheckWalk(source, info.FirstFrame(), true);
    if (!blnValid) {
        Require(info.FirstFrame() == 0 && info.Duration() == 0 && info.Channels() == 0 &&
                info.Samplerate() == 0 && info.Bitrate() == 0 && info.MpegBytes() == 0 &&
                info.Frames() == 0 && info.Layer() == 0 && info.MpegVersion() == 0 &&
                !info.CopyrightBit() && !info.OriginalBit() && !info.PrivateBit() &&
                !info.Protected() && !info.Emphasis() && !info.IsVBR());
        return 0;
    }
    Require(info.FirstFrame() >= 0 && static_cast<size_t>(info.FirstFrame()) + 4 <= size);
    Require(info.Channels() == 1 || info.Channels() == 2);
    Require(info.Layer() >= 1 && info.Layer() <= 3);
    Require(info.MpegVersion() == 1.0f || info.MpegVersion() == 2.0f || info.MpegVersion() == 2.5f);
    Require(info.Samplerate() >= 8000 && info.Samplerate() <= 48000);
    Require(info.Duration() == info.Duration());  // never NaN
    if (!info.IsVBR()) Require(info.Bitrate() >= 8000 && info.Bitrate() <= 448000);
    return 0;
}
