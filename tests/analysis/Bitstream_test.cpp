// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Bitstream.h"

#include <gtest/gtest.h>

#include <functional>
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

TEST(Bitstream, OffsetAndLowerBoundUseTheArraysOwnIndices) {
    const Bytes data = {0x00, 0x11, 0x22, 0x33};
    Bitstream bits;
    bits.SetData(data, 1, 2);
    EXPECT_EQ(bits.ReadBits(16), 4386);
    // The same bytes as an array whose first index is 5: index 6 is the byte 11.
    bits.SetData(data, 6, 2, 5);
    EXPECT_EQ(bits.ReadBits(16), 4386);
    EXPECT_EQ(ErrorOf([&] { bits.ReadBits(1); }), AnalysisError::Kind::IndexOutOfRange);
}

TEST(Bitstream, SetDataOutsideTheArrayIsRefused) {
    const Bytes data = {1, 2, 3, 4};
    Bitstream bits;
    EXPECT_EQ(ErrorOf([&] { bits.SetData(data, 3, 2); }), AnalysisError::Kind::IndexOutOfRange);
    EXPECT_EQ(ErrorOf([&] { bits.SetData(data, -1, 2); }), AnalysisError::Kind::IndexOutOfRange);
    EXPECT_EQ(ErrorOf([&] { bits.SetData(data, 4, 1, 5); }), AnalysisError::Kind::IndexOutOfRange);
    EXPECT_EQ(ErrorOf([&] { bits.SetData(data, 0, 0); }), AnalysisError::Kind::IndexOutOfRange);
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
