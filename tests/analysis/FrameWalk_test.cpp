// SPDX-License-Identifier: GPL-3.0-or-later
// The frame walk on synthesised streams, where every frame and byte is known.

#include "analysis/FrameWalk.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "support/Mp3Synth.h"

namespace {

using synth::Bytes;
using synth::Concat;
using synth::Header;

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

Bytes Head(const Bytes& data, size_t count) { return Bytes(data.begin(), data.begin() + count); }

// An APE tag: 32 bytes of items and the footer (tag size 64), with its 32-byte header or without.
Bytes ApeTag(bool withHeader) {
    Bytes block(32, 0);
    std::memcpy(block.data(), "APETAGEX\xD0\x07\0\0\x40", 13);
    block[23] = withHeader ? 0x80 : 0;  // the flag: the tag has a header
    return Concat({withHeader ? block : Bytes(), Bytes(32, 'x'), block});
}

// A format change in words: "the sample rate changes at 1668 after 104.490 ms".
std::string ChangeWords(const FormatChange& change) {
    char text[128];
    std::snprintf(text, sizeof text, "the %s changes at %lld after %.3f ms",
                  FormatChangeName(change.kind), static_cast<long long>(change.lngOffset),
                  change.dblMilliseconds);
    return text;
}

// What the walk found, in words; the parts that are zero or absent left out, and the frames in
// the first format too when some are not.
std::string Walked(const Bytes& data, int64_t first = 0) {
    MemorySource source(data);
    FrameWalkResult r;
    if (!WalkFrames(source, first, r)) return "refused";
    char text[256];
    std::snprintf(text, sizeof text, "%lld frames, %lld samples, end %lld",
                  static_cast<long long>(r.lngFrames), static_cast<long long>(r.lngSamples),
                  static_cast<long long>(r.lngAudioEnd));
    std::string words = text;
    if (r.lngSkippedBytes) words += ", skipped " + std::to_string(r.lngSkippedBytes);
    if (r.lngTruncatedBytes) words += ", cut " + std::to_string(r.lngTruncatedBytes);
    if (r.blnHasVbrHeader) words += ", vbr " + std::to_string(r.lngVbrHeaderFrames);
    if (r.blnFirstFrameHollow) words += ", hollow";
    if (r.change) words += ", " + ChangeWords(*r.change);
    if (r.lngMainFrames != r.lngFrames) {
        std::snprintf(text, sizeof text, "; main %lld (%.3f ms)",
                      static_cast<long long>(r.lngMainFrames), r.dblMainMilliseconds);
        words += text;
    }
    if (r.lngOtherFrames) {
        std::snprintf(text, sizeof text, ", other %lld (%.3f ms)",
                      static_cast<long long>(r.lngOtherFrames), r.dblOtherMilliseconds);
        words += text;
    }
    if (r.lngSeams) words += ", seams " + std::to_string(r.lngSeams);
    if (r.lngResyncs) words += ", resyncs " + std::to_string(r.lngResyncs);
    if (r.firstForeign) words += ", first foreign: " + ChangeWords(*r.firstForeign);
    return words;
}

TEST(FrameWalk, CountsEveryLayerAndVersion) {
    const struct {
        Header header;
        int64_t samplesPerFrame;
        int32_t hz;
    } cases[] = {
        {{.version = 3, .layer = 1, .bitrate = 9, .samplerate = 0}, 1152, 44100},
        {{.version = 3, .layer = 1, .bitrate = 14, .samplerate = 1, .mode = 3}, 1152, 48000},
        {{.version = 3, .layer = 2, .bitrate = 8, .samplerate = 2, .mode = 0}, 1152, 32000},
        {{.version = 3, .layer = 3, .bitrate = 14, .samplerate = 0}, 384, 44100},
        {{.version = 2, .layer = 1, .bitrate = 1, .samplerate = 0, .mode = 3}, 576, 22050},
        {{.version = 2, .layer = 2, .bitrate = 14, .samplerate = 2}, 1152, 16000},
        {{.version = 2, .layer = 3, .bitrate = 5, .samplerate = 1, .mode = 0}, 384, 24000},
        {{.version = 0, .layer = 1, .bitrate = 1, .samplerate = 2, .mode = 3}, 576, 8000},
        {{.version = 0, .layer = 2, .bitrate = 3, .samplerate = 0}, 1152, 11025},
        {{.version = 0, .layer = 3, .bitrate = 14, .samplerate = 1, .mode = 3}, 384, 12000},
    };
    for (const auto& c : cases) {
        const Bytes data = Sound(c.header, 37);
        EXPECT_EQ(Walked(data), "37 frames, " + std::to_string(37 * c.samplesPerFrame) +
                                    " samples, end " + std::to_string(data.size()));
        MemorySource source(data);
        FrameWalkResult result;
        ASSERT_TRUE(WalkFrames(source, 0, result));
        EXPECT_DOUBLE_EQ(result.dblMilliseconds, 37.0 * c.samplesPerFrame / c.hz * 1000);
        EXPECT_EQ(result.dblMainMilliseconds, result.dblMilliseconds);
        EXPECT_EQ(result.lngChannels, c.header.mode == 3 ? 1 : 2);
    }
}

TEST(FrameWalk, StreamsAndWhatTheyHold) {
    const Header cd;  // MPEG 1 Layer III, 128 kbps, 44100 Hz: 417 bytes, 1152 samples a frame
    const Header padded{.padding = 1};
    const Header half{.version = 2, .bitrate = 8};  // 64 kbps, 22050 Hz: 208 bytes, 576 samples
    const Header halfMono{.version = 2, .bitrate = 8, .mode = 3};
    const Header mono{.mode = 3};
    const Header crc{.protection = 0};
    const Header tiny{.version = 2, .bitrate = 1};  // 8 kbps, 22050 Hz: 26 bytes, 576 samples
    Bytes crcFrame = synth::Frame(crc);
    crcFrame[4] = 0x12;  // the CRC
    const Bytes ten = Sound(cd, 10);
    const Bytes tag = synth::TrailingTag();
    const Bytes lyrics = {'L', 'Y', 'R', 'I', 'C', 'S', 'B', 'E', 'G', 'I', 'N', 'l', 'a', '0',
                          '0', '0', '0', '1', '3', 'L', 'Y', 'R', 'I', 'C', 'S', '2', '0', '0'};
    // An ID3v2.4 tag at the end, with a footer: header, 20 bytes, footer.
    const Bytes id3v24 = Concat({synth::Id3v2Header(4, 0x10, {0, 0, 0, 20}), Bytes(20, 'x'),
                                 Bytes{'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0, 20}});
    const struct {
        Bytes data;
        const char* walked;
    } cases[] = {
        {Concat({Sound(padded, 3), Sound(cd, 2)}), "5 frames, 5760 samples, end 2088"},
        {Concat({synth::XingFrame(cd, "Xing", 1, 10, 0), ten}),
         "10 frames, 11520 samples, end 4587, vbr 10"},
        {Concat({synth::XingFrame(cd, "Info", 3, 9, 4000), ten}),
         "10 frames, 11520 samples, end 4587, vbr 9"},
        {Concat({synth::VbriFrame(cd, 4170, 12), ten}),
         "10 frames, 11520 samples, end 4587, vbr 12"},
        {Concat({synth::XingFrame(cd, "Xing", 0, 0, 0), ten}),
         "10 frames, 11520 samples, end 4587, vbr -1"},
        {Concat({synth::XingFrame(cd, "Info", 3, 0, 4000), ten}),
         "10 frames, 11520 samples, end 4587, vbr -1"},
        // A header whose fields run past its 26-byte frame states no count.
        {Concat({synth::XingFrame(tiny, "Xing", 15, 10, 1000), Sound(tiny, 5)}),
         "5 frames, 2880 samples, end 156, vbr -1"},
        {Concat({ten, tag}), "10 frames, 11520 samples, end 4170"},
        {Concat({ten, ApeTag(true)}), "10 frames, 11520 samples, end 4170"},
        {Concat({ten, ApeTag(false), tag}), "10 frames, 11520 samples, end 4170"},
        {Concat({ten, lyrics, id3v24, tag}), "10 frames, 11520 samples, end 4170"},
        {Concat({Sound(cd, 4), Bytes(100, 0xFF), Sound(cd, 6)}),
         "10 frames, 11520 samples, end 4270, skipped 100, resyncs 1"},
        {Concat({Sound(cd, 4), synth::Id3v2Tag(900), Sound(cd, 6)}),
         "10 frames, 11520 samples, end 5070, skipped 900, resyncs 1"},
        // Each place where the frames are lost and found again counts once; junk to the end is
        // passed over, the frames not found again.
        {Concat({Sound(cd, 2), Bytes(50, 0), Sound(cd, 2), Bytes(30, 0xFF), synth::Id3v2Tag(40),
                 Sound(cd, 2)}),
         "6 frames, 6912 samples, end 2622, skipped 120, resyncs 2"},
        {Concat({Sound(cd, 3), Bytes(500, 0x11)}), "3 frames, 3456 samples, end 1751, skipped 500"},
        // A stray frame in another format is decoded, but changes nothing; a stray header
        // followed by no frame is damage. Frames in another format than the first are counted
        // apart, with the seams between the two.
        {Concat({Sound(cd, 4), Sound(mono, 1), Sound(cd, 5)}),
         "10 frames, 11520 samples, end 4170; main 9 (235.102 ms), other 1 (26.122 ms), seams 2, "
         "first foreign: the channel count changes at 1668 after 104.490 ms"},
        {Concat({Sound(cd, 2), Sound(half, 1), Sound(mono, 1), Sound(cd, 2)}),
         "6 frames, 6336 samples, end 2293; main 4 (104.490 ms), other 2 (52.245 ms), seams 2, "
         "first foreign: the sample rate changes at 834 after 52.245 ms"},
        {Concat({Sound(cd, 4), Head(Sound(half, 1), 50), Sound(cd, 6)}),
         "10 frames, 11520 samples, end 4220, skipped 50, resyncs 1"},
        {Concat({Sound(cd, 4), Sound(half, 6)}),
         "10 frames, 8064 samples, end 2916, the sample rate changes at 1668 after 104.490 ms; "
         "main 4 (104.490 ms), other 6 (156.735 ms), seams 1, first foreign: the sample rate "
         "changes at 1668 after 104.490 ms"},
        {Concat({Sound(cd, 3), Sound(half, 35), Sound(cd, 3)}),
         "41 frames, 27072 samples, end 9782, the sample rate changes at 1251 after 78.367 ms; "
         "main 6 (156.735 ms), other 35 (914.286 ms), seams 2, first foreign: the sample rate "
         "changes at 1251 after 78.367 ms"},
        {Concat({Sound(cd, 3), Sound(mono, 2)}),
         "5 frames, 5760 samples, end 2085, the channel count changes at 1251 after 78.367 ms; "
         "main 3 (78.367 ms), other 2 (52.245 ms), seams 1, first foreign: the channel count "
         "changes at 1251 after 78.367 ms"},
        {Concat({Sound(cd, 3), Sound(half, 1), Sound(halfMono, 1), Sound(half, 2)}),
         "7 frames, 5760 samples, end 2083, the sample rate changes at 1251 after 78.367 ms; "
         "main 3 (78.367 ms), other 4 (104.490 ms), seams 1, first foreign: the sample rate "
         "changes at 1251 after 78.367 ms"},
        {Concat({Sound(cd, 3), Bytes(7, 1), Sound(half, 3)}),
         "6 frames, 5184 samples, end 1882, skipped 7, the sample rate changes at 1258 after "
         "78.367 ms; main 3 (78.367 ms), other 3 (78.367 ms), seams 1, resyncs 1, first foreign: "
         "the sample rate changes at 1258 after 78.367 ms"},
        // A last frame cut short counts when its header is whole, but not among the whole frames
        // of either format.
        {Concat({Sound(cd, 5), Head(Sound(cd, 1), 100)}),
         "6 frames, 6912 samples, end 2185, cut 100; main 5 (130.612 ms)"},
        {Concat({Sound(cd, 5), Head(Sound(cd, 1), 100), tag}),
         "6 frames, 6912 samples, end 2185, cut 100; main 5 (130.612 ms)"},
        {Concat({Sound(cd, 5), Head(Sound(half, 1), 100)}),
         "6 frames, 6336 samples, end 2185, cut 100; main 5 (130.612 ms)"},
        {Concat({Sound(cd, 5), Head(Sound(cd, 1), 2)}), "5 frames, 5760 samples, end 2087, cut 2"},
        {Concat({synth::Frame(cd), Sound(cd, 3)}), "4 frames, 4608 samples, end 1668, hollow"},
        {Concat({crcFrame, Sound(crc, 3)}), "4 frames, 4608 samples, end 1668, hollow"},
    };
    for (const auto& c : cases) EXPECT_EQ(Walked(c.data), c.walked);
}

TEST(FrameWalk, RefusesWhatIsNoFrame) {
    Bytes freeFormat(1000, 0x11);
    synth::Put(freeFormat, 0, Header{.bitrate = 0}.Raw().data(), 4);
    EXPECT_EQ(Walked(freeFormat), "refused");
    EXPECT_EQ(Walked(Bytes(1000, 0)), "refused");
    EXPECT_EQ(Walked(Sound(Header{}, 3), 5000), "refused");
    EXPECT_EQ(Walked(Sound(Header{}, 3), -1), "refused");
}

// A source of any size: zeros, except for the pieces placed in it. Reads that reach failAt fail.
struct PiecesSource : ByteSource {
    int64_t size = 0;
    int64_t failAt = INT64_MAX;
    std::vector<std::pair<int64_t, Bytes>> pieces;
    int64_t Size() const override { return size; }
    size_t ReadAt(int64_t offset, uint8_t* dest, size_t length) override {
        length =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), size - offset));
        std::memset(dest, 0, length);
        for (const auto& [at, bytes] : pieces) {
            for (size_t i = 0; i < bytes.size(); ++i) {
                const int64_t to = at + static_cast<int64_t>(i) - offset;
                if (to >= 0 && to < static_cast<int64_t>(length)) dest[to] = bytes[i];
            }
        }
        return offset + static_cast<int64_t>(length) > failAt ? 0 : length;
    }
};

TEST(FrameWalk, StreamsBeyondTwoGibibytes) {
    // Frames, then twelve tags of 256 MiB, then frames in another format past 3 GiB.
    constexpr int64_t kTag = int64_t{1} << 28;
    const int64_t behind = 4170 + 12 * kTag;
    PiecesSource source;
    source.size = behind + 6 * 208 + 128;
    source.pieces = {
        {0, Sound(Header{}, 10)},
        {behind, Concat({Sound(Header{.version = 2, .bitrate = 8}, 6), synth::TrailingTag()})}};
    for (int64_t i = 0; i < 12; ++i) {
        source.pieces.push_back(
            {4170 + i * kTag, synth::Id3v2Header(4, 0, {0x7F, 0x7F, 0x7F, 0x76})});
    }
    FrameWalkResult result;
    ASSERT_TRUE(WalkFrames(source, 0, result));
    EXPECT_EQ(result.lngFrames, 16);
    EXPECT_EQ(result.lngSkippedBytes, 12 * kTag);
    EXPECT_EQ(result.lngResyncs, 1);  // the tags lie in one place
    EXPECT_EQ(result.lngOtherFrames, 6);
    EXPECT_EQ(result.lngAudioEnd, behind + 6 * 208);
    ASSERT_TRUE(result.change.has_value());
    EXPECT_EQ(result.change->lngOffset, behind);

    source.failAt = behind;  // a read error is a failure, not a shorter stream
    EXPECT_FALSE(WalkFrames(source, 0, result));
}

}  // namespace
