// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/TrailingTag.h"

#include <algorithm>
#include <cstring>

#include "analysis/Id3v2Tag.h"

namespace {

// An APE tag ends in a 32-byte footer: "APETAGEX", version, the size of the items and the footer
// (little-endian, at 12), the item count, flags (at 20; the high bit: a header precedes the
// items), 8 bytes kept free.
constexpr size_t kApeFooterLength = 32;
constexpr char kApeMarker[] = "APETAGEX";
// A Lyrics3v2 block ends in six digits of its size (the block less these 15 bytes) and
// "LYRICS200"; it starts with "LYRICSBEGIN", 11 bytes.
constexpr char kLyricsEnd[] = "LYRICS200";
constexpr size_t kLyricsEndLength = 9;
constexpr size_t kLyricsSizeDigits = 6;
constexpr int64_t kLyricsBegin = 11;
// Tags looked for at most, one behind the other.
constexpr int kMostTags = 8;

uint32_t ReadLE32(const uint8_t* btData) {
    return static_cast<uint32_t>(btData[0]) | static_cast<uint32_t>(btData[1]) << 8 |
           static_cast<uint32_t>(btData[2]) << 16 | static_cast<uint32_t>(btData[3]) << 24;
}

// The start of the tag (other than ID3v1) that ends where btTail ends, lngEnd in the file; -1
// when none does.
int64_t TagEndingAt(std::span<const uint8_t> btTail, int64_t lngEnd) {
    const uint8_t* btAfter = btTail.data() + btTail.size();
    if (btTail.size() >= kApeFooterLength &&
        std::memcmp(btAfter - kApeFooterLength, kApeMarker, 8) == 0) {
        const int64_t lngSize = ReadLE32(btAfter - kApeFooterLength + 12);
        const bool blnHeader = (ReadLE32(btAfter - kApeFooterLength + 20) & 0x80000000u) != 0;
        if (lngSize < static_cast<int64_t>(kApeFooterLength)) return -1;
        return lngEnd - lngSize - (blnHeader ? static_cast<int64_t>(kApeFooterLength) : 0);
    }
    const size_t lngLyricsTail = kLyricsSizeDigits + kLyricsEndLength;
    if (btTail.size() >= lngLyricsTail &&
        std::memcmp(btAfter - kLyricsEndLength, kLyricsEnd, kLyricsEndLength) == 0) {
        int64_t lngSize = 0;
        for (const uint8_t* p = btAfter - lngLyricsTail; p < btAfter - kLyricsEndLength; ++p) {
            if (*p < '0' || *p > '9') return -1;
            lngSize = lngSize * 10 + (*p - '0');
        }
        if (lngSize < kLyricsBegin) return -1;
        return lngEnd - static_cast<int64_t>(lngLyricsTail) - lngSize;
    }
    const int64_t lngId3v2 = Id3v2TagLength(btTail.subspan(btTail.size() - kId3v2HeaderLength),
                                            Id3v2Reading::Strict, Id3v2Part::Footer);
    return lngId3v2 > 0 ? lngEnd - lngId3v2 : -1;
}

}  // namespace

bool ReadTrailingId3v1(ByteSource& source, std::array<uint8_t, kTrailingTagLength>& btBlock) {
    const int64_t lngSize = source.Size();
    if (lngSize < kTrailingTagLength || source.ReadAt(lngSize - kTrailingTagLength, btBlock.data(),
                                                      btBlock.size()) != btBlock.size()) {
        btBlock.fill(0);
        return false;
    }
    return IsTrailingTag(btBlock);
}

bool FindTrailingTags(ByteSource& source, int64_t lngAudioStart, int64_t& lngTagsStart) {
    lngTagsStart = source.Size();
    bool blnSeenId3v1 = false;
    std::array<uint8_t, kTrailingTagLength> btTail;
    for (int lngRound = 0; lngRound < kMostTags; ++lngRound) {
        // The bytes before the end reached so far, none of the first frame's.
        const int64_t lngEnd = lngTagsStart;
        const int64_t lngFrom = std::max(lngAudioStart, lngEnd - kTrailingTagLength);
        const size_t lngHave = static_cast<size_t>(std::max<int64_t>(0, lngEnd - lngFrom));
        if (lngHave < kId3v2HeaderLength) break;
        if (source.ReadAt(lngFrom, btTail.data(), lngHave) != lngHave) return false;
        const std::span<const uint8_t> bytes(btTail.data(), lngHave);
        int64_t lngStart = -1;
        if (!blnSeenId3v1 && IsTrailingTag(bytes)) {
            lngStart = lngEnd - kTrailingTagLength;
            blnSeenId3v1 = true;
        } else {
            lngStart = TagEndingAt(bytes, lngEnd);
        }
        // The first frame's header stays audio, whatever a tag's size claims.
        if (lngStart < lngAudioStart + 4 || lngStart >= lngEnd) break;
        lngTagsStart = lngStart;
    }
    return true;
}
