#include <gtest/gtest.h>

#include "probe/MiniJson.h"
#include "probe/RunProbe.h"
#include "support/Mp3Synth.h"

namespace {

using synth::Bytes;

class ProbeCli : public ::testing::Test {
  protected:
    std::string Cbr(const std::string& name, int frames = 4) {
        const std::string path = dir.File(name);
        synth::WriteFile(path, synth::Frames(synth::Header{}, frames));
        return path;
    }
    synth::TempDir dir;
};

TEST_F(ProbeCli, UsageErrors) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--json"}, {"--frobnicate", "a.mp3"}, {"-x"}, {"--"}}) {
        const probe::Result result = probe::RunProbe(args);
        EXPECT_EQ(result.status, 2) << testing::PrintToString(args);
        EXPECT_TRUE(result.out.empty());
        EXPECT_NE(result.err.find("Usage: kestrelund-info [--json] FILE..."), std::string::npos);
    }
}

TEST_F(ProbeCli, HelpGoesToStandardOutput) {
    const probe::Result result = probe::RunProbe({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("Usage: kestrelund-info [--json] FILE..."), std::string::npos);
    EXPECT_NE(result.out.find("\\u00XX"), std::string::npos);  // how stray bytes are written
    EXPECT_TRUE(result.err.empty());
}

TEST_F(ProbeCli, HumanLinesAndExitStatus) {
    const std::string example = dir.File("example.mp3");
    synth::WriteSparse(example, synth::Frames(synth::Header{}, 2), 4180000, synth::TrailingTag());
    const std::string vbr = dir.File("vbr.mp3");
    synth::WriteFile(
        vbr, synth::Concat({synth::XingFrame(synth::Header{.mode = 3}, "Xing", 3, 9000, 4000000),
                            synth::Frame(synth::Header{.mode = 3})}));
    const std::string junk = dir.File("junk.mp3");
    synth::WriteFile(junk, Bytes(3000, 7));

    probe::Result result = probe::RunProbe({example, vbr});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, example + ": 128 kbps, 44100 Hz, stereo, 4:22, CBR\n" + vbr +
                              ": 136 kbps, 44100 Hz, mono, 3:55, VBR\n");

    result = probe::RunProbe({example, junk, dir.File("missing.mp3")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(probe::Lines(result.out),
              (std::vector<std::string>{example + ": 128 kbps, 44100 Hz, stereo, 4:22, CBR",
                                        junk + ": not a valid MP3 file",
                                        dir.File("missing.mp3") + ": not a valid MP3 file"}));
}

TEST_F(ProbeCli, JsonOfTheConstantBitrateExample) {
    const std::string example = dir.File("example.mp3");
    synth::WriteSparse(example, synth::Frames(synth::Header{}, 2), 4180000, synth::TrailingTag());
    const probe::Result result = probe::RunProbe({"--json", example});
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "{\"path\":\"" + example +
                  "\",\"valid\":true,\"FirstFrame\":0,\"Duration\":261851.42857142858,"
                  "\"Channels\":2,\"Samplerate\":44100,\"Bitrate\":128000,\"FileSize\":4180000,"
                  "\"MpegBytes\":4179872,\"Frames\":10024,\"Layer\":3,\"MpegVersion\":1,"
                  "\"CopyrightBit\":false,\"OriginalBit\":true,\"PrivateBit\":false,"
                  "\"Protected\":false,\"Emphasis\":false,\"IsVBR\":false}\n");
}

TEST_F(ProbeCli, JsonForFilesThatAreNotValid) {
    const std::string junk = dir.File("junk.mp3");
    synth::WriteFile(junk, Bytes(20000, 1));
    const probe::Result result = probe::RunProbe({"--json", junk, dir.Path().string()});
    EXPECT_EQ(result.status, 1);
    const auto lines = probe::Lines(result.out);
    ASSERT_EQ(lines.size(), 2u);
    const auto first = minijson::Parse(lines[0]);
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(first->at("valid").boolean);
    EXPECT_EQ(first->at("FileSize").number, 20000);
    EXPECT_EQ(first->at("Bitrate").number, 0);
    EXPECT_EQ(first->at("MpegVersion").number, 0);
    const auto second = minijson::Parse(lines[1]);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->at("path").text, dir.Path().string());
    EXPECT_EQ(second->at("FileSize").number, 0);
}

TEST_F(ProbeCli, AwkwardPathsGiveValidJson) {
    const std::vector<std::string> names = {
        "plain.mp3",     "with space.mp3",  "quote\"back\\.mp3",  "new\nline.mp3",
        "tab\t\x01.mp3", "caf\xC3\xA9.mp3", "latin1-caf\xE9.mp3", "-starts-with-dash.mp3"};
    std::vector<std::string> args = {"--json", "--"};
    for (const std::string& name : names) args.push_back(Cbr(name));
    const probe::Result result = probe::RunProbe(args);
    ASSERT_EQ(result.status, 0) << result.err;
    // A path with a newline stays on one line: every line is one whole object.
    const auto lines = probe::Lines(result.out);
    ASSERT_EQ(lines.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const auto object = minijson::Parse(lines[i]);
        ASSERT_TRUE(object.has_value()) << lines[i];
        EXPECT_TRUE(object->at("valid").boolean);
        if (names[i].find('\xE9') == std::string::npos) {
            EXPECT_EQ(object->at("path").text, dir.File(names[i]));
        } else {
            // The stray byte E9 reads back as U+00E9.
            EXPECT_EQ(object->at("path").text, dir.File("latin1-caf\xC3\xA9.mp3"));
        }
    }
}

TEST_F(ProbeCli, OptionsMayFollowFilesAndRepeat) {
    const std::string a = Cbr("a.mp3");
    const probe::Result result = probe::RunProbe({a, "--json", "--json"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(minijson::Parse(probe::Lines(result.out).at(0)).has_value());
}

TEST_F(ProbeCli, ManyFilesInOneRun) {
    std::vector<std::string> args = {"--json"};
    for (int i = 0; i < 120; ++i) args.push_back(Cbr("f" + std::to_string(i) + ".mp3", 2 + i % 5));
    const probe::Result result = probe::RunProbe(args);
    EXPECT_EQ(result.status, 0);
    const auto lines = probe::Lines(result.out);
    ASSERT_EQ(lines.size(), 120u);
    for (int i = 0; i < 120; ++i) {
        const auto object = minijson::Parse(lines[static_cast<size_t>(i)]);
        ASSERT_TRUE(object.has_value());
        EXPECT_EQ(object->at("path").text, args[static_cast<size_t>(i) + 1]);  // in order
        EXPECT_EQ(object->at("Frames").number, 2 + i % 5);
    }
}

}  // namespace
