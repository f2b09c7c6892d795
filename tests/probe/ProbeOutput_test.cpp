// SPDX-License-Identifier: GPL-3.0-or-later
#include "probe/ProbeOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis/FrameWalk.h"
#include "analysis/MP3Info.h"
#include "analysis/MP3InfoSource.h"
#include "probe/MiniJson.h"
#include "support/Mp3Synth.h"

namespace {

std::string Json(std::string_view bytes) {
    std::string out;
    AppendJsonString(out, bytes);
    return out;
}

TEST(ProbeOutput, PathEscapes) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"/music/a.mp3", R"("/music/a.mp3")"},
        {"say \"hi\"\\", R"("say \"hi\"\\")"},
        {"a\nb\tc\rd\be\ff", R"("a\nb\tc\rd\be\ff")"},
        {std::string("x\x01y\x1f\x7f", 5), R"("x\u0001y\u001f\u007f")"},
        {std::string("nul\0byte", 8), R"("nul\u0000byte")"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC \xF0\x9F\x8E\xB5",
         "\"Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC \xF0\x9F\x8E\xB5\""},
        // Bytes that are not part of valid UTF-8 become \udcXX of their value.
        {"caf\xE9.mp3", R"("caf\udce9.mp3")"},
        {"\x80\xBF", R"("\udc80\udcbf")"},
        {"\xC0\xAF", R"("\udcc0\udcaf")"},                      // overlong "/"
        {"\xE0\x80\x80", R"("\udce0\udc80\udc80")"},            // overlong
        {"\xED\xA0\x80", R"("\udced\udca0\udc80")"},            // a surrogate
        {"\xF4\x90\x80\x80", R"("\udcf4\udc90\udc80\udc80")"},  // past U+10FFFF
        {"\xF5", R"("\udcf5")"},
        {"\xE2\x82", R"("\udce2\udc82")"},        // cut short at the end
        {"\xE2\x82x", R"("\udce2\udc82x")"},      // cut short before ASCII
        {"\xFF\xC3\xA9", "\"\\udcff\xC3\xA9\""},  // a bad byte, then a good sequence
    };
    for (const auto& c : cases) EXPECT_EQ(Json(c.in), c.out) << c.in;
}

TEST(ProbeOutput, AnyBytesGiveValidJsonThatGivesThemBack) {
    // Read back with each \udcXX as its byte, every string is its own bytes again: no two
    // different paths share a "path".
    std::mt19937 random(42);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(random() % 12, '\0');
        for (char& c : bytes) c = static_cast<char>(random() % 3 ? random() : 0x80 | random());
        const std::string line = "{\"path\":" + Json(bytes) + "}";
        const auto object = minijson::Parse(line);
        ASSERT_TRUE(object.has_value()) << line;
        ASSERT_EQ(object->at("path").text, bytes) << line;
    }
    // Valid UTF-8 comes back unchanged.
    const std::string text = "/m\xC3\xBCsic/\xE2\x99\xAB \"x\"\n\\\x01.mp3";
    const auto object = minijson::Parse("{\"path\":" + Json(text) + "}");
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(object->at("path").text, text);
}

TEST(ProbeOutput, NumbersReadBackExactly) {
    for (const double value : {0.0, 261851.42857142858, 235102.04081632654, 26.122448979591837,
                               1e-300, 123456789.123456789, -5.5, 1e21}) {
        std::string out;
        AppendJsonNumber(out, value);
        EXPECT_EQ(std::strtod(out.c_str(), nullptr), value) << out;
        EXPECT_TRUE(minijson::Parse("{\"n\":" + out + "}").has_value()) << out;
    }
    std::string out;
    AppendJsonNumber(out, std::nan(""));
    EXPECT_EQ(out, "null");
}

TEST(ProbeOutput, DurationAsMinutesAndSeconds) {
    const struct {
        double ms;
        const char* text;
    } cases[] = {
        {0, "0:00"},     {261851.43, "4:22"}, {59499, "0:59"}, {59500, "1:00"},  {58500, "0:58"},
        {60000, "1:00"}, {3600000, "60:00"},  {499, "0:00"},   {-2000, "-0:02"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDuration(c.ms), c.text) << c.ms;
}

const char* const kProperties[] = {
    "FirstFrame",    "Duration",       "Channels",           "Samplerate",
    "Bitrate",       "FileSize",       "MpegBytes",          "Frames",
    "Layer",         "MpegVersion",    "CopyrightBit",       "OriginalBit",
    "PrivateBit",    "Protected",      "Emphasis",           "IsVBR",
    "CountedFrames", "CountedSamples", "CountedDuration",    "TruncatedBytes",
    "SkippedBytes",  "FormatChange",   "FormatChangeOffset", "FormatChangeAt"};

TEST(ProbeOutput, JsonLineNamesEveryProperty) {
    MP3Info info;
    ASSERT_TRUE(MP3InfoSource::ReadMP3Info(info, synth::Frames(synth::Header{}, 4)));
    const FrameWalkResult counted;
    std::string line;
    AppendJsonLine(line, "/x.mp3", "", info, &counted);
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\n');
    const auto object = minijson::Parse(line);
    ASSERT_TRUE(object.has_value()) << line;
    EXPECT_EQ(object->size(), std::size(kProperties) + 2);  // and "path", "valid"
    for (const char* name : kProperties) EXPECT_EQ(object->count(name), 1u) << name;
    EXPECT_TRUE(object->at("valid").boolean);
    EXPECT_EQ(object->at("Bitrate").number, 128000);
    EXPECT_EQ(object->at("IsVBR").kind, minijson::Value::Kind::Bool);
    EXPECT_EQ(object->at("CountedFrames").number, 0);
}

// A refused file has no stream: every property is null, never a 0 or false a script takes for one.
// Only its size is known, when the analysis read the file or it is empty.
TEST(ProbeOutput, RefusedFileHasNoValues) {
    const struct {
        synth::Bytes bytes;  // what the analysis read; none when it could not open the file
        bool emptyFile;
        const char* error;
        const char* fileSize;
    } cases[] = {
        {{}, false, "no such file", nullptr},
        {{}, true, "not a valid MP3 file", "0"},
        {synth::Bytes(3000, 7), false, "not a valid MP3 file", "3000"},
    };
    for (const auto& c : cases) {
        MP3Info info;
        if (!c.bytes.empty()) {
            ASSERT_FALSE(MP3InfoSource::ReadMP3Info(info, c.bytes));
        }
        const FrameWalkResult counted;
        std::string line;
        AppendJsonLine(line, "/x.mp3", c.error, info, &counted, c.emptyFile);
        const auto object = minijson::Parse(line);
        ASSERT_TRUE(object.has_value()) << line;
        EXPECT_FALSE(object->at("valid").boolean);
        EXPECT_EQ(object->at("error").text, c.error);
        for (const char* name : kProperties) {
            const minijson::Value& value = object->at(name);
            if (std::string_view(name) == "FileSize" && c.fileSize) {
                EXPECT_EQ(value.text, c.fileSize) << line;
            } else {
                EXPECT_EQ(value.kind, minijson::Value::Kind::Null) << name << " in " << line;
            }
        }
    }
}

TEST(ProbeOutput, HumanLineForAFileThatIsNotValid) {
    MP3Info info;
    std::string line;
    AppendHumanLine(line, "/x y.mp3", "not a valid MP3 file", info);
    EXPECT_EQ(line, "/x y.mp3: not a valid MP3 file\n");
}

}  // namespace
