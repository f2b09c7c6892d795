// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "probe/MiniJson.h"
#include "probe/RunProbe.h"
#include "support/Mp3Synth.h"
#include "support/RunAsNobody.h"

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
        EXPECT_NE(result.err.find("Usage: kestrelund-info [--json] [--count] [-r] FILE..."),
                  std::string::npos);
    }
}

TEST_F(ProbeCli, HelpGoesToStandardOutput) {
    const probe::Result result = probe::RunProbe({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find("Usage: kestrelund-info [--json] [--count] [-r] FILE..."),
              std::string::npos);
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
    EXPECT_EQ(result.out, example + ": MPEG-1 Layer III, 128 kbps CBR, 44100 Hz, stereo, 4:22\n" +
                              vbr + ": MPEG-1 Layer III, 136 kbps VBR, 44100 Hz, mono, 3:55\n");

    result = probe::RunProbe({example, junk, dir.File("missing.mp3")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(probe::Lines(result.out),
              (std::vector<std::string>{
                  example + ": MPEG-1 Layer III, 128 kbps CBR, 44100 Hz, stereo, 4:22",
                  junk + ": not a valid MP3 file", dir.File("missing.mp3") + ": no such file"}));
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

TEST_F(ProbeCli, CountAddsWhatTheWalkFound) {
    // 400 frames at 44100 Hz (10.449 s), then 100 at 22050 Hz (2.612 s), then a trailing tag.
    const std::string joined = dir.File("joined.mp3");
    synth::WriteFile(joined, synth::Concat({synth::Frames(synth::Header{}, 400),
                                            synth::Frames(synth::Header{.version = 2}, 100),
                                            synth::TrailingTag()}));
    const std::string junk = dir.File("junk.mp3");
    synth::WriteFile(junk, Bytes(3000, 7));
    // Without the flag the line is the analysis' own, which takes the whole file for 44100 Hz.
    const std::string plain = joined + ": MPEG-1 Layer III, 128 kbps CBR, 44100 Hz, stereo, 0:12";
    EXPECT_EQ(probe::RunProbe({joined}).out, plain + "\n");
    EXPECT_EQ(probe::RunProbe({"--count", joined, junk}).out,
              plain + "; counted 500 frames, 0:13.061; the sample rate changes at 0:10\n" + junk +
                  ": not a valid MP3 file\n");

    const auto lines = probe::Lines(probe::RunProbe({"--json", "--count", joined, junk}).out);
    ASSERT_EQ(lines.size(), 2u);
    const auto o = minijson::Parse(lines[0]);
    const auto refused = minijson::Parse(lines[1]);
    ASSERT_TRUE(o.has_value() && refused.has_value()) << lines[0] << lines[1];
    EXPECT_EQ(o->at("Frames").number, 463);  // the analysis keeps its estimate from the bytes
    EXPECT_EQ(o->at("CountedFrames").number, 500);
    EXPECT_EQ(o->at("CountedSamples").number, 400 * 1152 + 100 * 576);
    EXPECT_EQ(o->at("CountedDuration").number,
              400 * 1152 / 44100.0 * 1000 + 100 * 576 / 22050.0 * 1000);
    EXPECT_EQ(o->at("FormatChange").text, "sample rate");
    EXPECT_EQ(o->at("FormatChangeOffset").number, 400 * 417);
    EXPECT_EQ(o->at("FormatChangeAt").number, 400 * 1152 / 44100.0 * 1000);
    EXPECT_EQ(refused->at("CountedFrames").number, 0);
    EXPECT_EQ(refused->at("FormatChange").kind, minijson::Value::Kind::Null);

    // With -r, a name that is not UTF-8 comes after the files found, with nothing counted.
    std::filesystem::create_directory(dir.File("tree"));
    std::filesystem::copy_file(joined, dir.File("tree/a.mp3"));
    std::filesystem::copy_file(joined, dir.File("tree/b\xFF.mp3"));
    const auto found =
        probe::Lines(probe::RunProbe({"-r", "--count", "--json", dir.File("tree")}).out);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_NE(found[0].find("\"CountedFrames\":500,"), std::string::npos);
    EXPECT_NE(found[1].find("\"CountedFrames\":0,"), std::string::npos);
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

// Each refusal names its reason, in the plain line and as the JSON line's "error".
void ExpectReasons(const std::vector<std::pair<std::string, std::string>>& cases) {
    for (const auto& [path, reason] : cases) {
        probe::Result result = probe::RunProbe({path});
        EXPECT_EQ(result.status, 1) << path;
        EXPECT_EQ(result.out, path + ": " + reason + "\n");
        result = probe::RunProbe({"--json", path});
        EXPECT_EQ(result.status, 1) << path;
        const auto object = minijson::Parse(result.out);
        ASSERT_TRUE(object.has_value()) << result.out;
        EXPECT_FALSE(object->at("valid").boolean);
        EXPECT_EQ(object->at("error").text, reason) << path;
    }
}

TEST_F(ProbeCli, RefusalsSayWhy) {
    const std::string junk = dir.File("junk.mp3");
    synth::WriteFile(junk, Bytes(3000, 7));
    ASSERT_EQ(mkfifo(dir.File("pipe.mp3").c_str(), 0644), 0);
    ExpectReasons({{dir.File("missing.mp3"), "no such file"},
                   {junk + "/inside.mp3", "no such file"},
                   {dir.Path().string(), "is a folder"},
                   {junk, "not a valid MP3 file"},
                   {dir.File("pipe.mp3"), "not a valid MP3 file"}});
    // A valid file's JSON line has no "error".
    const auto object = minijson::Parse(probe::RunProbe({"--json", Cbr("ok.mp3")}).out);
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(object->count("error"), 0u);
}

TEST_F(ProbeCli, UnreadableFileAndFolderArePermissionDenied) {
    KESTRELUND_RUN_AS_ORDINARY_USER("root reads every file")
    const std::string locked = Cbr("locked.mp3");
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    std::filesystem::create_directory(dir.File("Locked"));
    ASSERT_EQ(chmod(dir.File("Locked").c_str(), 0), 0);
    ExpectReasons({{locked, "permission denied"}, {dir.File("Locked/a.mp3"), "permission denied"}});
    const probe::Result result = probe::RunProbe({"-r", dir.File("Locked")});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, dir.File("Locked") + ": permission denied\n");
    chmod(dir.File("Locked").c_str(), 0755);
}

TEST_F(ProbeCli, RecursiveWalkFollowsTheFolderButtonsRulesAndOrder) {
    for (const char* folder : {"Music/Album 10", "Music/album 9", "Music/.hidden", "Music/b/c"})
        std::filesystem::create_directories(dir.File(folder));
    for (const char* name : {"Music/Track 10.mp3", "Music/track 9.MP3", "Music/~lock.mp3",
                             "Music/.dot.mp3", "Music/album 9/01.mp3", "Music/Album 10/01.mp3",
                             "Music/b/c/deep.mp3", "Music/.hidden/x.mp3"})
        Cbr(name);
    synth::WriteFile(dir.File("Music/b/junk.mp3"), Bytes(3000, 7));
    synth::WriteFile(dir.File("Music/notes.txt"), Bytes(10, 'x'));
    const std::string music = dir.File("Music");
    const std::vector<std::string> expected = {
        music + "/.dot.mp3",       music + "/track 9.MP3",     music + "/Track 10.mp3",
        music + "/album 9/01.mp3", music + "/Album 10/01.mp3", music + "/b/junk.mp3",
        music + "/b/c/deep.mp3"};

    probe::Result result = probe::RunProbe({"-r", music + "/"});
    EXPECT_EQ(result.status, 1);  // junk.mp3
    const auto lines = probe::Lines(result.out);
    ASSERT_EQ(lines.size(), expected.size()) << result.out;
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].substr(0, lines[i].find(": ")), expected[i]);
    EXPECT_EQ(lines[5], music + "/b/junk.mp3: not a valid MP3 file");

    // A file given with -r is analysed as a file; a missing path is said to be missing.
    result = probe::RunProbe({"-r", "--json", music, music + "/Track 10.mp3", dir.File("gone")});
    const auto objects = probe::Lines(result.out);
    ASSERT_EQ(objects.size(), expected.size() + 2);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(minijson::Parse(objects[i])->at("path").text, expected[i]);
    EXPECT_TRUE(minijson::Parse(objects[expected.size()])->at("valid").boolean);
    EXPECT_EQ(minijson::Parse(objects.back())->at("error").text, "no such file");
}

}  // namespace
