// SPDX-License-Identifier: GPL-3.0-or-later
// kestrelund-info on real files: tones made with sox, encoded with lame in the ways that matter
// to the analysis, checked through the probe's JSON against the files' own bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>

#include "probe/MiniJson.h"
#include "probe/RunProbe.h"
#include "support/Mp3Synth.h"

namespace {

using synth::Bytes;

Bytes ReadBytes(const std::string& path) {
    const std::string text = probe::Slurp(path);
    return Bytes(text.begin(), text.end());
}

uint32_t BE32(const Bytes& data, size_t pos) {
    return static_cast<uint32_t>(data.at(pos)) << 24 |
           static_cast<uint32_t>(data.at(pos + 1)) << 16 |
           static_cast<uint32_t>(data.at(pos + 2)) << 8 | data.at(pos + 3);
}

class ProbeEncode : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!probe::OnPath("lame") || !probe::OnPath("sox")) return;
        dir_ = std::make_unique<synth::TempDir>();
        for (const char* rate : {"44100", "22050", "11025", "8000"}) {
            const std::string wav = dir_->File(std::string("tone") + rate + ".wav");
            probe::Run("sox", {"-n", "-r", rate, "-c", "2", wav, "synth", "2", "sine", "440"});
        }
        const std::string t44 = dir_->File("tone44100.wav");
        Encode({"-b", "128", t44, File("cbr.mp3")});
        Encode({"-V", "4", t44, File("vbr.mp3")});
        Encode({"-b", "32", "--resample", "22.05", dir_->File("tone22050.wav"), File("mpeg2.mp3")});
        Encode({"-b", "16", "--resample", "11.025", dir_->File("tone11025.wav"),
                File("mpeg25-11025.mp3")});
        Encode({"-b", "8", "--resample", "8", dir_->File("tone8000.wav"), File("mpeg25-8000.mp3")});
        Encode({"-b", "64", "-m", "m", t44, File("mono.mp3")});
        Encode({"-b", "128", "--id3v2-only", "--tt", "Title", "--ta", "Artist", t44,
                File("id3v2.mp3")});
        Encode({"-b", "128", "--id3v1-only", "--tt", "Title", t44, File("id3v1.mp3")});
        Encode({"-t", "-b", "128", t44, File("plain.mp3")});
        // The plain stream behind a 1024-byte tag of our own and before a trailing tag.
        synth::WriteFile(File("own-tags.mp3"),
                         synth::Concat({synth::Id3v2Tag(1024), ReadBytes(File("plain.mp3")),
                                        synth::TrailingTag()}));
    }
    static void TearDownTestSuite() { dir_.reset(); }

    void SetUp() override {
        if (!dir_) GTEST_SKIP() << "lame or sox is not installed";
    }

    static std::string File(const std::string& name) { return dir_->File(name); }
    static void Encode(std::vector<std::string> args) {
        args.insert(args.begin(), "--quiet");
        probe::Run("lame", args);
    }

    // The probe's JSON object for one file.
    static minijson::Object Probe(const std::string& name) {
        const probe::Result result = probe::RunProbe({"--json", File(name)});
        EXPECT_EQ(result.status, 0) << name << ": " << result.out;
        const auto object = minijson::Parse(result.out.substr(0, result.out.find('\n')));
        EXPECT_TRUE(object.has_value()) << result.out;
        return object.value_or(minijson::Object{});
    }
    static double Num(const minijson::Object& o, const char* key) { return o.at(key).number; }

    static std::unique_ptr<synth::TempDir> dir_;
};

std::unique_ptr<synth::TempDir> ProbeEncode::dir_;

TEST_F(ProbeEncode, ConstantBitrateWithInfoHeader) {
    const Bytes bytes = ReadBytes(File("cbr.mp3"));
    ASSERT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "Info");
    const auto o = Probe("cbr.mp3");
    EXPECT_TRUE(o.at("valid").boolean);
    EXPECT_EQ(Num(o, "FirstFrame"), 0);
    EXPECT_EQ(Num(o, "Bitrate"), 128000);
    EXPECT_EQ(Num(o, "Samplerate"), 44100);
    EXPECT_EQ(Num(o, "Channels"), 2);
    EXPECT_EQ(Num(o, "Layer"), 3);
    EXPECT_EQ(Num(o, "MpegVersion"), 1);
    EXPECT_FALSE(o.at("IsVBR").boolean);
    EXPECT_EQ(Num(o, "FileSize"), static_cast<double>(bytes.size()));
    // Frame and byte counts come from the "Info" header (flags 15: frames at 44, bytes at 48).
    ASSERT_EQ(BE32(bytes, 40) & 3, 3u);
    EXPECT_EQ(Num(o, "Frames"), BE32(bytes, 44));
    EXPECT_EQ(Num(o, "MpegBytes"), BE32(bytes, 48));
    EXPECT_EQ(Num(o, "Duration"), BE32(bytes, 44) * 1152 / 44100.0 * 1000);
    EXPECT_GT(Num(o, "Duration"), 2000);
    EXPECT_LT(Num(o, "Duration"), 2200);
}

TEST_F(ProbeEncode, VariableBitrateWithXingHeader) {
    const Bytes bytes = ReadBytes(File("vbr.mp3"));
    ASSERT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "Xing");
    const auto o = Probe("vbr.mp3");
    EXPECT_TRUE(o.at("valid").boolean);
    EXPECT_TRUE(o.at("IsVBR").boolean);
    EXPECT_EQ(Num(o, "Frames"), BE32(bytes, 44));
    EXPECT_EQ(Num(o, "MpegBytes"), BE32(bytes, 48));
    // The average bitrate over the audio data, rounded.
    const double average = Num(o, "MpegBytes") * 8 / Num(o, "Duration") * 1000;
    EXPECT_EQ(Num(o, "Bitrate"), std::nearbyint(average));
    EXPECT_GT(Num(o, "Bitrate"), 8000);
    EXPECT_LT(Num(o, "Bitrate"), 320000);
}

TEST_F(ProbeEncode, LowerSampleRates) {
    const struct {
        const char* name;
        double version;
        double samplerate;
        double bitrate;
    } cases[] = {
        {"mpeg2.mp3", 2, 22050, 32000},
        {"mpeg25-11025.mp3", 2.5, 11025, 16000},
        {"mpeg25-8000.mp3", 2.5, 8000, 8000},
    };
    for (const auto& c : cases) {
        const auto o = Probe(c.name);
        EXPECT_TRUE(o.at("valid").boolean) << c.name;
        EXPECT_EQ(Num(o, "MpegVersion"), c.version) << c.name;
        EXPECT_EQ(Num(o, "Samplerate"), c.samplerate) << c.name;
        EXPECT_EQ(Num(o, "Bitrate"), c.bitrate) << c.name;
        EXPECT_EQ(Num(o, "Duration"), Num(o, "Frames") * 576 / c.samplerate * 1000) << c.name;
        EXPECT_GT(Num(o, "Duration"), 1900) << c.name;
        EXPECT_LT(Num(o, "Duration"), 2400) << c.name;
    }
}

TEST_F(ProbeEncode, Mono) {
    const auto o = Probe("mono.mp3");
    EXPECT_TRUE(o.at("valid").boolean);
    EXPECT_EQ(Num(o, "Channels"), 1);
    EXPECT_EQ(Num(o, "Bitrate"), 64000);
}

TEST_F(ProbeEncode, LeadingTagFromTheEncoder) {
    const Bytes bytes = ReadBytes(File("id3v2.mp3"));
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
    const double tagLength = 10 + (bytes[6] << 21 | bytes[7] << 14 | bytes[8] << 7 | bytes[9]);
    const auto o = Probe("id3v2.mp3");
    EXPECT_TRUE(o.at("valid").boolean);
    EXPECT_EQ(Num(o, "FirstFrame"), tagLength);
    EXPECT_EQ(Num(o, "Bitrate"), 128000);
}

TEST_F(ProbeEncode, TrailingTagFromTheEncoder) {
    const Bytes bytes = ReadBytes(File("id3v1.mp3"));
    ASSERT_EQ(std::string(bytes.end() - 128, bytes.end() - 125), "TAG");
    const auto o = Probe("id3v1.mp3");
    EXPECT_TRUE(o.at("valid").boolean);
    EXPECT_EQ(Num(o, "FileSize"), static_cast<double>(bytes.size()));
    EXPECT_EQ(Num(o, "MpegBytes"), BE32(bytes, 48));  // from the "Info" header
}

TEST_F(ProbeEncode, PlainStreamBetweenOurOwnTags) {
    const double plainSize = static_cast<double>(ReadBytes(File("plain.mp3")).size());
    const auto plain = Probe("plain.mp3");
    const auto o = Probe("own-tags.mp3");
    EXPECT_TRUE(o.at("valid").boolean);
    EXPECT_EQ(Num(o, "FirstFrame"), 1024);
    EXPECT_EQ(Num(o, "FileSize"), 1024 + plainSize + 128);
    // No header states the counts: the bytes between the tags, in 417-byte frames.
    EXPECT_EQ(Num(o, "MpegBytes"), plainSize);
    EXPECT_EQ(Num(o, "Frames"), std::nearbyint(plainSize / 417));
    EXPECT_EQ(Num(o, "Frames"), Num(plain, "Frames"));
    EXPECT_FALSE(o.at("IsVBR").boolean);
}

// The frames --count finds against the frames ffprobe decodes, on streams of every layer and
// version whose bitrate changes from frame to frame (VBR, ABR, Layer II VBR; the padding of
// 44.1 kHz CBR), and on two files joined end to end. ffprobe leaves out the decoded frames that a
// LAME header's encoder delay covers whole (the first frame of an MPEG 2 or 2.5 stream), so it is
// asked to keep them (skip_manual). No encoder writes Layer I or MPEG 2.5 Layer II: those streams
// are synthesised, their bitrate index changing with every frame.
TEST_F(ProbeEncode, CountAgreesWithFfprobeFrameForFrame) {
    if (!probe::OnPath("ffmpeg") || !probe::OnPath("ffprobe")) GTEST_SKIP() << "no ffmpeg";
    const std::string noise = File("noise.wav");
    probe::Run("sox", {"-n", "-r", "44100", "-c", "2", noise, "synth", "3", "pinknoise", "tremolo",
                       "8", "90"});
    // Each encode's command line, IN for the input; the output follows.
    const char* encodes[] = {
        "lame --quiet -V 2 IN",
        "lame --quiet --abr 96 IN",
        "lame --quiet -V 5 -t IN",
        "lame --quiet --resample 32 -b 64 IN",
        "lame --quiet --resample 22.05 -V 4 IN",
        "lame --quiet --resample 16 -V 6 -m m IN",
        "lame --quiet --resample 11.025 -V 4 IN",
        "lame --quiet --resample 8 -V 6 IN",
        "ffmpeg -v error -i IN -c:a mp2 -b:a 192k -f mp2",
        "ffmpeg -v error -i IN -ar 48000 -ac 1 -c:a mp2 -b:a 80k -f mp2",
        "ffmpeg -v error -i IN -c:a libtwolame -q:a 3 -f mp2",
        "ffmpeg -v error -i IN -ar 22050 -c:a mp2 -b:a 64k -f mp2",
        "ffmpeg -v error -i IN -ar 16000 -ac 1 -c:a libtwolame -q:a 3 -f mp2",
    };
    const auto words = [](const std::string& text) {
        std::vector<std::string> list;
        std::istringstream stream(text);
        for (std::string word; stream >> word;) list.push_back(word);
        return list;
    };
    std::vector<std::string> names = {"cbr.mp3", "mpeg2.mp3", "joined.mp3"};
    synth::WriteFile(File("joined.mp3"),
                     synth::Concat({ReadBytes(File("cbr.mp3")), ReadBytes(File("mpeg2.mp3"))}));
    for (const std::string encode : encodes) {
        names.push_back("encode" + std::to_string(names.size()) + ".mp3");
        std::vector<std::string> args = words(encode);
        *std::find(args.begin(), args.end(), "IN") = noise;
        args.push_back(File(names.back()));
        probe::Run(args[0], std::vector<std::string>(args.begin() + 1, args.end()));
    }
    for (const int version : {3, 2, 0}) {
        for (const int layer : {3, 2}) {
            Bytes data;
            for (int i = 0; i < 140; ++i) {
                // Single channel, where MPEG 1 Layer II allows 32 to 192 kbps.
                const synth::Header header{
                    .version = version,
                    .layer = layer,
                    .bitrate = 1 + i % (version == 3 && layer == 2 ? 10 : 14),
                    .padding = i % 3 == 0,
                    .mode = 3};
                data = synth::Concat({data, synth::Frame(header)});
            }
            names.push_back("synth" + std::to_string(names.size()) + ".mp3");
            synth::WriteFile(File(names.back()), data);
        }
    }
    for (const std::string& name : names) {
        const probe::Result ffprobe = probe::Run(
            "ffprobe", words("-v error -flags2 skip_manual -count_frames -select_streams "
                             "a -show_entries stream=nb_read_frames -of "
                             "default=nw=1:nk=1 " +
                             File(name)));
        const probe::Result counted = probe::RunProbe({"--count", "--json", File(name)});
        const auto o = minijson::Parse(counted.out.substr(0, counted.out.find('\n')));
        ASSERT_TRUE(o.has_value()) << name << counted.out;
        EXPECT_GT(Num(*o, "CountedFrames"), 40) << name;
        EXPECT_EQ(Num(*o, "CountedFrames"), std::stod("0" + ffprobe.out)) << name;
        EXPECT_EQ(o->at("FormatChange").text, name == "joined.mp3" ? "sample rate" : "") << name;
    }
}

TEST_F(ProbeEncode, AllAtOnceInOrder) {
    const char* names[] = {"cbr.mp3", "vbr.mp3", "mpeg2.mp3", "mono.mp3", "own-tags.mp3"};
    std::vector<std::string> args = {"--json"};
    for (const char* name : names) args.push_back(File(name));
    const probe::Result result = probe::RunProbe(args);
    EXPECT_EQ(result.status, 0);
    const auto lines = probe::Lines(result.out);
    ASSERT_EQ(lines.size(), std::size(names));
    for (size_t i = 0; i < lines.size(); ++i) {
        const auto o = minijson::Parse(lines[i]);
        ASSERT_TRUE(o.has_value());
        EXPECT_EQ(o->at("path").text, File(names[i]));
    }
}

}  // namespace
