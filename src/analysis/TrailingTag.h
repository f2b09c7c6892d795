// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tags at the end of a file, behind its audio, in any order: the ID3v1 block (its last 128
// bytes, "TAG" and 125 bytes of fields), an APE tag (items and a 32-byte footer, with or without
// a 32-byte header before them), a Lyrics3v2 block, and an ID3v2 tag with a footer.

#include <array>
#include <cstdint>
#include <span>

#include "analysis/ByteSource.h"

inline constexpr int32_t kTrailingTagLength = 128;

// Whether btBlock, a file's last kTrailingTagLength bytes, is a trailing "TAG" block.
inline bool IsTrailingTag(std::span<const uint8_t> btBlock) {
    return btBlock.size() == kTrailingTagLength && btBlock[0] == 'T' && btBlock[1] == 'A' &&
           btBlock[2] == 'G';
}

// Reads the last kTrailingTagLength bytes of source into btBlock: true when they are a trailing
// "TAG" block; false when they are not, the source is shorter, or it cannot be read.
bool ReadTrailingId3v1(ByteSource& source, std::array<uint8_t, kTrailingTagLength>& btBlock);

// Where the tags at the end of source start (its size when there are none), for audio whose first
// frame header starts at lngAudioStart: nothing before that header, and nothing inside it, is
// taken for a tag. False when the source cannot be read.
bool FindTrailingTags(ByteSource& source, int64_t lngAudioStart, int64_t& lngTagsStart);
