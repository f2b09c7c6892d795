// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The four bytes of an MPEG audio frame header, taken from a run of bytes at an offset.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

// The four bytes at lngOffset of btData; zero where btData ends before them, so that a header cut
// short by the end of the file is never valid.
inline std::array<uint8_t, 4> HeaderBytesAt(std::span<const uint8_t> btData, size_t lngOffset = 0) {
    std::array<uint8_t, 4> bytHeader{};
    if (lngOffset < btData.size()) {
        const size_t lngHave = btData.size() - lngOffset;
        if (lngHave >= 4) {
            std::memcpy(bytHeader.data(), btData.data() + lngOffset, 4);
        } else {
            std::memcpy(bytHeader.data(), btData.data() + lngOffset, lngHave);
        }
    }
    return bytHeader;
}
