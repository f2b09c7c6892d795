// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bitstream: pulls unsigned bit fields of any width out of a short run of bytes, most significant
// bit first. Used to take the four bytes of an MPEG audio frame header apart. The reader keeps its
// own copy of the bytes, never consumes a bit twice and never goes backwards. Reading past the
// last byte is an index-out-of-range error and an overflowing shift an overflow error, both
// raised as AnalysisError.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

class Bitstream {
  public:
    Bitstream() = default;

    // Copies btData(lngOffset) to btData(lngOffset + lngLen - 1), where btData's first element
    // has the index lngLowerBound, and starts reading at the first copied byte. Fails (index out
    // of range) when that run is not wholly inside btData or lngLen is below 1.
    void SetData(std::span<const uint8_t> btData, int32_t lngOffset, int32_t lngLen,
                 int32_t lngLowerBound = 0);

    // Moves the read point forward by lngBits without reading. A skip that crosses the end of the
    // current byte carries into the following bytes. A negative count is refused.
    void SkipBits(int32_t lngBits);

    // Returns the next lngBits bits (0 or more) as a non-negative number and advances past them.
    int32_t ReadBits(int32_t lngBits);

    int32_t BytePos() const { return lngBytePos; }
    int32_t BitsLeft() const { return lngBitsLeft; }

  private:
    // 2 to the power i for i = 0 to 30; entry 31 holds only the sign bit. Shifts are done as
    // multiplication and division by these entries, so that an overflowing shift is detected.
    static constexpr std::array<int32_t, 32> lngPow2 = [] {
        std::array<int32_t, 32> table{};
        int64_t value = 1;
        for (int i = 0; i < 31; ++i) {
            table[i] = static_cast<int32_t>(value);
            value *= 2;
        }
        table[31] = INT32_MIN;
        return table;
    }();
    static_assert(lngPow2[0] == 1 && lngPow2[8] == 256 && lngPow2[30] == 1073741824);
    static_assert(lngPow2[31] == INT32_MIN);

    static int32_t ShiftLeft(int32_t lngValue, uint8_t bytBits);
    static int32_t ShiftRight(int32_t lngValue, uint8_t bytBits);
    static uint8_t ToBitCount(int32_t lngBits);
    int32_t Byte(int32_t lngIndex) const;
    static int32_t LowBits(int32_t lngByte, int32_t lngCount);

    std::vector<uint8_t> btBuffer;
    int32_t lngBytePos = 0;
    int32_t lngBitsLeft = 8;
};
