// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/VbrHeaders.h"

#include <gtest/gtest.h>

#include <functional>

#include "ErrorOf.h"
#include "analysis/AnalysisError.h"
#include "support/Mp3Synth.h"

namespace {

using synth::Bytes;

const synth::Header kStereo1{};                                       // Xing offset 36, 417 bytes
const synth::Header kMono1{.mode = 3};                                // Xing offset 21
const synth::Header kStereo2{.version = 2, .bitrate = 8, .mode = 0};  // Xing offset 21

TEST(VbrHeaders, XingWithEveryFieldAtItsOffset) {
    Bytes frame = synth::XingFrame(kStereo1, "Xing", 15, 9000, 4000000, 57);
    VbrHeaders found;
    FindVbrHeader(frame, 36, found);
    EXPECT_EQ(found.VbrKind, VbrHeaderKind::Xing);
    EXPECT_FALSE(found.HasInfoHeader);
    EXPECT_EQ(found.Xing.lngFlags, 15);
    EXPECT_EQ(ReadLongBE(frame, 44), 9000);
    EXPECT_EQ(found.Xing.lngFrames, 9000);
    EXPECT_EQ(ReadLongBE(frame, 48), 4000000);
    EXPECT_EQ(found.Xing.lngBytes, 4000000);
    EXPECT_EQ(found.Xing.bytToc[0], 0);
    EXPECT_EQ(frame[52 + 99], 99);
    EXPECT_EQ(found.Xing.bytToc[99], 99);
    EXPECT_EQ(ReadLongBE(frame, 152), 57);
    EXPECT_EQ(found.Xing.lngQuality, 57);
    EXPECT_EQ(found.Info.lngFlags, 0);
}

TEST(VbrHeaders, OptionalFieldsFollowEachOtherWithoutGaps) {
    const struct {
        uint32_t flags;
        int frames;
        int bytes;
        int quality;
    } cases[] = {
        {1, 9000, 0, 0}, {2, 0, 4000000, 0}, {3, 9000, 4000000, 0},
        {8, 0, 0, 57},   {9, 9000, 0, 57},   {10, 0, 4000000, 57},
        {12, 0, 0, 57},  {0xF0, 0, 0, 0},  // unknown flag bits are ignored
    };
    for (const auto& c : cases) {
        const Bytes frame = synth::XingFrame(kStereo1, "Xing", c.flags, 9000, 4000000, 57);
        XingHeader header;
        ASSERT_TRUE(ParseXing(frame, 36, header));
        EXPECT_EQ(header.lngFlags, static_cast<int>(c.flags));
        EXPECT_EQ(header.lngFrames, c.frames) << "flags " << c.flags;
        EXPECT_EQ(header.lngBytes, c.bytes) << "flags " << c.flags;
        EXPECT_EQ(header.lngQuality, c.quality) << "flags " << c.flags;
    }
}

TEST(VbrHeaders, InfoIsRecordedWithoutMakingTheFileVariable) {
    const Bytes frame = synth::XingFrame(kMono1, "Info", 3, 100, 41700);
    VbrHeaders found;
    FindVbrHeader(frame, 21, found);
    EXPECT_EQ(found.VbrKind, VbrHeaderKind::None);
    EXPECT_TRUE(found.HasInfoHeader);
    EXPECT_EQ(found.Info.lngFrames, 100);
    EXPECT_EQ(found.Info.lngBytes, 41700);
    EXPECT_EQ(found.Xing.lngFlags, 0);
}

TEST(VbrHeaders, NamesAreCaseSensitiveAndVbriIsLookedForAt36) {
    // Lower-case "xing" at the Xing offset of a mono frame, "VBRI" at 36.
    Bytes frame = synth::VbriFrame(kMono1, 4000000, 9000);
    synth::Put(frame, 21, std::string("xing"));
    VbrHeaders found;
    FindVbrHeader(frame, 21, found);
    EXPECT_EQ(found.VbrKind, VbrHeaderKind::Vbri);
    EXPECT_EQ(found.Vbri.lngBytes, 4000000);
    EXPECT_EQ(found.Vbri.lngFrames, 9000);

    // A two-channel MPEG 1 frame has its Xing offset at 36, where "VBRI" is found instead.
    const Bytes vbri = synth::VbriFrame(kStereo1, 4000000, 9000);
    VbrHeaders second;
    FindVbrHeader(vbri, 36, second);
    EXPECT_EQ(second.VbrKind, VbrHeaderKind::Vbri);

    // "Xing" wins over a "VBRI" that is present as well.
    Bytes both = synth::VbriFrame(kMono1, 4000000, 9000);
    synth::Put(both, 21, std::string("Xing"));
    VbrHeaders third;
    FindVbrHeader(both, 21, third);
    EXPECT_EQ(third.VbrKind, VbrHeaderKind::Xing);

    VbrHeaders none;
    FindVbrHeader(synth::Frame(kStereo1), 36, none);
    EXPECT_EQ(none.VbrKind, VbrHeaderKind::None);
    EXPECT_FALSE(none.HasInfoHeader);
}

TEST(VbrHeaders, VbriFieldsAndSeekTable) {
    Bytes frame = synth::Frame(kStereo1);
    synth::Put(frame, 36, std::string("VBRI"));
    const Bytes fields = {0x00, 0x01, 0x04, 0xD2, 0x00, 0x4B, 0x00, 0x3D, 0x09, 0x00,
                          0x00, 0x00, 0x23, 0x28, 0x00, 0x02, 0x00, 0x03, 0x00, 0x02,
                          0x00, 0x10, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00};
    synth::Put(frame, 40, fields.data(), fields.size());
    VbriHeader header;
    ASSERT_TRUE(ParseVBRI(frame, 36, header));
    EXPECT_EQ(header.lngVersion, 1);
    EXPECT_EQ(header.sngDelay, 1234.0f);
    EXPECT_EQ(header.lngQuality, 75);
    EXPECT_EQ(header.lngBytes, 4000000);
    EXPECT_EQ(header.lngFrames, 9000);
    EXPECT_EQ(header.lngTocEntries, 2);
    EXPECT_EQ(header.lngTocScale, 3);
    EXPECT_EQ(header.lngTocEntrySize, 2);
    EXPECT_EQ(header.lngTocFramesPerEntry, 16);
    // Entries + 1 values are read and scaled; the last slot stays 0.
    EXPECT_EQ(header.lngToc, (std::vector<int32_t>{256 * 3, 512 * 3, 768 * 3, 0}));
}

TEST(VbrHeaders, BigEndianReads) {
    const Bytes data = {0xFF, 0xFF, 0xFF, 0xFE, 0x80, 0x00, 0x00, 0x00, 0x12, 0x34};
    EXPECT_EQ(ReadLongBE(data, 0), -2);
    EXPECT_EQ(ReadLongBE(data, 4), INT32_MIN);
    int32_t lngPos = 8;
    EXPECT_EQ(ReadBigEndian(data, lngPos, 2), 0x1234);
    EXPECT_EQ(lngPos, 10);
    lngPos = 0;
    EXPECT_EQ(ReadBigEndian(data, lngPos, 0), 0);
    EXPECT_EQ(lngPos, 0);
    lngPos = 5;
    EXPECT_EQ(ReadBigEndian(data, lngPos, 3), 0);
    // A 4-byte unsigned value of 2^31 or more does not fit.
    lngPos = 4;
    EXPECT_EQ(ErrorOf([&] { ReadBigEndian(data, lngPos, 4); }), AnalysisError::Kind::Overflow);
    EXPECT_EQ(BytesToString(data, 8, 2), "\x12\x34");
}

TEST(VbrHeaders, FieldsBeyondTheFrameAreOutOfRange) {
    const Bytes data(12, 0);
    int32_t lngPos = 10;
    EXPECT_EQ(ErrorOf([&] { ReadLongBE(data, 9); }), AnalysisError::Kind::IndexOutOfRange);
    EXPECT_EQ(ErrorOf([&] { ReadLongBE(data, -1); }), AnalysisError::Kind::IndexOutOfRange);
    EXPECT_EQ(ErrorOf([&] { ReadBigEndian(data, lngPos, 4); }),
              AnalysisError::Kind::IndexOutOfRange);
    EXPECT_EQ(ErrorOf([&] { BytesToString(data, 10, 4); }), AnalysisError::Kind::IndexOutOfRange);
}

TEST(VbrHeaders, AFoundHeaderWhoseFieldsRunPastAShortFrameIsMalformed) {
    // MPEG 2 Layer III, 8 kbps, 22050 Hz, two channels: 26-byte frames, Xing offset 21. The name
    // fits (bytes 21 to 24) but the flags do not.
    const synth::Header tiny{.version = 2, .bitrate = 1, .mode = 0};
    ASSERT_EQ(tiny.Length(), 26);
    Bytes frame = synth::Frame(tiny);
    synth::Put(frame, 21, std::string("Xing"));
    VbrHeaders found;
    EXPECT_EQ(ErrorOf([&] { FindVbrHeader(frame, 21, found); }),
              AnalysisError::Kind::IndexOutOfRange);

    // A seek table that does not fit in a 208-byte frame.
    const Bytes toc = synth::XingFrame(kStereo2, "Xing", 4, 0, 0);
    ASSERT_EQ(toc.size(), 208u);
    VbrHeaders withToc;
    FindVbrHeader(toc, 21, withToc);  // 29 + 100 bytes fit
    Bytes shortToc(toc.begin(), toc.begin() + 120);
    EXPECT_EQ(ErrorOf([&] { FindVbrHeader(shortToc, 21, withToc); }),
              AnalysisError::Kind::IndexOutOfRange);

    // A "VBRI" seek table claiming more entries than the frame holds.
    Bytes vbri = synth::VbriFrame(kStereo1, 4000000, 9000);
    synth::PutBE16(vbri, 54, 500);
    VbrHeaders withVbri;
    EXPECT_EQ(ErrorOf([&] { FindVbrHeader(vbri, 36, withVbri); }),
              AnalysisError::Kind::IndexOutOfRange);
}

TEST(VbrHeaders, ANameThatDoesNotFitInTheFrameIsSimplyAbsent) {
    // 24-byte frames (MPEG 2 Layer III, 8 kbps, 24000 Hz): not even the name fits at 21.
    const synth::Header tiniest{.version = 2, .bitrate = 1, .samplerate = 1, .mode = 0};
    ASSERT_EQ(tiniest.Length(), 24);
    VbrHeaders found;
    FindVbrHeader(synth::Frame(tiniest), 21, found);
    EXPECT_EQ(found.VbrKind, VbrHeaderKind::None);
    // 36-byte frames (16000 Hz): "Xing" at 21 is absent and "VBRI" at 36 cannot fit.
    const synth::Header small{.version = 2, .bitrate = 1, .samplerate = 2, .mode = 0};
    ASSERT_EQ(small.Length(), 36);
    FindVbrHeader(synth::Frame(small), 21, found);
    EXPECT_EQ(found.VbrKind, VbrHeaderKind::None);
    EXPECT_FALSE(found.HasInfoHeader);
}

TEST(VbrHeaders, ScaledSeekTableEntryThatDoesNotFitOverflows) {
    Bytes vbri = synth::VbriFrame(kStereo1, 4000000, 9000);
    synth::PutBE16(vbri, 54, 0);       // one entry
    synth::PutBE16(vbri, 56, 0x8000);  // scale 32768
    synth::PutBE16(vbri, 58, 4);       // four-byte entries
    synth::PutBE32(vbri, 62, 0x00010000);
    VbrHeaders found;
    EXPECT_EQ(ErrorOf([&] { FindVbrHeader(vbri, 36, found); }), AnalysisError::Kind::Overflow);
    // A four-byte count of 2^31 or more.
    Bytes big = synth::VbriFrame(kStereo1, 0x80000000u, 9000);
    VbrHeaders second;
    EXPECT_EQ(ErrorOf([&] { FindVbrHeader(big, 36, second); }), AnalysisError::Kind::Overflow);
}

}  // namespace
