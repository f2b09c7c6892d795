// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>

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

TEST_F(ProbeCli, UsageErrorsSayWhatIsWrongInOneLine) {
    const struct {
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {{}, "no FILE given"},
        {{"--json"}, "no FILE given"},
        {{"-rj", "--"}, "no FILE given"},
        {{"--jsn", "a.mp3"}, "unknown option '--jsn'"},
        {{"a.mp3", "--json=yes"}, "unknown option '--json=yes'"},
        {{"-x"}, "unknown option '-x'"},
        {{"-rjx", "a.mp3"}, "unknown option '-x' in '-rjx'"},
        {{"-j", "-V"}, "unknown option '-V'"},
    };
    for (const auto& c : cases) {
        const probe::Result result = probe::RunProbe(c.args);
        EXPECT_EQ(result.status, 2) << c.line;
        EXPECT_TRUE(result.out.empty());
        EXPECT_EQ(result.err, "kestrelund-info: " + c.line +
                                  "\nTry 'kestrelund-info --help' for more information.\n");
    }
}

// Every reason a file can be refused for, in the words the probe prints.
const char* const kReasons[] = {
    "no such file",         "is a folder",    "permission denied",
    "not a valid MP3 file", "cannot be read", "cannot be searched (kestrelund-walk did not run)"};

TEST_F(ProbeCli, HelpAndManualNameEveryReasonAndTheEscape) {
    for (const std::string option : {"--help", "-h", "-jh"}) {
        const probe::Result result = probe::RunProbe({option, "--frobnicate"});
        EXPECT_EQ(result.status, 0);
        EXPECT_TRUE(result.out.starts_with("Usage: kestrelund-info [OPTION]... FILE...\n"));
        EXPECT_TRUE(result.err.empty());
    }
    const std::string help = probe::RunProbe({"--help"}).out;
    const std::string manual = probe::Slurp(KESTRELUND_INFO_MANUAL);
    for (const std::string& text : {help, manual}) {
        for (const char* reason : kReasons)
            EXPECT_NE(text.find(reason), std::string::npos) << reason;
        // A name that is not UTF-8 is followed by its bytes: it has no reason of its own.
        EXPECT_EQ(text.find("not valid UTF-8"), std::string::npos);
        EXPECT_NE(text.find("udcXX"), std::string::npos);  // how stray bytes are written
        EXPECT_EQ(text.find("u00XX"), std::string::npos);
    }
    for (const char* option : {"-j, --json", "-c, --count", "-r, --recursive", "-h, --help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
        const std::string_view both(option);
        const std::string marked =
            "*" + std::string(both.substr(0, 2)) + "*, *" + std::string(both.substr(4)) + "*";
        EXPECT_NE(manual.find(marked), std::string::npos) << marked;
    }
}

// Short options join behind one "-" and mean what their long forms mean, before or after the
// files; after "--" nothing is an option.
TEST_F(ProbeCli, ShortOptionsJoinAndMatchTheirLongForms) {
    std::filesystem::create_directory(dir.File("tree"));
    Cbr("tree/a.mp3");
    const std::string tree = dir.File("tree");
    const probe::Result expected = probe::RunProbe({"--recursive", "--json", "--count", tree});
    ASSERT_EQ(expected.status, 0);
    ASSERT_NE(expected.out.find("\"CountedFrames\":4,"), std::string::npos) << expected.out;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-rjc", tree},
                                                 {"-r", "-j", "-c", tree},
                                                 {"-cj", "-r", tree},
                                                 {tree, "-jrc"},
                                                 {"-rrjc", "--json", tree}}) {
        const probe::Result result = probe::RunProbe(args);
        EXPECT_EQ(result.status, 0) << testing::PrintToString(args);
        EXPECT_EQ(result.out, expected.out) << testing::PrintToString(args);
    }
    EXPECT_EQ(probe::RunProbe({"-c", "--", "-j"}).out, "-j: no such file\n");
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

// A valid file whose name is UTF-8 prints byte for byte as it always has, plain and as JSON.
TEST_F(ProbeCli, ValidFilesWithUtf8NamesPrintAsBefore) {
    using synth::Header;
    const std::string folder = dir.File("Gr\xC3\xBC\xC3\x9F");
    std::filesystem::create_directory(folder);
    synth::WriteFile(
        folder + "/Caf\xC3\xA9 \xE2\x99\xAB \"1\".mp3",
        synth::Concat({synth::Id3v2Tag(300), synth::Frames(Header{}, 20), synth::TrailingTag()}));
    synth::WriteFile(folder + "/\xE6\x97\xA5\xE6\x9C\xAC\t2.mp3",
                     synth::Concat({synth::XingFrame(Header{.mode = 3}, "Xing", 3, 9, 3000),
                                    synth::Frames(Header{.mode = 3, .copyright = 1}, 8)}));
    synth::WriteFile(folder + "/joined.mp3",
                     synth::Concat({synth::Frames(Header{}, 40),
                                    synth::Frames(Header{.version = 2, .bitrate = 5}, 10)}));
    // The lines as the probe has always printed them, "@" standing for the folder.
    const struct {
        std::vector<std::string> args;
        std::string text;
    } cases[] = {
        {{"-r", folder},
         "@/Caf\xC3\xA9 \xE2\x99\xAB \"1\".mp3: MPEG-1 Layer III, 128 kbps CBR, 44100 Hz,"
         " stereo, 0:01\n"
         "@/joined.mp3: MPEG-1 Layer III, 128 kbps CBR, 44100 Hz, stereo, 0:01\n"
         "@/\xE6\x97\xA5\xE6\x9C\xAC\t2.mp3: MPEG-1 Layer III, 102 kbps VBR, 44100 Hz,"
         " mono, 0:00\n"},
        {{"-r", "--json", "--count", folder},
         "{\"path\":\"@/Caf\xC3\xA9 \xE2\x99\xAB \\\"1\\\".mp3\",\"valid\":true,\"FirstFrame\":300,"
         "\"Duration\":522.4489795918367,\"Channels\":2,\"Samplerate\":44100,\"Bitrate\":128000,"
         "\"FileSize\":8768,\"MpegBytes\":8340,\"Frames\":20,\"Layer\":3,\"MpegVersion\":1,"
         "\"CopyrightBit\":false,\"OriginalBit\":true,\"PrivateBit\":false,\"Protected\":false,"
         "\"Emphasis\":false,\"IsVBR\":false,\"CountedFrames\":20,\"CountedSamples\":23040,"
         "\"CountedDuration\":522.4489795918367,\"TruncatedBytes\":0,\"SkippedBytes\":0,"
         "\"FormatChange\":null,\"FormatChangeOffset\":null,\"FormatChangeAt\":null}\n"
         "{\"path\":\"@/joined.mp3\",\"valid\":true,\"FirstFrame\":0,"
         "\"Duration\":1123.265306122449,\"Channels\":2,\"Samplerate\":44100,"
         "\"Bitrate\":128000,\"FileSize\":17980,\"MpegBytes\":17980,\"Frames\":43,\"Layer\":3,"
         "\"MpegVersion\":1,\"CopyrightBit\":false,\"OriginalBit\":true,"
         "\"PrivateBit\":false,\"Protected\":false,\"Emphasis\":false,\"IsVBR\":false,"
         "\"CountedFrames\":50,\"CountedSamples\":51840,\"CountedDuration\":1306.1224489795918,"
         "\"TruncatedBytes\":0,\"SkippedBytes\":0,\"FormatChange\":\"sample rate\","
         "\"FormatChangeOffset\":16680,\"FormatChangeAt\":1044.8979591836735}\n"
         "{\"path\":\"@/\xE6\x97\xA5\xE6\x9C\xAC\\t2.mp3\",\"valid\":true,\"FirstFrame\":0,"
         "\"Duration\":235.1020408163265,\"Channels\":1,\"Samplerate\":44100,\"Bitrate\":102083,"
         "\"FileSize\":3753,\"MpegBytes\":3000,\"Frames\":9,\"Layer\":3,\"MpegVersion\":1,"
         "\"CopyrightBit\":false,\"OriginalBit\":true,\"PrivateBit\":false,\"Protected\":false,"
         "\"Emphasis\":false,\"IsVBR\":true,\"CountedFrames\":8,\"CountedSamples\":9216,"
         "\"CountedDuration\":208.9795918367347,\"TruncatedBytes\":0,\"SkippedBytes\":0,"
         "\"FormatChange\":null,\"FormatChangeOffset\":null,\"FormatChangeAt\":null}\n"},
    };
    for (const auto& c : cases) {
        std::string expected = c.text;
        for (size_t at; (at = expected.find('@')) != std::string::npos;)
            expected.replace(at, 1, folder);
        const probe::Result result = probe::RunProbe(c.args);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, expected) << testing::PrintToString(c.args);
    }
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
    EXPECT_EQ(first->at("Bitrate").kind, minijson::Value::Kind::Null);
    EXPECT_EQ(first->at("MpegVersion").kind, minijson::Value::Kind::Null);
    EXPECT_EQ(first->at("IsVBR").kind, minijson::Value::Kind::Null);
    const auto second = minijson::Parse(lines[1]);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->at("path").text, dir.Path().string());
    EXPECT_EQ(second->at("FileSize").kind, minijson::Value::Kind::Null);
    // An empty file's size is known: 0.
    synth::WriteFile(dir.File("empty.mp3"), Bytes());
    const auto empty = minijson::Parse(probe::RunProbe({"--json", dir.File("empty.mp3")}).out);
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->at("error").text, "not a valid MP3 file");
    EXPECT_EQ(empty->at("FileSize").text, "0");
    EXPECT_EQ(empty->at("Bitrate").kind, minijson::Value::Kind::Null);
}

TEST_F(ProbeCli, AwkwardPathsGiveValidJsonThatGivesTheirBytesBack) {
    // The two cafés differ only in how their é is written (UTF-8, Latin-1): their paths differ.
    const std::vector<std::string> names = {
        "plain.mp3",     "with space.mp3",  "quote\"back\\.mp3", "new\nline.mp3",
        "tab\t\x01.mp3", "caf\xC3\xA9.mp3", "caf\xE9.mp3",       "-starts-with-dash.mp3",
        "\xFF\xFE.mp3",  "\xED\xA0\x80.mp3"};
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
        EXPECT_EQ(object->at("path").text, dir.File(names[i]));  // \udcXX read as its byte
    }
    EXPECT_NE(lines[6].find("/caf\\udce9.mp3\""), std::string::npos) << lines[6];

    // Python's json and os.fsencode give the name's bytes back.
    if (!probe::OnPath("python3")) GTEST_SKIP() << "no python3";
    const probe::Result python =
        probe::Run("env", {"PYTHONUTF8=1", "python3", "-c",
                           "import json, os, sys\n"
                           "sys.stdout.buffer.write(os.fsencode(json.loads(sys.argv[1])['path']))",
                           lines[6]});
    EXPECT_EQ(python.status, 0) << python.err;
    EXPECT_EQ(python.out, dir.File("caf\xE9.mp3"));
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
    EXPECT_EQ(refused->at("CountedFrames").kind, minijson::Value::Kind::Null);
    EXPECT_EQ(refused->at("FormatChange").kind, minijson::Value::Kind::Null);

    // With -r, a name in any encoding is found and read by its bytes: "caf\xE9.mp3" (Latin-1)
    // beside "caf\xC3\xA9.mp3" (UTF-8), which holds other frames, each with its own "path".
    std::filesystem::create_directory(dir.File("tree"));
    std::filesystem::copy_file(joined, dir.File("tree/caf\xC3\xA9.mp3"));
    synth::WriteFile(dir.File("tree/caf\xE9.mp3"), synth::Frames(synth::Header{}, 4));
    const probe::Result tree = probe::RunProbe({"-r", "--count", "--json", dir.File("tree")});
    EXPECT_EQ(tree.status, 0);
    std::map<std::string, double> counted;
    for (const std::string& line : probe::Lines(tree.out)) {
        const auto object = minijson::Parse(line);
        ASSERT_TRUE(object.has_value()) << line;
        counted[object->at("path").text] = object->at("CountedFrames").number;
    }
    EXPECT_EQ(counted, (std::map<std::string, double>{{dir.File("tree/caf\xC3\xA9.mp3"), 500},
                                                      {dir.File("tree/caf\xE9.mp3"), 4}}));
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

// The probe starts without loading Qt (its folder walk, a program of its own, does): the names of
// the libraries it needs hold no Qt library.
TEST_F(ProbeCli, LinksNoQt) {
    const std::string program = probe::Slurp(KESTRELUND_INFO);
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.find("libQt"), std::string::npos);
}

}  // namespace
