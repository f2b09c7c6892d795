// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis reads a file one window at a time and passes over most bytes without feeding
// them one by one, yet must examine, find and compute exactly what a plain search over 2048-byte
// chunks with seeks finds. These tests hold the straightforward chunked search of
// support/PlainSearch.h against it on many generated files.

#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "analysis/MP3Info.h"
#include "analysis/MP3InfoSource.h"
#include "support/Mp3Synth.h"
#include "support/PlainSearch.h"

namespace {

using plain::ChunkedSearch;
using synth::Bytes;

// Files made of pieces that matter to the search: runs of frames of many kinds, damaged frames,
// tags (synchsafe or not, with footers), stray markers and sync bytes, runs of 255s of every
// length, random bytes and 16-bit samples around zero, often placed right at a chunk boundary.
Bytes RandomFile(std::mt19937& random) {
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const synth::Header kinds[] = {
        {},
        {.padding = 1},
        {.version = 2, .bitrate = 1},
        {.version = 0, .bitrate = 14, .samplerate = 2, .padding = 1},
        {.layer = 2, .bitrate = 1, .mode = 3},
        {.layer = 3, .bitrate = 1, .samplerate = 1},
        {.version = 2, .layer = 3, .bitrate = 14, .samplerate = 2},
    };
    Bytes data;
    const int pieces = 1 + pick(12);
    // Some files hold long stretches without frames, so that the search runs to its limits.
    const bool blnSparse = pick(2) == 0;
    for (int p = 0; p < pieces; ++p) {
        if (blnSparse && pick(3) != 0) {
            data.resize(data.size() + static_cast<size_t>(pick(6000)), 0);
        }
        if (pick(3) == 0) {
            // Move to just before, at or just after a chunk boundary.
            const size_t boundary = (data.size() / 2048 + 1) * 2048;
            data.resize(boundary - static_cast<size_t>(pick(5)),
                        static_cast<uint8_t>(pick(2) * 'x'));
        }
        switch (pick(10)) {
            case 0:
                data.resize(data.size() + static_cast<size_t>(pick(4000)), 0);
                break;
            case 1: {
                const uint8_t alphabet[] = {0, 0xFF, 'I', 'D', '3', 0xFB, 0x90, 0x64, 0xE3, 7};
                const int len = pick(300);
                for (int i = 0; i < len; ++i) data.push_back(alphabet[pick(10)]);
                break;
            }
            case 2: {
                const int size = pick(4) == 0 ? pick(40000) : pick(3000);
                Bytes tag = synth::Id3v2Header(
                    static_cast<uint8_t>(2 + pick(3)), static_cast<uint8_t>(pick(2) * 16),
                    {static_cast<uint8_t>(size >> 21 & 127), static_cast<uint8_t>(size >> 14 & 127),
                     static_cast<uint8_t>(size >> 7 & 127), static_cast<uint8_t>(size & 127)});
                if (pick(6) == 0) tag[6 + static_cast<size_t>(pick(4))] |= 0x80;  // not synchsafe
                if (pick(4) == 0) data.push_back(0xFF);  // a sync byte right before the marker
                data.insert(data.end(), tag.begin(), tag.end());
                if (pick(3) == 0 && size < 6000 && (tag[6] | tag[7] | tag[8] | tag[9]) < 128) {
                    // Another tag right behind this one.
                    const bool blnFooter = tag[3] >= 4 && (tag[5] & 16) != 0;
                    data.resize(data.size() + static_cast<size_t>(size + (blnFooter ? 10 : 0)),
                                'x');
                    const Bytes next = synth::Id3v2Tag(static_cast<uint32_t>(10 + pick(3000)));
                    data.insert(data.end(), next.begin(), next.end());
                }
                break;
            }
            case 3:
            case 4: {
                const Bytes frames = synth::Frames(kinds[pick(7)], 1 + pick(4));
                data.insert(data.end(), frames.begin(), frames.end());
                if (pick(3) == 0 && data.size() > 2)
                    data[data.size() - 1 - static_cast<size_t>(pick(2))] = 0xFF;
                break;
            }
            case 5: {
                Bytes frames = synth::Frames(kinds[pick(7)], 3);
                frames[static_cast<size_t>(kinds[0].Length() % 24) +
                       static_cast<size_t>(pick(3))] ^= 0xFF;
                data.insert(data.end(), frames.begin(), frames.end());
                break;
            }
            case 6: {
                // A run of 255s, long or short, ending in a header's next bytes or anything.
                data.resize(data.size() + 1 + static_cast<size_t>(pick(2) ? pick(8) : pick(6000)),
                            0xFF);
                const uint8_t ends[] = {0xFB, 0x90, 0x64, 0xE3, 0x10, 0, 'I', 0xFF};
                const int len = pick(4);
                for (int i = 0; i < len; ++i) data.push_back(ends[pick(8)]);
                break;
            }
            case 7: {
                const int len = pick(600);
                for (int i = 0; i < len; ++i) data.push_back(static_cast<uint8_t>(random()));
                break;
            }
            case 8: {
                // Quiet 16-bit samples: a random low byte, then 0xFF or 0.
                const int len = pick(400);
                for (int i = 0; i < len; ++i) {
                    data.push_back(static_cast<uint8_t>(random()));
                    data.push_back(pick(2) ? 0xFF : 0);
                }
                break;
            }
            default:
                data.push_back(0xFF);
                break;
        }
    }
    return data;
}

TEST(Search, MatchesThePlainChunkedSearchOnGeneratedFiles) {
    std::mt19937 random(20240611);
    MP3Info info;
    int found = 0;
    int errors = 0;
    for (int round = 0; round < 3000; ++round) {
        const Bytes data = RandomFile(random);
        MemorySource source(data);
        const int64_t expected = ChunkedSearch(data);
        ASSERT_EQ(MP3InfoSource::FindFirstFrame(info, source), expected) << "round " << round;
        found += expected >= 0;
        errors += expected == -2;
    }
    // The generator reaches every outcome.
    EXPECT_GT(found, 1000);
    EXPECT_GT(errors, 10);
}

TEST(Search, FileAndMemoryGiveTheSameAnswers) {
    std::mt19937 random(7);
    synth::TempDir dir;
    const std::string path = dir.File("f.mp3");
    MP3Info fromFile;
    MP3Info fromMemory;
    for (int round = 0; round < 200; ++round) {
        Bytes data = RandomFile(random);
        if (round % 2 == 0) {
            const Bytes tail = synth::TrailingTag();
            data.insert(data.end(), tail.begin(), tail.end());
        }
        synth::WriteFile(path, data);
        const bool blnFile = fromFile.ReadMP3Info(path);
        ASSERT_EQ(blnFile, MP3InfoSource::ReadMP3Info(fromMemory, data)) << round;
        EXPECT_EQ(fromFile.FirstFrame(), fromMemory.FirstFrame());
        EXPECT_EQ(fromFile.Duration(), fromMemory.Duration());
        EXPECT_EQ(fromFile.Bitrate(), fromMemory.Bitrate());
        EXPECT_EQ(fromFile.FileSize(), fromMemory.FileSize());
        EXPECT_EQ(fromFile.MpegBytes(), fromMemory.MpegBytes());
        EXPECT_EQ(fromFile.Frames(), fromMemory.Frames());
        EXPECT_EQ(fromFile.IsVBR(), fromMemory.IsVBR());
    }
}

// Counts the reads that reach the data.
class CountingSource : public ByteSource {
  public:
    explicit CountingSource(const Bytes& data) : inner_(data) {}
    int64_t Size() const override { return inner_.Size(); }
    size_t ReadAt(int64_t lngOffset, uint8_t* btDest, size_t lngLen) override {
        ++reads;
        bytes += lngLen;
        return inner_.ReadAt(lngOffset, btDest, lngLen);
    }
    int reads = 0;
    size_t bytes = 0;

  private:
    MemorySource inner_;
};

TEST(Search, ATypicalFileCostsOneSmallReadAndTheTrailingTag) {
    const Bytes frames = synth::Concat({synth::Frames(synth::Header{}, 100), synth::TrailingTag()});
    const struct {
        Bytes data;
        int32_t first;
        int reads;  // the pieces of the windows and the trailing tag
    } cases[] = {
        {frames, 0, 2},
        // Frames beyond the first 4 KiB: the rest of the window is read.
        {synth::Concat({Bytes(10000, 0), frames}), 10000, 3},
        // The window behind a short tag is held already.
        {synth::Concat({synth::Id3v2Tag(1500), frames}), 1500, 2},
        {synth::Concat({synth::Id3v2Tag(1500), synth::Id3v2Tag(60000), frames}), 61500, 3},
    };
    for (const auto& c : cases) {
        CountingSource source(c.data);
        MP3Info info;
        ASSERT_TRUE(MP3InfoSource::ReadMP3Info(info, source));
        EXPECT_EQ(info.FirstFrame(), c.first);
        EXPECT_EQ(source.reads, c.reads);
        EXPECT_LE(source.bytes, 20480u * static_cast<size_t>(c.reads));
    }
}

}  // namespace
