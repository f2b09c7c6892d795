// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/MP3Info.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cmath>

#include <chrono>

#include "support/Mp3Synth.h"
#include "support/RunAsNobody.h"

namespace {

using synth::Bytes;

constexpr int32_t kExampleSize = 4180000;
const synth::Header kCbr{};  // MPEG 1 Layer III, 128 kbps, 44100 Hz: 417-byte frames

// Every property at zero except FileSize.
void ExpectCleared(const MP3Info& info, int64_t lngFileSize) {
    EXPECT_EQ(info.FileSize(), lngFileSize);
    EXPECT_EQ(info.FirstFrame(), 0);
    EXPECT_EQ(info.Duration(), 0.0);
    EXPECT_EQ(info.Channels(), 0);
    EXPECT_EQ(info.Samplerate(), 0);
    EXPECT_EQ(info.Bitrate(), 0);
    EXPECT_EQ(info.MpegBytes(), 0);
    EXPECT_EQ(info.Frames(), 0);
    EXPECT_EQ(info.Layer(), 0);
    EXPECT_EQ(info.MpegVersion(), 0.0f);
    EXPECT_FALSE(info.CopyrightBit());
    EXPECT_FALSE(info.OriginalBit());
    EXPECT_FALSE(info.PrivateBit());
    EXPECT_FALSE(info.Protected());
    EXPECT_FALSE(info.Emphasis());
    EXPECT_FALSE(info.IsVBR());
}

class MP3InfoFile : public ::testing::Test {
  protected:
    // Writes data to a new file and analyses it.
    bool Analyse(const Bytes& data, const std::string& name = "a.mp3") {
        const std::string path = dir.File(name);
        synth::WriteFile(path, data);
        return info.ReadMP3Info(path);
    }
    // The 4,180,000-byte example: first frame (given) at 0, a plain second frame, a trailing tag;
    // the middle is a hole.
    bool AnalyseExample(const Bytes& firstFrame) {
        const std::string path = dir.File("example.mp3");
        synth::WriteSparse(path, synth::Concat({firstFrame, synth::Frame(kCbr)}), kExampleSize,
                           synth::TrailingTag());
        return info.ReadMP3Info(path);
    }
    synth::TempDir dir;
    MP3Info info;
};

TEST_F(MP3InfoFile, ConstantBitrateExampleWithTrailingTag) {
    ASSERT_TRUE(AnalyseExample(synth::Frame(kCbr)));
    EXPECT_EQ(info.FirstFrame(), 0);
    EXPECT_EQ(info.FileSize(), 4180000);
    EXPECT_EQ(info.MpegBytes(), 4179872);
    EXPECT_EQ(info.Frames(), 10024);  // 10023.67 rounded
    EXPECT_DOUBLE_EQ(info.Duration(), 261851.42857142858);
    EXPECT_EQ(info.Duration(), 10024 * 1152 / 44100.0 * 1000);
    EXPECT_EQ(info.Bitrate(), 128000);
    EXPECT_EQ(info.Samplerate(), 44100);
    EXPECT_EQ(info.Channels(), 2);
    EXPECT_EQ(info.Layer(), 3);
    EXPECT_EQ(info.MpegVersion(), 1.0f);
    EXPECT_TRUE(info.OriginalBit());
    EXPECT_FALSE(info.CopyrightBit());
    EXPECT_FALSE(info.PrivateBit());
    EXPECT_FALSE(info.Protected());
    EXPECT_FALSE(info.Emphasis());
    EXPECT_FALSE(info.IsVBR());
}

TEST_F(MP3InfoFile, VariableBitrateHeadersOfTheExample) {
    const struct {
        const char* name;
        Bytes firstFrame;
        int32_t frames;
        int32_t mpegBytes;
        double duration;
        int32_t bitrate;
        bool vbr;
    } cases[] = {
        {"Xing with both counts", synth::XingFrame(kCbr, "Xing", 3, 9000, 4000000), 9000, 4000000,
         235102.04081632654, 136111, true},
        {"Info with both counts", synth::XingFrame(kCbr, "Info", 3, 9000, 4000000), 9000, 4000000,
         235102.04081632654, 128000, false},
        {"Xing without counts", synth::XingFrame(kCbr, "Xing", 0, 0, 0), 10024, 4179872,
         261851.42857142858, 127702, true},
        {"Xing with the seek table and quality", synth::XingFrame(kCbr, "Xing", 15, 9000, 4000000),
         9000, 4000000, 235102.04081632654, 136111, true},
        {"Info without counts", synth::XingFrame(kCbr, "Info", 0, 9000, 4000000), 10024, 4179872,
         261851.42857142858, 128000, false},
        {"VBRI", synth::VbriFrame(kCbr, 4000000, 9000), 9000, 4000000, 235102.04081632654, 136111,
         true},
        {"VBRI with zero counts", synth::VbriFrame(kCbr, 0, 0), 10024, 4179872, 261851.42857142858,
         127702, true},
        // A count of 0 (an encoder stopped before its last write) is no count: the file's own
        // size and frame length give what it would have claimed.
        {"Xing with 0 frames", synth::XingFrame(kCbr, "Xing", 3, 0, 4000000), 9592, 4000000,
         250566.53061224488, 127711, true},
        {"Info with 0 frames", synth::XingFrame(kCbr, "Info", 3, 0, 4000000), 9592, 4000000,
         250566.53061224488, 128000, false},
        {"Xing with 0 bytes", synth::XingFrame(kCbr, "Xing", 3, 9000, 0), 9000, 4179872,
         235102.04081632654, 142232, true},
        {"Xing with both counts 0", synth::XingFrame(kCbr, "Xing", 3, 0, 0), 10024, 4179872,
         261851.42857142858, 127702, true},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(AnalyseExample(c.firstFrame)) << c.name;
        EXPECT_EQ(info.Frames(), c.frames) << c.name;
        EXPECT_EQ(info.MpegBytes(), c.mpegBytes) << c.name;
        EXPECT_DOUBLE_EQ(info.Duration(), c.duration) << c.name;
        EXPECT_EQ(info.Bitrate(), c.bitrate) << c.name;
        EXPECT_EQ(info.IsVBR(), c.vbr) << c.name;
        EXPECT_EQ(info.FirstFrame(), 0) << c.name;
    }
}

TEST_F(MP3InfoFile, LeadingTagLengths) {
    const struct {
        const char* name;
        Bytes header;
        int32_t length;
    } cases[] = {
        {"synchsafe 1014", synth::Id3v2Header(3, 0, {0, 0, 7, 0x76}), 1024},
        {"version 4 with footer", synth::Id3v2Header(4, 16, {0, 0, 7, 0x76}), 1034},
        {"footer flag before version 4", synth::Id3v2Header(3, 16, {0, 0, 7, 0x76}), 1024},
        {"a byte of 128 or more: plain big-endian 1920", synth::Id3v2Header(3, 0, {0, 0, 7, 0x80}),
         1930},
        {"empty tag", synth::Id3v2Header(2, 0, {0, 0, 0, 0}), 10},
    };
    for (const auto& c : cases) {
        Bytes data = c.header;
        data.resize(static_cast<size_t>(c.length), ' ');
        data = synth::Concat({data, synth::Frames(kCbr, 3)});
        ASSERT_TRUE(Analyse(data)) << c.name;
        EXPECT_EQ(info.FirstFrame(), c.length) << c.name;
        EXPECT_EQ(info.MpegBytes(), static_cast<int32_t>(data.size()) - c.length) << c.name;
    }
}

TEST_F(MP3InfoFile, PlainTagSizeThatDoesNotFitIsRefused) {
    Bytes data = synth::Id3v2Header(3, 0, {0x80, 0, 0, 0});
    data = synth::Concat({data, synth::Frames(kCbr, 3)});
    EXPECT_FALSE(Analyse(data));
    ExpectCleared(info, static_cast<int64_t>(data.size()));
}

TEST_F(MP3InfoFile, TagLongerThanTheFileLeavesNothingToSearch) {
    Bytes data = synth::Id3v2Header(3, 0, {0, 0, 0x7F, 0x7F});
    data = synth::Concat({data, synth::Frames(kCbr, 3)});
    EXPECT_FALSE(Analyse(data));
    ExpectCleared(info, static_cast<int64_t>(data.size()));
}

TEST_F(MP3InfoFile, NoSyncAnywhere) {
    Bytes data(20000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i % 200 + 1);
    EXPECT_FALSE(Analyse(data));
    ExpectCleared(info, 20000);
    EXPECT_FALSE(Analyse({}));
    ExpectCleared(info, 0);
}

// Frames placed so that their sync pair is just inside or just outside the bytes examined.
TEST_F(MP3InfoFile, SearchWindowEndsWhereTheChunksSay) {
    const struct {
        const char* name;
        Bytes prefix;  // leading bytes; frames start right after filler up to frameAt
        int32_t frameAt;
        bool found;
    } cases[] = {
        {"no tag, last pair inside", {}, 14334, true},
        {"no tag, pair split after the last chunk", {}, 14335, false},
        {"tag of 1024 at 0, last pair inside", synth::Id3v2Tag(1024), 1024 + 14334, true},
        {"tag of 1024 at 0, pair outside", synth::Id3v2Tag(1024), 1024 + 14335, false},
        // Tags back to back: the window counts from the end of the last.
        {"three tags at 0, last pair inside",
         synth::Concat({synth::Id3v2Tag(1024), synth::Id3v2Tag(30000), synth::Id3v2Tag(10)}),
         31034 + 14334, true},
        {"three tags at 0, pair outside",
         synth::Concat({synth::Id3v2Tag(1024), synth::Id3v2Tag(30000), synth::Id3v2Tag(10)}),
         31034 + 14335, false},
        // A tag at 5000 of length 1000: chunks from 6000 until the chunk position less the tag
        // length exceeds 10240, so the last chunk examined ends at 14191.
        {"tag of 1000 at 5000, last pair inside",
         synth::Concat({Bytes(5000), synth::Id3v2Tag(1000)}), 14190, true},
        {"tag of 1000 at 5000, pair outside", synth::Concat({Bytes(5000), synth::Id3v2Tag(1000)}),
         14191, false},
        // A tag found at 12000 leaves one chunk behind it; one found past 12288 leaves none.
        {"tag at 12000, last pair inside", synth::Concat({Bytes(12000), synth::Id3v2Tag(100)}),
         12100 + 2046, true},
        {"tag at 12000, pair outside", synth::Concat({Bytes(12000), synth::Id3v2Tag(100)}),
         12100 + 2047, false},
        {"tag at 13000, frames right behind it",
         synth::Concat({Bytes(13000), synth::Id3v2Tag(100)}), 13100, false},
    };
    for (const auto& c : cases) {
        Bytes data = c.prefix;
        data.resize(static_cast<size_t>(c.frameAt), 0);
        data = synth::Concat({data, synth::Frames(kCbr, 2)});
        EXPECT_EQ(Analyse(data), c.found) << c.name;
        if (c.found) {
            EXPECT_EQ(info.FirstFrame(), c.frameAt) << c.name;
        }
    }
}

TEST_F(MP3InfoFile, MarkersSplitAcrossChunks) {
    // Sync pair split: 255 is the last byte of the first chunk.
    Bytes data(2047, 0);
    ASSERT_TRUE(Analyse(synth::Concat({data, synth::Frames(kCbr, 2)})));
    EXPECT_EQ(info.FirstFrame(), 2047);

    // Tag marker split: "I" and "D" end the first chunk, "3" starts the second.
    const Bytes tag = synth::Id3v2Tag(300);
    for (size_t at : {2045u, 2046u, 2047u}) {
        Bytes split(at, 0);
        split = synth::Concat({split, tag, synth::Frames(kCbr, 2)});
        ASSERT_TRUE(Analyse(split)) << at;
        EXPECT_EQ(info.FirstFrame(), static_cast<int32_t>(at) + 300) << at;
    }
}

TEST_F(MP3InfoFile, TagsBackToBackAreSkippedOneAfterTheOther) {
    // The second tag holds what looks like two frames; they are part of the tag.
    Bytes second =
        synth::Concat({synth::Id3v2Header(3, 0, {0, 0, 7, 0x76}), synth::Frames(kCbr, 2)});
    second.resize(1024, ' ');
    ASSERT_TRUE(Analyse(synth::Concat({synth::Id3v2Tag(1000), second, synth::Frames(kCbr, 2)})));
    EXPECT_EQ(info.FirstFrame(), 2024);

    // One byte between them and the second tag is recognised and skipped all the same.
    Bytes gap = synth::Concat({synth::Id3v2Tag(1024), Bytes{'x'}, synth::Id3v2Tag(200)});
    ASSERT_TRUE(Analyse(synth::Concat({gap, synth::Frames(kCbr, 2)})));
    EXPECT_EQ(info.FirstFrame(), 1225);
}

TEST_F(MP3InfoFile, TagMarkerInsideAudioIsSkippedLikeALeadingTag) {
    // Frames at 0 are damaged at their distance, then an "ID3" inside the data moves the search.
    Bytes data = synth::Frame(kCbr);
    data.resize(600, 0);
    data = synth::Concat({data, synth::Id3v2Tag(500), synth::Frames(kCbr, 2)});
    ASSERT_TRUE(Analyse(data));
    EXPECT_EQ(info.FirstFrame(), 1100);
}

TEST_F(MP3InfoFile, ByteOf255BeforeAFrameHidesThatFrame) {
    ASSERT_TRUE(Analyse(synth::Concat({Bytes{0xFF}, synth::Frames(kCbr, 4)})));
    EXPECT_EQ(info.FirstFrame(), 1 + 417);
}

TEST_F(MP3InfoFile, DamagedSecondFrameMakesTheThirdTheFirst) {
    Bytes data = synth::Frames(kCbr, 5);
    data[417] = 0;  // frame B's sync
    ASSERT_TRUE(Analyse(data));
    EXPECT_EQ(info.FirstFrame(), 834);
    EXPECT_EQ(info.MpegBytes(), static_cast<int32_t>(data.size()) - 834);
}

TEST_F(MP3InfoFile, ConfirmingHeaderMayDifferFromTheFirst) {
    const synth::Header other{.version = 2, .layer = 2, .bitrate = 3, .samplerate = 1, .mode = 3};
    ASSERT_TRUE(Analyse(synth::Concat({synth::Frame(kCbr), synth::Frame(other)})));
    EXPECT_EQ(info.FirstFrame(), 0);
    EXPECT_EQ(info.Bitrate(), 128000);
}

TEST_F(MP3InfoFile, OneFrameAloneIsNotEnough) {
    const Bytes frame = synth::Frame(kCbr);
    EXPECT_FALSE(Analyse(frame));
    ExpectCleared(info, 417);
    // The second header cut short by the end of the file: the missing bytes read as zeros.
    Bytes cut = synth::Concat({frame, synth::Frame(kCbr)});
    cut.resize(417 + 2);
    EXPECT_FALSE(Analyse(cut));
    ExpectCleared(info, 419);
}

TEST_F(MP3InfoFile, HeaderFlagsBecomeProperties) {
    const synth::Header flagged{.protection = 0,
                                .padding = 1,
                                .privateBit = 1,
                                .mode = 3,
                                .copyright = 1,
                                .original = 0,
                                .emphasis = 1};
    Bytes data = synth::Frame(flagged);
    data = synth::Concat({data, synth::Frame(flagged)});
    ASSERT_TRUE(Analyse(data));
    EXPECT_TRUE(info.Protected());
    EXPECT_TRUE(info.PrivateBit());
    EXPECT_TRUE(info.CopyrightBit());
    EXPECT_FALSE(info.OriginalBit());
    EXPECT_TRUE(info.Emphasis());
    EXPECT_EQ(info.Channels(), 1);
}

TEST_F(MP3InfoFile, OtherVersionsAndLayers) {
    const struct {
        const char* name;
        synth::Header header;
        float version;
        int32_t layer;
        int32_t samplerate;
        int32_t samplesPerFrame;
    } cases[] = {
        {"MPEG 2 Layer III", {.version = 2, .bitrate = 4}, 2.0f, 3, 22050, 576},
        {"MPEG 2.5 Layer III", {.version = 0, .bitrate = 1, .samplerate = 2}, 2.5f, 3, 8000, 576},
        {"MPEG 1 Layer II", {.layer = 2, .bitrate = 8}, 1.0f, 2, 44100, 1152},
        {"MPEG 1 Layer I", {.layer = 3, .bitrate = 4, .samplerate = 1}, 1.0f, 1, 48000, 384},
    };
    for (const auto& c : cases) {
        const Bytes data = synth::Frames(c.header, 10);
        ASSERT_TRUE(Analyse(data)) << c.name;
        EXPECT_EQ(info.MpegVersion(), c.version) << c.name;
        EXPECT_EQ(info.Layer(), c.layer) << c.name;
        EXPECT_EQ(info.Samplerate(), c.samplerate) << c.name;
        EXPECT_EQ(info.Frames(), 10) << c.name;
        EXPECT_DOUBLE_EQ(info.Duration(), 10.0 * c.samplesPerFrame / c.samplerate * 1000) << c.name;
    }
}

TEST_F(MP3InfoFile, LowBitrateFramesTooShortForAHeaderNameStayValid) {
    for (const synth::Header& tiny : {synth::Header{.version = 2, .bitrate = 1},
                                      synth::Header{.version = 2, .bitrate = 1, .samplerate = 2},
                                      synth::Header{.version = 2, .bitrate = 1, .samplerate = 1}}) {
        Bytes data = synth::Frames(tiny, 50);
        for (size_t i = 0; i < data.size(); ++i) {
            if (i % static_cast<size_t>(tiny.Length()) >= 4)
                data[i] = static_cast<uint8_t>(0x41 + i % 20);
        }
        ASSERT_TRUE(Analyse(data)) << tiny.Length();
        EXPECT_EQ(info.Frames(), 50);
        EXPECT_FALSE(info.IsVBR());
    }
}

TEST_F(MP3InfoFile, MalformedDataIsNotValid) {
    const synth::Header tiny{.version = 2, .bitrate = 1};  // 26-byte frames, Xing offset 21
    Bytes tinyXing = synth::Frames(tiny, 10);
    synth::Put(tinyXing, 21, std::string("Xing"));
    Bytes vbriToc = synth::VbriFrame(kCbr, 4000000, 9000);
    synth::PutBE16(vbriToc, 54, 1000);
    const struct {
        const char* name;
        Bytes firstFrame;
    } cases[] = {
        {"a byte count too small for one frame gives a zero duration",
         synth::XingFrame(kCbr, "Xing", 2, 0, 100)},
        {"bitrate does not fit", synth::XingFrame(kCbr, "Xing", 3, 1, 200000000)},
        {"VBRI count of 2^31", synth::VbriFrame(kCbr, 0x80000000u, 10)},
        {"VBRI seek table beyond the frame", vbriToc},
        {"Xing flags beyond a 26-byte frame", tinyXing},
    };
    for (const auto& c : cases) {
        const Bytes data = synth::Concat({c.firstFrame, synth::Frames(kCbr, 2)});
        EXPECT_FALSE(Analyse(data)) << c.name;
        ExpectCleared(info, static_cast<int64_t>(data.size()));
    }
    // The next file is analysed as usual.
    EXPECT_TRUE(Analyse(synth::Frames(kCbr, 3)));
}

TEST_F(MP3InfoFile, LongFilesBeyond32BitSampleAndBitCountsStayValid) {
    // A 1 GiB constant-bitrate file: 2^30 / 417 rounds to 2574920 frames of 1152 samples, more
    // than 2^31 samples.
    const std::string path = dir.File("long.mp3");
    synth::WriteSparse(path, synth::Frames(kCbr, 2), int64_t{1} << 30);
    ASSERT_TRUE(info.ReadMP3Info(path));
    EXPECT_EQ(info.Frames(), 2574920);
    EXPECT_DOUBLE_EQ(info.Duration(), 2574920.0 * 1152 / 44100 * 1000);
    EXPECT_EQ(info.Bitrate(), 128000);

    // A long variable-bitrate file: 300,000,000 bytes of audio, more than 2^31 bits.
    const Bytes data = synth::Concat(
        {synth::XingFrame(kCbr, "Xing", 3, 11000000, 300000000), synth::Frames(kCbr, 2)});
    ASSERT_TRUE(Analyse(data));
    EXPECT_EQ(info.Frames(), 11000000);
    EXPECT_EQ(info.MpegBytes(), 300000000);
    const double dblDuration = 11000000.0 * 1152 / 44100 * 1000;
    EXPECT_DOUBLE_EQ(info.Duration(), dblDuration);
    EXPECT_EQ(info.Bitrate(),
              static_cast<int32_t>(std::nearbyint(2400000000.0 / dblDuration * 1000)));
    EXPECT_TRUE(info.IsVBR());
}

TEST_F(MP3InfoFile, FilesOfTwoGibibytesAndMoreAreAnalysed) {
    // 3 GiB, sparse: two frames at the start, a trailing tag at the end.
    const std::string path = dir.File("huge.mp3");
    const int64_t lngSize = int64_t{3} << 30;
    synth::WriteSparse(path, synth::Frames(kCbr, 2), lngSize, synth::TrailingTag());
    ASSERT_TRUE(info.ReadMP3Info(path));
    EXPECT_EQ(info.FileSize(), lngSize);
    EXPECT_EQ(info.MpegBytes(), lngSize - 128);
    EXPECT_EQ(info.Frames(), 7724761);  // 3221225344 / 417 rounded
    EXPECT_DOUBLE_EQ(info.Duration(), 7724761.0 * 1152 / 44100 * 1000);
    EXPECT_EQ(info.Bitrate(), 128000);

    // Nine tags of 256 MiB back to back: the first frame lies past 2 GiB.
    const int64_t lngTag = 0x0FFFFFFF + 10;
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, lngSize), 0);
    for (int64_t i = 0; i < 9; ++i) {
        synth::WriteAt(fd, synth::Id3v2Header(3, 0, {0x7F, 0x7F, 0x7F, 0x7F}), i * lngTag);
    }
    synth::WriteAt(fd, synth::XingFrame(kCbr, "Xing", 3, 9000, 4000000), 9 * lngTag);
    synth::WriteAt(fd, synth::Frame(kCbr), 9 * lngTag + 417);
    close(fd);
    ASSERT_TRUE(info.ReadMP3Info(path));
    EXPECT_EQ(info.FirstFrame(), 9 * lngTag);
    EXPECT_EQ(info.FileSize(), lngSize);
    EXPECT_EQ(info.Frames(), 9000);
    EXPECT_EQ(info.Bitrate(), 136111);
}

TEST_F(MP3InfoFile, EachCallStartsFromACleanState) {
    ASSERT_TRUE(AnalyseExample(synth::XingFrame(kCbr, "Xing", 3, 9000, 4000000)));
    EXPECT_FALSE(info.ReadMP3Info(dir.File("missing.mp3")));
    ExpectCleared(info, 0);

    ASSERT_TRUE(AnalyseExample(synth::Frame(kCbr)));
    EXPECT_FALSE(Analyse(Bytes(20000, 1), "junk.mp3"));
    ExpectCleared(info, 20000);

    // A valid file after an invalid one: no state of the search carries over.
    Bytes endsInMarker(2000, 0);
    endsInMarker.push_back('I');
    endsInMarker.push_back('D');
    EXPECT_FALSE(Analyse(endsInMarker, "marker.mp3"));
    ASSERT_TRUE(Analyse(synth::Concat({Bytes{'3'}, synth::Frames(kCbr, 2)}), "next.mp3"));
    EXPECT_EQ(info.FirstFrame(), 1);
}

TEST_F(MP3InfoFile, ThingsThatAreNotRegularFiles) {
    EXPECT_FALSE(info.ReadMP3Info(dir.Path().string()));
    ExpectCleared(info, 0);
    EXPECT_FALSE(info.ReadMP3Info(""));
    ExpectCleared(info, 0);

    // A FIFO without a writer must not block the analysis.
    const std::string fifo = dir.File("fifo.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(info.ReadMP3Info(fifo));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ExpectCleared(info, 0);

    // A NUL byte would cut the path short and name another file.
    const std::string real = dir.File("a.mp3");
    synth::WriteFile(real, synth::Frames(kCbr, 3));
    EXPECT_TRUE(info.ReadMP3Info(real));
    EXPECT_FALSE(info.ReadMP3Info(real + std::string(1, '\0') + "x"));
    ExpectCleared(info, 0);
    // A path that runs through a file.
    EXPECT_FALSE(info.ReadMP3Info(real + "/inner.mp3"));
    ExpectCleared(info, 0);
}

TEST_F(MP3InfoFile, UnreadableFileIsNotValid) {
    KESTRELUND_RUN_AS_ORDINARY_USER("root reads every file")
    const std::string path = dir.File("locked.mp3");
    synth::WriteFile(path, synth::Frames(kCbr, 3));
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    EXPECT_FALSE(info.ReadMP3Info(path));
    ExpectCleared(info, 0);
}

TEST_F(MP3InfoFile, PathsAreBytes) {
    const std::string name = "Gr\xC3\xBC\xC3\x9F\x65 \"x\"\n\xFF.mp3";
    const std::string path = dir.File(name);
    synth::WriteFile(path, synth::Frames(kCbr, 3));
    EXPECT_TRUE(info.ReadMP3Info(path));
}

}  // namespace
