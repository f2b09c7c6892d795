// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Bitstream.h"

#include <algorithm>

#include "analysis/AnalysisError.h"

void Bitstream::SetData(std::span<const uint8_t> btData, int32_t lngOffset, int32_t lngLen,
                        int32_t lngLowerBound) {
    const int64_t lngFirst = static_cast<int64_t>(lngOffset) - lngLowerBound;
    if (lngLen < 1 || lngFirst < 0 || lngFirst + lngLen > static_cast<int64_t>(btData.size())) {
        ThrowOutOfRange();
    }
    btBuffer.assign(btData.begin() + lngFirst, btData.begin() + lngFirst + lngLen);
    lngBytePos = 0;
    lngBitsLeft = 8;
}

void Bitstream::SkipBits(int32_t lngBits) {
    if (lngBits < 0) ThrowOutOfRange();
    // Bits already consumed of the current byte plus the skip, split into whole bytes and the
    // bits consumed of the byte the skip ends in.
    const int64_t lngConsumed = static_cast<int64_t>(8 - lngBitsLeft) + lngBits;
    const int64_t lngNewPos = lngBytePos + lngConsumed / 8;
    if (lngNewPos > INT32_MAX) ThrowOverflow();
    lngBytePos = static_cast<int32_t>(lngNewPos);
    lngBitsLeft = 8 - static_cast<int32_t>(lngConsumed % 8);
}

int32_t Bitstream::ReadBits(int32_t lngBits) {
    if (lngBits < 0) ThrowOutOfRange();
    if (lngBits < lngBitsLeft) {
        // The field lies wholly inside the current byte.
        const int32_t lngValue = LowBits(Byte(lngBytePos), lngBitsLeft);
        const int32_t lngResult = ShiftRight(lngValue, ToBitCount(lngBitsLeft - lngBits));
        lngBitsLeft -= lngBits;
        return lngResult;
    }
    // The field ends at or beyond the end of the current byte.
    int32_t lngAccumulator = LowBits(Byte(lngBytePos), lngBitsLeft);
    int32_t lngRemaining = lngBits - lngBitsLeft;
    lngBitsLeft = 8;
    lngBytePos = CheckedAdd(lngBytePos, 1);
    while (lngRemaining >= 8) {
        lngAccumulator = ShiftLeft(lngAccumulator, 8) | Byte(lngBytePos);
        lngBytePos = CheckedAdd(lngBytePos, 1);
        lngRemaining -= 8;
    }
    if (lngRemaining > 0) {
        const int32_t lngHigh = ShiftLeft(lngAccumulator, ToBitCount(lngRemaining));
        lngAccumulator = lngHigh | ShiftRight(Byte(lngBytePos), ToBitCount(8 - lngRemaining));
        lngBitsLeft = 8 - lngRemaining;
    }
    return lngAccumulator;
}

int32_t Bitstream::ShiftLeft(int32_t lngValue, uint8_t bytBits) {
    if (bytBits > 31) ThrowOutOfRange();
    return CheckedMul(lngValue, lngPow2[bytBits]);
}

int32_t Bitstream::ShiftRight(int32_t lngValue, uint8_t bytBits) {
    if (bytBits > 31) ThrowOutOfRange();
    return lngValue / lngPow2[bytBits];  // integer division truncates toward zero
}

uint8_t Bitstream::ToBitCount(int32_t lngBits) {
    if (lngBits < 0 || lngBits > 255) ThrowOverflow();
    return static_cast<uint8_t>(lngBits);
}

int32_t Bitstream::Byte(int32_t lngIndex) const {
    if (lngIndex < 0 || static_cast<size_t>(lngIndex) >= btBuffer.size()) ThrowOutOfRange();
    return btBuffer[static_cast<size_t>(lngIndex)];
}

int32_t Bitstream::LowBits(int32_t lngByte, int32_t lngCount) {
    if (lngCount < 0 || lngCount > 31) ThrowOutOfRange();
    return lngByte & (lngPow2[static_cast<size_t>(lngCount)] - 1);
}
