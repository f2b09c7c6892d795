// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Bitstream.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

#include "ErrorOf.h"
#include "analysis/AnalysisError.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(Bitstream, FieldsSpanningBytesThenReadingPastTheEnd) {
    const Bytes data = {0xAB, 0xCD};
    Bitstream bits;
    bits.SetData(data, 0, 2);
    EXPECT_EQ(bits.ReadBits(4), 10);
    EXPECT_EQ(bits.ReadBits(8), 188);
    EXPECT_EQ(bits.ReadBits(4), 13);
    EXPECT_EQ(ErrorOf([&] { bits.ReadBits(1); }), AnalysisError::Kind::IndexOutOfRange);
}

TEST(Bitstream, FrameHeaderFieldsUseUpExactlyFourBytes) {
    const Bytes data = {0xFF, 0xFB, 0x90, 0x64};
    Bitstream bits;
    bits.SetData(data, 0, 4);
    bits.SkipBits(11);
    EXPECT_EQ(bits.BytePos(), 1);
    EXPECT_EQ(bits.BitsLeft(), 5);
    const int widths[] = {2, 2, 1, 4, 2, 1, 1, 2, 2, 1, 1, 2};
    const int expected[] = {3, 1, 1, 9, 0, 0, 0, 1, 2, 0, 1, 0};
    for (size_t i = 0; i < std::size(widths); ++i) {
        EXPECT_EQ(bits.ReadBits(widths[i]), expected[i]) << "field " << i;
    }
    EXPECT_EQ(bits.BytePos(), 4);
    EXPECT_EQ(bits.BitsLeft(), 8);
}

TEST(Bitstream, ZeroWidthReadChangesNothing) {
    const Bytes data = {0xAB};
    Bitstream bits;
    bits.SetData(data, 0, 1);
    bits.ReadBits(3);
    EXPECT_EQ(bits.ReadBits(0), 0);
    EXPECT_EQ(bits.BytePos(), 0);
    EXPECT_EQ(bits.BitsLeft(), 5);
}

TEST(Bitstream, ReadMayEndExactlyAtTheEndOfTheData) {
    const Bytes data = {0x5A};
    Bitstream bits;
    bits.SetData(data, 0, 1);
    EXPECT_EQ(bits.ReadBits(8), 90);
    EXPECT_EQ(bits.BytePos(), 1);
    EXPECT_EQ(bits.BitsLeft(), 8);
}

// SetData takes lngLen bytes from lngOffset, an index in the array's own index space (its first
// index being lngLowerBound), and nothing outside the array.
TEST(Bitstream, SetDataTakesTheBytesAtTheArraysOwnIndices) {
    const Bytes data = {0x00, 0x11, 0x22, 0x33};
    const struct {
        int32_t offset;
        int32_t len;
        int32_t lowerBound;
        int32_t value;  // the lngLen bytes read as one number; -1: refused
    } cases[] = {
        {1, 2, 0, 0x1122}, {3, 1, 0, 0x33},
        {6, 2, 5, 0x1122},  // the same bytes as an array whose first index is 5
        {8, 1, 5, 0x33},    // its last index
        {3, 1, 5, -1},      // before its first index, though inside the bytes counted from 0
        {9, 1, 5, -1},     {3, 2, 0, -1},  // runs past the end
        {-1, 2, 0, -1},    {0, 0, 0, -1},
    };
    for (const auto& c : cases) {
        Bitstream bits;
        std::optional<AnalysisError::Kind> refused;
        try {
            bits.SetData(data, c.offset, c.len, c.lowerBound);
        } catch (const AnalysisError& error) {
            refused = error.kind();
        }
        if (c.value < 0 || refused) {
            EXPECT_EQ(refused, c.value < 0 ? std::optional(AnalysisError::Kind::IndexOutOfRange)
                                           : std::nullopt)
                << "offset " << c.offset << ", lower bound " << c.lowerBound;
            continue;
        }
        EXPECT_EQ(bits.ReadBits(8 * c.len), c.value) << c.offset;
        // Only those bytes were taken.
        EXPECT_EQ(ErrorOf([&] { bits.ReadBits(1); }), AnalysisError::Kind::IndexOutOfRange);
    }
}

TEST(Bitstream, SetDataStartsOverOnACopy) {
    Bytes data = {0xF0, 0x0F};
    Bitstream bits;
    bits.SetData(data, 0, 2);
    bits.ReadBits(12);
    bits.SetData(data, 0, 2);
    data[0] = 0;  // the caller's buffer may be reused at once
    EXPECT_EQ(bits.ReadBits(8), 0xF0);
}

TEST(Bitstream, ThirtyTwoBitReadOverflowsOnlyWhenItsFirstBitIsSet) {
    const Bytes high = {0x80, 0, 0, 0};
    const Bytes low = {0x7F, 0xFF, 0xFF, 0xFF};
    Bitstream bits;
    bits.SetData(high, 0, 4);
    EXPECT_EQ(ErrorOf([&] { bits.ReadBits(32); }), AnalysisError::Kind::Overflow);
    bits.SetData(low, 0, 4);
    EXPECT_EQ(bits.ReadBits(32), 2147483647);
    const Bytes ones = {0xFF, 0xFF, 0xFF, 0xFF};
    bits.SetData(ones, 0, 4);
    EXPECT_EQ(bits.ReadBits(31), 2147483647);
}

TEST(Bitstream, MissingLaterByteLeavesTheBytesConsumedBeforeIt) {
    const Bytes data = {0xAB};
    Bitstream bits;
    bits.SetData(data, 0, 1);
    bits.ReadBits(4);
    EXPECT_EQ(ErrorOf([&] { bits.ReadBits(12); }), AnalysisError::Kind::IndexOutOfRange);
    EXPECT_EQ(bits.BytePos(), 1);
    EXPECT_EQ(bits.BitsLeft(), 8);
}

TEST(Bitstream, SkipCarriesIntoTheNextByte) {
    const Bytes data = {0b10110011, 0b01011100};
    Bitstream bits;
    bits.SetData(data, 0, 2);
    bits.SkipBits(5);
    bits.SkipBits(5);  // crosses the byte boundary
    EXPECT_EQ(bits.BytePos(), 1);
    EXPECT_EQ(bits.BitsLeft(), 6);
    EXPECT_EQ(bits.ReadBits(6), 0b011100);
    EXPECT_EQ(ErrorOf([&] { bits.SkipBits(-1); }), AnalysisError::Kind::IndexOutOfRange);
    EXPECT_EQ(ErrorOf([&] { bits.ReadBits(-1); }), AnalysisError::Kind::IndexOutOfRange);
}

TEST(Bitstream, LongReadOfZeroBytesDoesNotOverflow) {
    const Bytes data(6, 0);
    Bitstream bits;
    bits.SetData(data, 0, 6);
    EXPECT_EQ(bits.ReadBits(40), 0);
    EXPECT_EQ(bits.BytePos(), 5);
}

}  // namespace
