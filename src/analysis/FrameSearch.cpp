// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/FrameSearch.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <tuple>

#include "analysis/AnalysisError.h"
#include "analysis/FrameHeader.h"
#include "analysis/HeaderBytes.h"
#include "analysis/Id3v2Tag.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int32_t kChunkSize = 2048;
// The search stops once the chunk position lies this far past the last leading tags' length.
constexpr int32_t kSearchLimit = 10240;
// What a candidate near the end of the last chunk reads behind it: its frame and the next header.
constexpr size_t kTail = kLongestFrame + 4;
// A window is read in at most two pieces: its start, where nearly every file has its first frame
// and the one that confirms it (or its leading tag), and the rest only when the search gets there.
constexpr size_t kFirstPiece = 4096;
// Zero bytes behind the window, so that the scan may read a little past it.
constexpr size_t kScanPadding = 32;

// The length of the leading tag whose header starts at btTag, its size read as the search reads
// it (a plain big-endian size where it is not synchsafe). The search only asks where it has seen
// the marker.
int64_t LeadingTagLength(const uint8_t* btTag) {
    const int64_t lngLength =
        Id3v2TagLength({btTag, kId3v2HeaderLength}, Id3v2Reading::SynchsafeOrPlain);
    if (lngLength <= 0) ThrowOutOfRange();
    return lngLength;
}

std::array<uint8_t, 4> HeaderAt(const uint8_t* btData) { return HeaderBytesAt({btData, 4}); }

// The three bytes of the leading-tag detector: "I", "D", "3".
constexpr uint8_t kMarkerI = kId3v2Marker[0];
constexpr uint8_t kMarkerD = kId3v2Marker[1];
constexpr uint8_t kMarker3 = kId3v2Marker[2];

// Both detectors rest on any byte other than "I" and 255. An "I" at rest followed by a byte other
// than "D" and "I" changes nothing: the tag detector is back at rest after that byte, which would
// not have woken it either. A 255 at rest followed by a byte other than 255 arms the sync
// detector, and that byte disarms it again, reporting the 255 as a candidate unless the byte is
// 0: when that candidate fails at once, the 255 changes nothing either. From index i on, returns
// the index of the next byte in btData[0, n) that may change something, or n. Reads up to 18
// bytes past n.
int32_t NextCandidateByte(const uint8_t* btData, int32_t i, int32_t n) {
#if defined(__SSE2__)
    // Sixteen bytes at a time: an "I" followed by "D" or "I", or a 255 followed by a 255 or by the
    // start of a header whose sync, version, layer, bitrate and sample rate codes are not ruled
    // out.
    const auto Each = [](uint8_t bytValue) { return _mm_set1_epi8(static_cast<char>(bytValue)); };
    const __m128i bytFF = Each(kSyncByte);
    const __m128i bytI = Each(kMarkerI);
    const __m128i bytD = Each(kMarkerD);
    const __m128i bytE0 = Each(kSyncBits);
    // Each field's mask and the codes that rule a header out, in the bytes that hold them.
    static_assert(kRawVersion.lngByte == 1 && kRawLayer.lngByte == 1);
    static_assert(kRawBitrate.lngByte == 2 && kRawSamplerate.lngByte == 2);
    const __m128i versionMask = Each(kRawVersion.bytMask);
    const __m128i versionReserved = Each(RawBits(kRawVersion, kReservedVersion));
    const __m128i layerMask = Each(kRawLayer.bytMask);
    const __m128i layerReserved = Each(RawBits(kRawLayer, kReservedLayer));
    const __m128i bitrateMask = Each(kRawBitrate.bytMask);
    const __m128i freeFormat = Each(RawBits(kRawBitrate, kFreeFormat));
    const __m128i badBitrate = Each(RawBits(kRawBitrate, kBadBitrate));
    const __m128i rateMask = Each(kRawSamplerate.bytMask);
    const __m128i rateReserved = Each(RawBits(kRawSamplerate, kReservedSamplerate));
    for (; i < n; i += 16) {
        const auto Load = [&](int32_t k) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(btData + i + k));
        };
        const __m128i b0 = Load(0);
        const __m128i b1 = Load(1);
        const __m128i b2 = Load(2);
        const __m128i bitrate = _mm_and_si128(b2, bitrateMask);
        const __m128i ruledOut = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(_mm_and_si128(b1, versionMask), versionReserved),
                         _mm_cmpeq_epi8(_mm_and_si128(b1, layerMask), layerReserved)),
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bitrate, freeFormat),
                                      _mm_cmpeq_epi8(bitrate, badBitrate)),
                         _mm_cmpeq_epi8(_mm_and_si128(b2, rateMask), rateReserved)));
        const __m128i header =
            _mm_andnot_si128(ruledOut, _mm_cmpeq_epi8(_mm_and_si128(b1, bytE0), bytE0));
        const __m128i waking = _mm_or_si128(
            _mm_and_si128(_mm_cmpeq_epi8(b0, bytI),
                          _mm_or_si128(_mm_cmpeq_epi8(b1, bytD), _mm_cmpeq_epi8(b1, bytI))),
            _mm_and_si128(_mm_cmpeq_epi8(b0, bytFF),
                          _mm_or_si128(header, _mm_cmpeq_epi8(b1, bytFF))));
        for (unsigned lngMask = static_cast<unsigned>(_mm_movemask_epi8(waking)); lngMask != 0;
             lngMask &= lngMask - 1) {
            const int32_t p = i + __builtin_ctz(lngMask);
            if (p >= n) return n;
            if (btData[p] == kMarkerI || btData[p + 1] == kSyncByte ||
                IsValidHeaderBytes(HeaderAt(btData + p))) {
                return p;
            }
        }
    }
    return n;
#else
    for (; i < n; ++i) {
        if (btData[i] == kMarkerI && (btData[i + 1] == kMarkerD || btData[i + 1] == kMarkerI)) {
            return i;
        }
        if (btData[i] == kSyncByte &&
            (btData[i + 1] == kSyncByte || IsValidHeaderBytes(HeaderAt(btData + i)))) {
            return i;
        }
    }
    return n;
#endif
}

// From index i on, the index of the first byte in btData[0, n) that is not 255, or n.
int32_t EndOfRun255(const uint8_t* btData, int32_t i, int32_t n) {
    for (; i + 8 <= n; i += 8) {
        uint64_t lngWord;
        std::memcpy(&lngWord, btData + i, 8);
        if (lngWord != ~uint64_t{0}) break;
    }
    while (i < n && btData[i] == kSyncByte) ++i;
    return i;
}

// The chunks a window holds: from lngStart, until the first whose position less lngTagLen
// exceeds the search limit, that one included.
size_t WindowLength(int64_t lngStart, int64_t lngTagLen) {
    const int64_t lngOver = lngStart - lngTagLen;
    const int64_t lngLast = lngOver > kSearchLimit ? 0 : (kSearchLimit - lngOver) / kChunkSize + 1;
    return static_cast<size_t>((lngLast + 1) * kChunkSize) + kTail;
}

}  // namespace

void FrameSearch::Start() {
    lngChunkPos = 0;
    lngTagStart = 0;
    lngTagLen = 0;
    blnBehindTag = false;
    lngTagState = 0;
    lngSyncState = 0;
    lngFirstFrame = -1;
    lngFrameLength = -1;
    lngWindowStart = 0;
    lngWindowLength = WindowLength(0, 0);
    lngHeld = 0;
    blnFileEnds = false;
    blnNeedsRest = false;
    btWindow.resize(std::max(btWindow.size(), lngWindowLength + kScanPadding));
}

std::span<uint8_t> FrameSearch::ReadRoom() {
    const size_t lngWant = blnNeedsRest   ? lngWindowLength
                           : lngHeld == 0 ? std::min(kFirstPiece, lngWindowLength)
                                          : 0;
    if (blnFileEnds || lngHeld >= lngWant) return {};
    return {btWindow.data() + lngHeld, lngWant - lngHeld};
}

// A run of tags starts at lngStart and is lngLength bytes long so far: the search goes on behind
// it, with the tag detector still at its report (the next byte only returns it to the start).
void FrameSearch::SkipTagAt(int64_t lngStart, int64_t lngLength) {
    lngTagStart = lngStart;
    lngTagLen = lngLength;
    const int64_t lngNewStart = lngTagStart + lngTagLen;
    lngChunkPos = lngNewStart - kChunkSize;
    blnBehindTag = true;
    // The bytes held from the new start on are kept; the file may end before it.
    const int64_t lngShift = lngNewStart - lngWindowStart;
    if (lngShift >= 0 && lngShift < static_cast<int64_t>(lngHeld)) {
        std::memmove(btWindow.data(), btWindow.data() + lngShift,
                     lngHeld - static_cast<size_t>(lngShift));
        lngHeld -= static_cast<size_t>(lngShift);
    } else {
        blnFileEnds = blnFileEnds && lngShift >= static_cast<int64_t>(lngHeld);
        lngHeld = 0;
    }
    lngWindowStart = lngNewStart;
    // Unless another tag follows right away, the search ends behind a tag found this far on:
    // only that tag's header is needed.
    lngWindowLength = lngTagStart - kChunkSize > kSearchLimit
                          ? kId3v2HeaderLength
                          : WindowLength(lngWindowStart, lngTagLen);
    btWindow.resize(std::max(btWindow.size(), lngWindowLength + kScanPadding));
}

std::span<const uint8_t> FrameSearch::Bytes(int64_t lngOffset, size_t lngCount) const {
    static constexpr uint8_t kZeros[kLongestFrame + 4] = {};
    const int64_t lngAt = lngOffset - lngWindowStart;
    if (lngAt < 0 || static_cast<size_t>(lngAt) + lngCount > btWindow.size()) {
        return {kZeros, std::min(lngCount, sizeof kZeros)};  // never reached: the window holds it
    }
    return {btWindow.data() + lngAt, lngCount};
}

std::span<const uint8_t> FrameSearch::FrameBytes() const {
    if (lngFrameLength < 0) return {};
    return Bytes(lngFirstFrame, static_cast<size_t>(lngFrameLength));
}

// The bytes of the window up to lngEnd (counted from its start) are known: held, or past the end
// of the file (zero).
bool FrameSearch::Holds(int64_t lngEnd) const {
    return blnFileEnds || lngEnd <= static_cast<int64_t>(lngHeld);
}

FrameSearch::Outcome FrameSearch::Search(size_t lngRead) {
    const size_t lngRoom = ReadRoom().size();
    blnFileEnds = blnFileEnds || lngRead < lngRoom;
    lngHeld += std::min(lngRead, lngRoom);
    blnNeedsRest = false;
    // Past the end of the file the search reads zeros. Short of it, it never decides on a byte not
    // held (the scan may look at a few, but only for bytes it then does not examine).
    if (blnFileEnds) {
        std::fill(btWindow.begin() + static_cast<ptrdiff_t>(lngHeld), btWindow.end(), uint8_t{0});
    }
    // Where the window starts over when the search needs bytes not read yet: it reads the rest
    // and examines the window again from its start.
    const auto saved =
        std::tuple(lngChunkPos, lngTagStart, lngTagLen, blnBehindTag, lngTagState, lngSyncState);
    const auto NeedsRest = [&] {
        // The window holds everything the search may ask of it once read whole.
        if (blnFileEnds || lngHeld >= lngWindowLength) ThrowOutOfRange();
        std::tie(lngChunkPos, lngTagStart, lngTagLen, blnBehindTag, lngTagState, lngSyncState) =
            saved;
        blnNeedsRest = true;
        return Outcome::NextWindow;
    };
    const uint8_t* btData = btWindow.data();
    if (blnBehindTag) {
        if (!Holds(kId3v2HeaderLength)) return NeedsRest();
        blnBehindTag = false;
        if (IsId3v2Marker({btData, kId3v2HeaderLength})) {
            SkipTagAt(lngTagStart, lngTagLen + LeadingTagLength(btData));
            return Outcome::NextWindow;
        }
        // The chunk in which the tag was found ends here.
        if (lngChunkPos - lngTagLen > kSearchLimit) return Outcome::NotFound;
        lngChunkPos += kChunkSize;
    }
    for (;;) {
        const int64_t lngAt = lngChunkPos - lngWindowStart;
        const int32_t n = static_cast<int32_t>(
            std::clamp<int64_t>(static_cast<int64_t>(lngHeld) - lngAt, 0, kChunkSize));
        // Of a chunk not read whole, the bytes whose candidate header is held.
        const bool blnWhole = Holds(lngAt + kChunkSize);
        const int32_t lngExamine = blnWhole ? n : std::max(0, n - 3);
        const uint8_t* btChunk = btData + lngAt;
        bool blnFound = false;
        for (int32_t i = 0; i < lngExamine; ++i) {
            if (lngTagState == 0 && lngSyncState != 1) {
                // Both detectors at rest: pass over the bytes that change nothing.
                const int32_t lngNext = NextCandidateByte(btChunk, i, lngExamine);
                if (lngNext != i) lngSyncState = 0;
                i = lngNext;
                if (i >= lngExamine) break;
                if (btChunk[i] == kSyncByte) {
                    // In a run of 255s every other byte is a candidate whose third header byte is
                    // 255 as well, a bitrate index of 15 that is never valid. Pass over those
                    // pairs; the last byte or two of the run are examined as usual.
                    const int32_t lngPairs = (EndOfRun255(btChunk, i + 1, lngExamine) - 1 - i) / 2;
                    if (lngPairs > 0) {
                        i += 2 * lngPairs;
                        lngSyncState = 0;
                    }
                }
            }
            const uint8_t bytValue = btChunk[i];
            // The leading-tag detector reports when "ID3" has just been seen; right after a
            // report the next byte only returns it to the start, unexamined.
            switch (lngTagState) {
                case 0:
                    lngTagState = bytValue == kMarkerI ? 1 : 0;
                    break;
                case 1:
                    lngTagState = bytValue == kMarkerD ? 2 : 0;
                    break;
                case 2:
                    lngTagState = bytValue == kMarker3 ? 3 : 0;
                    break;
                default:
                    lngTagState = 0;
                    break;
            }
            if (lngTagState == 3) {
                // A tag starts at the "I"; skip it, and any that follow it directly.
                const int64_t lngStart = lngChunkPos + i - 2;
                if (!Holds(lngStart - lngWindowStart + kId3v2HeaderLength)) return NeedsRest();
                SkipTagAt(lngStart, LeadingTagLength(Bytes(lngStart, kId3v2HeaderLength).data()));
                return Outcome::NextWindow;
            }
            // The frame-sync detector reports when a 255 has been followed by a byte other than
            // 0: the 255 may start a frame.
            if (lngSyncState == 1) {
                lngSyncState = bytValue != 0 ? 2 : 0;
            } else {
                lngSyncState = bytValue == kSyncByte ? 1 : 0;
            }
            if (lngSyncState != 2) continue;
            // Confirmed by one further valid header at the distance its frame length gives. The
            // raw test first: the bit reader only decodes headers that pass it.
            const int64_t lngCandidate = lngChunkPos + i - 1;
            const std::array<uint8_t, 4> bytHeader = HeaderAt(Bytes(lngCandidate, 4).data());
            if (!IsValidHeaderBytes(bytHeader)) continue;
            const FrameHeader header = DecodeHeader(bytHeader);
            if (!IsValidHeader(header)) continue;
            const int32_t lngLength = GetFrameLength(header);
            if (!Holds(lngCandidate - lngWindowStart + lngLength + 4)) return NeedsRest();
            const std::array<uint8_t, 4> bytNext =
                HeaderAt(Bytes(lngCandidate + lngLength, 4).data());
            if (IsValidHeaderBytes(bytNext) && IsValidHeader(DecodeHeader(bytNext))) {
                lngFirstFrame = lngCandidate;
                lngFrameLength = lngLength;
                blnFound = true;
                break;
            }
        }
        if (!blnWhole && !blnFound) return NeedsRest();
        if (n > 0 && !blnFound && lngChunkPos - lngTagLen > kSearchLimit) return Outcome::NotFound;
        lngChunkPos += kChunkSize;
        if (blnFound) return Outcome::Found;
        if (n <= 0) return Outcome::NotFound;
    }
}
