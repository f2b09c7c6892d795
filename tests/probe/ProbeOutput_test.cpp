// SPDX-License-Identifier: GPL-3.0-or-later
#include "probe/ProbeOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis/MP3Info.h"
#include "probe/MiniJson.h"

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
        // Bytes that are not valid UTF-8 become \u00XX of their value.
        {"caf\xE9.mp3", R"("caf\u00e9.mp3")"},
        {"\x80\xBF", R"("\u0080\u00bf")"},
        {"\xC0\xAF", R"("\u00c0\u00af")"},                      // overlong "/"
        {"\xE0\x80\x80", R"("\u00e0\u0080\u0080")"},            // overlong
        {"\xED\xA0\x80", R"("\u00ed\u00a0\u0080")"},            // a surrogate
        {"\xF4\x90\x80\x80", R"("\u00f4\u0090\u0080\u0080")"},  // past U+10FFFF
        {"\xF5", R"("\u00f5")"},
        {"\xE2\x82", R"("\u00e2\u0082")"},        // cut short at the end
        {"\xE2\x82x", R"("\u00e2\u0082x")"},      // cut short before ASCII
        {"\xFF\xC3\xA9", "\"\\u00ff\xC3\xA9\""},  // a bad byte, then a good sequence
    };
    for (const auto& c : cases) EXPECT_EQ(Json(c.in), c.out) << c.in;
}

TEST(ProbeOutput, AnyBytesGiveValidJson) {
    std::mt19937 random(42);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(random() % 12, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        const std::string line = "{\"path\":" + Json(bytes) + "}";
        const auto object = minijson::Parse(line);
        ASSERT_TRUE(object.has_value()) << line;
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

TEST(ProbeOutput, JsonLineNamesEveryProperty) {
    MP3Info info;
    std::string line;
    AppendJsonLine(line, "/x.mp3", "no such file", info);
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\n');
    const auto object = minijson::Parse(line);
    ASSERT_TRUE(object.has_value()) << line;
    const char* names[] = {"path",       "valid",      "error",       "FirstFrame",   "Duration",
                           "Channels",   "Samplerate", "Bitrate",     "FileSize",     "MpegBytes",
                           "Frames",     "Layer",      "MpegVersion", "CopyrightBit", "OriginalBit",
                           "PrivateBit", "Protected",  "Emphasis",    "IsVBR"};
    EXPECT_EQ(object->size(), std::size(names));
    for (const char* name : names) EXPECT_EQ(object->count(name), 1u) << name;
    EXPECT_EQ(object->at("valid").kind, minijson::Value::Kind::Bool);
    EXPECT_EQ(object->at("error").text, "no such file");
    EXPECT_EQ(object->at("Duration").kind, minijson::Value::Kind::Number);
}

TEST(ProbeOutput, HumanLineForAFileThatIsNotValid) {
    MP3Info info;
    std::string line;
    AppendHumanLine(line, "/x y.mp3", "not a valid MP3 file", info);
    EXPECT_EQ(line, "/x y.mp3: not a valid MP3 file\n");
}

}  // namespace
