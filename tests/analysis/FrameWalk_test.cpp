// SPDX-License-Identifier: GPL-3.0-or-later
// The frame walk on synthesised streams, where every frame and byte is known.

#include "analysis/FrameWalk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "support/Mp3Synth.h"

namespace {

using synth::Bytes;
using synth::Concat;
using synth::Header;
using Kind = FormatChange::Kind;

// count frames whose last byte is not zero, so that the first is not hollow.
Bytes Sound(const Header& header, int count) {
    Bytes data;
    for (int i = 0; i < count; ++i) {
        Bytes frame = synth::Frame(header);
        frame.back() = 0x11;
        data.insert(data.end(), frame.begin(), frame.end());
    }
    return data;
}

Header With(int version, int layer, int bitrate, int samplerate, int mode) {
    Header header;
    header.version = version;
    header.layer = layer;
    header.bitrate = bitrate;
    header.samplerate = samplerate;
    header.mode = mode;
    return header;
}

// An APE tag of 64 bytes (header, one 0-byte item area, footer), as taggers append it.
Bytes ApeTag(bool withHeader) {
    Bytes tag;
    const auto block = [](uint32_t flags) {
        Bytes b(32, 0);
        std::memcpy(b.data(), "APETAGEX", 8);
        b[8] = 0xD0;  // version 2000
        b[9] = 0x07;
        b[12] = 32 + 32;  // items and footer
        b[20] = static_cast<uint8_t>(flags);
        b[23] = static_cast<uint8_t>(flags >> 24);
        return b;
    };
    if (withHeader) tag = block(0xA0000000u);
    tag.resize(tag.size() + 32, 'x');  // the items
    const Bytes footer = block(withHeader ? 0x80000000u : 0);
    tag.insert(tag.end(), footer.begin(), footer.end());
    return tag;
}

Bytes Head(const Bytes& data, size_t count) { return Bytes(data.begin(), data.begin() + count); }

bool Walk(const Bytes& data, FrameWalkResult& result, int64_t first = 0) {
    MemorySource source(data);
    return WalkFrames(source, first, result);
}

TEST(FrameWalk, CountsEveryLayerAndVersion) {
    const struct {
        int version, layer, bitrate, samplerate, mode;
        int64_t samplesPerFrame;
        int32_t hz;
    } cases[] = {
        {3, 1, 9, 0, 1, 1152, 44100}, {3, 1, 14, 1, 3, 1152, 48000}, {3, 2, 8, 2, 0, 1152, 32000},
        {3, 3, 14, 0, 1, 384, 44100}, {2, 1, 1, 0, 3, 576, 22050},   {2, 2, 14, 2, 1, 1152, 16000},
        {2, 3, 5, 1, 0, 384, 24000},  {0, 1, 1, 2, 3, 576, 8000},    {0, 2, 3, 0, 1, 1152, 11025},
        {0, 3, 14, 1, 3, 384, 12000},
    };
    for (const auto& c : cases) {
        const Header header = With(c.version, c.layer, c.bitrate, c.samplerate, c.mode);
        FrameWalkResult result;
        ASSERT_TRUE(Walk(Sound(header, 37), result)) << c.version << c.layer;
        EXPECT_EQ(result.lngFrames, 37);
        EXPECT_EQ(result.lngSamples, 37 * c.samplesPerFrame);
        EXPECT_DOUBLE_EQ(result.dblMilliseconds, 37.0 * c.samplesPerFrame / c.hz * 1000);
        EXPECT_EQ(result.lngSamplerate, c.hz);
        EXPECT_EQ(result.lngChannels, c.mode == 3 ? 1 : 2);
        EXPECT_FALSE(result.blnFirstFrameHollow);
        EXPECT_EQ(result.lngSkippedBytes + result.lngTruncatedBytes, 0);
    }
}

TEST(FrameWalk, StreamsAndWhatTheyHold) {
    const Header cd;  // MPEG 1 Layer III, 128 kbps, 44100 Hz: 417 bytes, 1152 samples a frame
    Header padded = cd;
    padded.padding = 1;
    const Header half = With(2, 1, 8, 0, 1);  // MPEG 2, 64 kbps, 22050 Hz: 208 bytes, 576 samples
    const Header mono = With(3, 1, 9, 0, 3);
    Header crc = cd;
    crc.protection = 0;
    Bytes crcFrame = synth::Frame(crc);
    crcFrame[4] = 0x12;  // the CRC
    crcFrame[5] = 0x34;
    const Bytes ten = Sound(cd, 10);
    const double cdMs = 1152 / 44100.0 * 1000;
    const struct {
        const char* name;
        Bytes data;
        int64_t frames, samples, skipped, truncated, audioEnd;
        bool vbr = false;
        int64_t vbrFrames = -1;
        bool hollow = false;
        std::optional<Kind> change = std::nullopt;
        int64_t changeOffset = 0;
        double changeMs = 0;
    } cases[] = {
        {"padding", Concat({Sound(padded, 3), Sound(cd, 2)}), 5, 5760, 0, 0, 3 * 418 + 2 * 417},
        {"Xing frame not audio", Concat({synth::XingFrame(cd, "Xing", 1, 10, 0), ten}), 10, 11520,
         0, 0, 11 * 417, true, 10},
        {"Info frame not audio", Concat({synth::XingFrame(cd, "Info", 3, 9, 4000), ten}), 10, 11520,
         0, 0, 11 * 417, true, 9},
        {"VBRI frame not audio", Concat({synth::VbriFrame(cd, 4170, 12), ten}), 10, 11520, 0, 0,
         11 * 417, true, 12},
        {"Xing without a count", Concat({synth::XingFrame(cd, "Xing", 0, 0, 0), ten}), 10, 11520, 0,
         0, 11 * 417, true},
        {"trailing TAG", Concat({ten, synth::TrailingTag()}), 10, 11520, 0, 0, 4170},
        {"APE tag", Concat({ten, ApeTag(true)}), 10, 11520, 0, 0, 4170},
        {"APE tag, then TAG", Concat({ten, ApeTag(false), synth::TrailingTag()}), 10, 11520, 0, 0,
         4170},
        {"junk between frames", Concat({Sound(cd, 4), Bytes(100, 0xFF), Sound(cd, 6)}), 10, 11520,
         100, 0, 4270},
        {"tag between frames", Concat({Sound(cd, 4), synth::Id3v2Tag(900), Sound(cd, 6)}), 10,
         11520, 900, 0, 5070},
        {"stray mono frame", Concat({Sound(cd, 4), Sound(mono, 1), Sound(cd, 5)}), 10, 11520, 0, 0,
         4170},
        {"stray header then junk", Concat({Sound(cd, 4), Head(Sound(half, 1), 50), Sound(cd, 6)}),
         10, 11520, 50, 0, 4220},
        {"sample rate changes", Concat({Sound(cd, 4), Sound(half, 6)}), 10, 4 * 1152 + 6 * 576, 0,
         0, 4 * 417 + 6 * 208, false, -1, false, Kind::SampleRate, 4 * 417, 4 * cdMs},
        {"channels change", Concat({Sound(cd, 3), Sound(mono, 2)}), 5, 5760, 0, 0, 5 * 417, false,
         -1, false, Kind::Channels, 3 * 417, 3 * cdMs},
        {"rate confirmed by a mono frame",
         Concat({Sound(cd, 3), Sound(half, 1), Sound(With(2, 1, 8, 0, 3), 1), Sound(half, 2)}), 7,
         3 * 1152 + 4 * 576, 0, 0, 3 * 417 + 4 * 208, false, -1, false, Kind::SampleRate, 3 * 417,
         3 * cdMs},
        {"change after junk", Concat({Sound(cd, 3), Bytes(7, 1), Sound(half, 3)}), 6, 5184, 7, 0,
         3 * 417 + 7 + 3 * 208, false, -1, false, Kind::SampleRate, 3 * 417 + 7, 3 * cdMs},
        {"cut last frame", Concat({Sound(cd, 5), Head(Sound(cd, 1), 100)}), 6, 6912, 0, 100, 2185},
        {"TAG inside last frame",
         Concat({Sound(cd, 5), Head(Sound(cd, 1), 100), synth::TrailingTag()}), 6, 6912, 0, 100,
         2185},
        {"two header bytes left", Concat({Sound(cd, 5), Head(Sound(cd, 1), 2)}), 5, 5760, 0, 2,
         2087},
        {"hollow first frame", Concat({synth::Frame(cd), Sound(cd, 3)}), 4, 4608, 0, 0, 1668, false,
         -1, true},
        {"hollow behind a CRC", Concat({crcFrame, Sound(crc, 3)}), 4, 4608, 0, 0, 1668, false, -1,
         true},
    };
    for (const auto& c : cases) {
        FrameWalkResult result;
        ASSERT_TRUE(Walk(c.data, result)) << c.name;
        EXPECT_EQ(result.lngFrames, c.frames) << c.name;
        EXPECT_EQ(result.lngSamples, c.samples) << c.name;
        EXPECT_EQ(result.lngSkippedBytes, c.skipped) << c.name;
        EXPECT_EQ(result.lngTruncatedBytes, c.truncated) << c.name;
        EXPECT_EQ(result.lngAudioEnd, c.audioEnd) << c.name;
        EXPECT_EQ(result.blnHasVbrHeader, c.vbr) << c.name;
        EXPECT_EQ(result.lngVbrHeaderFrames, c.vbrFrames) << c.name;
        EXPECT_EQ(result.blnFirstFrameHollow, c.hollow) << c.name;
        ASSERT_EQ(result.change.has_value(), c.change.has_value()) << c.name;
        if (c.change) {
            EXPECT_EQ(result.change->kind, *c.change) << c.name;
            EXPECT_EQ(result.change->lngOffset, c.changeOffset) << c.name;
            EXPECT_DOUBLE_EQ(result.change->dblMilliseconds, c.changeMs) << c.name;
        }
    }
}

TEST(FrameWalk, RefusesWhatIsNoFrame) {
    Header free;
    free.bitrate = 0;
    Bytes freeFormat(1000, 0x11);
    synth::Put(freeFormat, 0, free.Raw().data(), 4);
    FrameWalkResult result;
    EXPECT_FALSE(Walk(freeFormat, result));
    EXPECT_FALSE(Walk(Bytes(1000, 0), result));
    EXPECT_FALSE(Walk(Sound(Header{}, 3), result, 5000));
    EXPECT_FALSE(Walk(Sound(Header{}, 3), result, -1));
    EXPECT_EQ(result.lngFrames, 0);
}

// A source of any size: zeros, except for the pieces placed in it.
class PiecesSource : public ByteSource {
  public:
    explicit PiecesSource(int64_t size) : size_(size) {}
    void Place(int64_t offset, const Bytes& bytes) { pieces_.push_back({offset, bytes}); }
    int64_t Size() const override { return size_; }
    size_t ReadAt(int64_t offset, uint8_t* dest, size_t length) override {
        length =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), size_ - offset));
        std::memset(dest, 0, length);
        for (const auto& [at, bytes] : pieces_) {
            const int64_t from = std::max(at, offset);
            const int64_t to = std::min(at + static_cast<int64_t>(bytes.size()),
                                        offset + static_cast<int64_t>(length));
            if (from < to) {
                std::memcpy(dest + (from - offset), bytes.data() + (from - at),
                            static_cast<size_t>(to - from));
            }
        }
        return failAt_ >= 0 && offset + static_cast<int64_t>(length) > failAt_ ? 0 : length;
    }
    int64_t failAt_ = -1;  // reads that reach this offset fail

  private:
    int64_t size_;
    std::vector<std::pair<int64_t, Bytes>> pieces_;
};

TEST(FrameWalk, StreamsBeyondTwoGibibytes) {
    // Frames, then twelve tags of 256 MiB, then frames in another format past 3 GiB.
    constexpr int64_t kTag = int64_t{1} << 28;
    const int64_t behind = 4170 + 12 * kTag;
    PiecesSource source(behind + 6 * 208 + 128);
    source.Place(0, Sound(Header{}, 10));
    for (int64_t i = 0; i < 12; ++i) {
        source.Place(4170 + i * kTag, synth::Id3v2Header(4, 0, {0x7F, 0x7F, 0x7F, 0x76}));
    }
    source.Place(behind, Concat({Sound(With(2, 1, 8, 0, 1), 6), synth::TrailingTag()}));
    FrameWalkResult result;
    ASSERT_TRUE(WalkFrames(source, 0, result));
    EXPECT_EQ(result.lngFrames, 16);
    EXPECT_EQ(result.lngSkippedBytes, 12 * kTag);
    EXPECT_EQ(result.lngAudioEnd, behind + 6 * 208);
    ASSERT_TRUE(result.change.has_value());
    EXPECT_EQ(result.change->lngOffset, behind);

    source.failAt_ = behind;  // a read error is a failure, not a shorter stream
    EXPECT_FALSE(WalkFrames(source, 0, result));
}

}  // namespace
