// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The trailing ID3v1 block: a file's last 128 bytes, "TAG" and 125 bytes of fields.

#include <cstdint>
#include <span>

inline constexpr int32_t kTrailingTagLength = 128;

// Whether btBlock, a file's last kTrailingTagLength bytes, is a trailing "TAG" block.
inline bool IsTrailingTag(std::span<const uint8_t> btBlock) {
    return btBlock.size() == kTrailingTagLength && btBlock[0] == 'T' && btBlock[1] == 'A' &&
           btBlock[2] == 'G';
}
