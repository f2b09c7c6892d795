// SPDX-License-Identifier: GPL-3.0-or-later
// The readers of the tags around the audio: an ID3v2 tag's length as the search and as the walk
// read it, and a file's trailing ID3v1 block.

#include <gtest/gtest.h>

#include "ErrorOf.h"
#include "analysis/Id3v2Tag.h"
#include "analysis/TrailingTag.h"
#include "support/Mp3Synth.h"

namespace {

using synth::Bytes;

TEST(Id3v2Tag, LengthAsTheSearchAndAsTheWalkReadIt) {
    const struct {
        const char* name;
        Bytes bytes;
        int64_t searched;  // SynchsafeOrPlain
        int64_t walked;    // Strict
    } cases[] = {
        {"synchsafe 1014", synth::Id3v2Header(3, 0, {0, 0, 7, 0x76}), 1024, 1024},
        {"version 4 with a footer", synth::Id3v2Header(4, 16, {0, 0, 7, 0x76}), 1034, 1034},
        {"a footer's flag before version 4", synth::Id3v2Header(3, 16, {0, 0, 7, 0x76}), 1024,
         1024},
        {"a size byte of 128: plain big-endian", synth::Id3v2Header(3, 0, {0, 0, 7, 0x80}), 1930,
         0},
        {"version 255", synth::Id3v2Header(255, 0, {0, 0, 0, 1}), 11, 0},
        {"no marker", Bytes{'I', 'D', '4', 3, 0, 0, 0, 0, 0, 1}, 0, 0},
        {"cut short", Bytes{'I', 'D', '3', 3, 0, 0, 0, 0, 0}, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Id3v2TagLength(c.bytes, Id3v2Reading::SynchsafeOrPlain), c.searched) << c.name;
        EXPECT_EQ(Id3v2TagLength(c.bytes, Id3v2Reading::Strict), c.walked) << c.name;
    }
    // A plain size of 2^31 or more does not fit; read strictly it is no tag.
    const Bytes huge = synth::Id3v2Header(3, 0, {0x80, 0, 0, 0});
    EXPECT_EQ(ErrorOf([&] { Id3v2TagLength(huge, Id3v2Reading::SynchsafeOrPlain); }),
              AnalysisError::Kind::Overflow);
    EXPECT_EQ(Id3v2TagLength(huge, Id3v2Reading::Strict), 0);
    // A footer has the marker backwards; a header is no footer.
    const Bytes footer = {'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0, 20};
    EXPECT_EQ(Id3v2TagLength(footer, Id3v2Reading::Strict, Id3v2Part::Footer), 40);
    EXPECT_EQ(Id3v2TagLength(footer, Id3v2Reading::Strict), 0);
}

// Bytes whose reads fail.
struct BrokenSource : ByteSource {
    int64_t Size() const override { return 1000; }
    size_t ReadAt(int64_t, uint8_t*, size_t) override { return 0; }
};

TEST(TrailingTag, ReadsAFilesLastBlock) {
    Bytes tag = synth::TrailingTag();
    synth::Put(tag, 3, std::string("Title"));
    const Bytes tagged = synth::Concat({synth::Frames(synth::Header{}, 2), tag});
    std::array<uint8_t, kTrailingTagLength> block;
    MemorySource source(tagged);
    ASSERT_TRUE(ReadTrailingId3v1(source, block));
    EXPECT_EQ(Bytes(block.begin(), block.end()), tag);

    const Bytes plain = synth::Frames(synth::Header{}, 2);
    const Bytes shortTag(tag.begin(), tag.end() - 1);
    for (const Bytes& data : {plain, shortTag}) {
        MemorySource other(data);
        EXPECT_FALSE(ReadTrailingId3v1(other, block));
    }
    BrokenSource broken;
    EXPECT_FALSE(ReadTrailingId3v1(broken, block));
}

}  // namespace
