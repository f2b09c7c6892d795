// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/FrameHeader.h"

#include <gtest/gtest.h>

#include "support/Mp3Synth.h"

namespace {

using Raw = std::array<uint8_t, 4>;

TEST(FrameHeader, DecodesEveryFieldOfACommonHeader) {
    const FrameHeader header = DecodeHeader({0xFF, 0xFB, 0x90, 0x64});
    EXPECT_EQ(header.bytRaw, (Raw{0xFF, 0xFB, 0x90, 0x64}));
    EXPECT_EQ(header.lngVersionCode, 3);
    EXPECT_EQ(header.lngLayerCode, 1);
    EXPECT_TRUE(header.blnProtectionBit);
    EXPECT_EQ(header.lngBitrateIndex, 9);
    EXPECT_EQ(header.lngSamplerateIndex, 0);
    EXPECT_FALSE(header.blnPadding);
    EXPECT_FALSE(header.blnPrivate);
    EXPECT_EQ(header.lngChannelMode, 1);
    EXPECT_EQ(header.lngModeExtension, 2);
    EXPECT_FALSE(header.blnCopyright);
    EXPECT_TRUE(header.blnOriginal);
    EXPECT_EQ(header.lngEmphasis, 0);

    EXPECT_TRUE(IsValidHeader(header));
    EXPECT_EQ(GetMpegVersion(header), 1.0f);
    EXPECT_EQ(GetLayer(header), 3);
    EXPECT_EQ(GetBitrate(header), 128000);
    EXPECT_EQ(GetSamplerate(header), 44100);
    EXPECT_EQ(GetChannels(header), 2);
    EXPECT_EQ(GetFrameLength(header), 417);
    EXPECT_EQ(GetSamplesPerFrame(header), 1152);
    EXPECT_EQ(GetSideInfoSize(header), 32);
}

TEST(FrameHeader, ProtectionBitClearMeansCrcProtected) {
    EXPECT_FALSE(DecodeHeader({0xFF, 0xFA, 0x90, 0x64}).blnProtectionBit);
}

TEST(FrameHeader, FlagsAndCodesOfTheLastByte) {
    const FrameHeader header = DecodeHeader({0xFF, 0xFB, 0x93, 0xCB});
    EXPECT_TRUE(header.blnPadding);
    EXPECT_TRUE(header.blnPrivate);
    EXPECT_EQ(header.lngChannelMode, 3);
    EXPECT_EQ(header.lngModeExtension, 0);
    EXPECT_TRUE(header.blnCopyright);
    EXPECT_FALSE(header.blnOriginal);
    EXPECT_EQ(header.lngEmphasis, 3);
    EXPECT_EQ(GetChannels(header), 1);
    EXPECT_EQ(GetSideInfoSize(header), 17);
}

struct LengthCase {
    const char* name;
    synth::Header header;
    int length;
    int samples;
    int sideInfo;
};

TEST(FrameHeader, FrameLengthsSamplesAndSideInformation) {
    const LengthCase cases[] = {
        {"MPEG 1 Layer III 128k 44100", {}, 417, 1152, 32},
        {"the same padded", {.padding = 1}, 418, 1152, 32},
        {"MPEG 2 Layer III 64k 22050", {.version = 2, .bitrate = 8, .mode = 0}, 208, 576, 17},
        {"MPEG 2 Layer III mono", {.version = 2, .bitrate = 8, .mode = 3}, 208, 576, 9},
        {"MPEG 1 Layer I 32k 48000 padded",
         {.layer = 3, .bitrate = 1, .samplerate = 1, .padding = 1},
         36,
         384,
         32},
        {"MPEG 2.5 Layer III 8k 8000", {.version = 0, .bitrate = 1, .samplerate = 2}, 72, 576, 17},
        {"the same padded",
         {.version = 0, .bitrate = 1, .samplerate = 2, .padding = 1},
         73,
         576,
         17},
        {"MPEG 2 Layer III 8k 22050", {.version = 2, .bitrate = 1}, 26, 576, 17},
        {"MPEG 2 Layer III 8k 24000", {.version = 2, .bitrate = 1, .samplerate = 1}, 24, 576, 17},
        {"MPEG 2 Layer II 160k 16000",
         {.version = 2, .layer = 2, .bitrate = 14, .samplerate = 2},
         1440,
         1152,
         17},
        {"MPEG 1 Layer II 384k 32000",
         {.layer = 2, .bitrate = 14, .samplerate = 2},
         1728,
         1152,
         32},
        {"MPEG 2 Layer I 256k 16000 padded",
         {.version = 2, .layer = 3, .bitrate = 14, .samplerate = 2, .padding = 1},
         772,
         384,
         17},
    };
    for (const LengthCase& c : cases) {
        const FrameHeader header = DecodeHeader(c.header.Raw());
        EXPECT_TRUE(IsValidHeader(header)) << c.name;
        EXPECT_EQ(GetFrameLength(header), c.length) << c.name;
        EXPECT_EQ(GetSamplesPerFrame(header), c.samples) << c.name;
        EXPECT_EQ(GetSideInfoSize(header), c.sideInfo) << c.name;
    }
}

TEST(FrameHeader, ImplausibleHeaders) {
    const struct {
        const char* name;
        Raw raw;
    } cases[] = {
        {"first byte not FF", {0xFE, 0xFB, 0x90, 0x64}},
        {"only two of the last three sync bits", {0xFF, 0xDF, 0x90, 0x64}},
        {"reserved version", {0xFF, 0xEB, 0x90, 0x64}},
        {"reserved layer", {0xFF, 0xF9, 0x90, 0x64}},
        {"free format", {0xFF, 0xFB, 0x00, 0x64}},
        {"bad bitrate index", {0xFF, 0xFB, 0xF0, 0x64}},
        {"reserved sample rate", {0xFF, 0xFB, 0x9C, 0x64}},
        {"all zero", {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(IsValidHeader(DecodeHeader(c.raw))) << c.name;
        EXPECT_FALSE(IsValidHeaderBytes(c.raw)) << c.name;
    }
}

TEST(FrameHeader, Mpeg1LayerTwoBitrateAndModeRules) {
    const struct {
        int bitrate;
        int mode;
        bool valid;
    } cases[] = {
        {1, 3, true},   {1, 0, false}, {1, 2, false},   // 32 kbps: single channel only
        {2, 3, true},   {3, 1, false}, {5, 3, true},    // 48, 56, 80 kbps likewise
        {5, 2, false},  {14, 0, true}, {14, 3, false},  // 384 kbps: two channels only
        {11, 3, false}, {12, 1, true}, {13, 3, false},  // 224, 256, 320 kbps likewise
        {4, 0, true},   {4, 3, true},  {8, 3, true},    // 64 and 128 kbps: every mode
    };
    for (const auto& c : cases) {
        const synth::Header header{.layer = 2, .bitrate = c.bitrate, .mode = c.mode};
        EXPECT_EQ(IsValidHeader(DecodeHeader(header.Raw())), c.valid)
            << "index " << c.bitrate << " mode " << c.mode;
        EXPECT_EQ(IsValidHeaderBytes(header.Raw()), c.valid)
            << "index " << c.bitrate << " mode " << c.mode;
    }
    // The rule is for MPEG 1 only: MPEG 2 Layer II at index 1 (8 kbps) is fine in stereo.
    EXPECT_TRUE(IsValidHeader(
        DecodeHeader(synth::Header{.version = 2, .layer = 2, .bitrate = 1, .mode = 0}.Raw())));
}

TEST(FrameHeader, BitrateTablesMatchTheStandards) {
    const int expected[5][14] = {
        {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
        {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    };
    // Version code and layer code of each row; MPEG 2 and 2.5 share rows, Layers II and III too.
    const struct {
        int version;
        int layer;
        int row;
    } uses[] = {{3, 3, 0}, {3, 2, 1}, {3, 1, 2}, {2, 3, 3}, {0, 3, 3},
                {2, 2, 4}, {2, 1, 4}, {0, 2, 4}, {0, 1, 4}};
    for (const auto& use : uses) {
        for (int index = 0; index < 16; ++index) {
            FrameHeader header;
            header.lngVersionCode = use.version;
            header.lngLayerCode = use.layer;
            header.lngBitrateIndex = index;
            const int want = (index == 0 || index == 15) ? 0 : expected[use.row][index - 1] * 1000;
            EXPECT_EQ(GetBitrate(header), want)
                << "version " << use.version << " layer " << use.layer << " index " << index;
        }
    }
    FrameHeader reserved;
    reserved.lngBitrateIndex = 9;
    reserved.lngVersionCode = 1;
    reserved.lngLayerCode = 1;
    EXPECT_EQ(GetBitrate(reserved), 0);
    reserved.lngVersionCode = 3;
    reserved.lngLayerCode = 0;
    EXPECT_EQ(GetBitrate(reserved), 0);
}

TEST(FrameHeader, SampleRatesVersionsAndLayers) {
    const int rates[4][4] = {
        {11025, 12000, 8000, 0}, {0, 0, 0, 0}, {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};
    const float versions[4] = {2.5f, 0.0f, 2.0f, 1.0f};
    const int layers[4] = {0, 3, 2, 1};
    for (int code = 0; code < 4; ++code) {
        FrameHeader header;
        header.lngVersionCode = code;
        header.lngLayerCode = code;
        for (int index = 0; index < 4; ++index) {
            header.lngSamplerateIndex = index;
            EXPECT_EQ(GetSamplerate(header), rates[code][index]) << code << "/" << index;
        }
        EXPECT_EQ(GetMpegVersion(header), versions[code]);
        EXPECT_EQ(GetLayer(header), layers[code]);
    }
    FrameHeader reserved;
    reserved.lngVersionCode = 1;
    EXPECT_EQ(GetSideInfoSize(reserved), 0);
    EXPECT_EQ(GetSamplesPerFrame(reserved), 0);
    EXPECT_EQ(GetFrameLength(reserved), 0);
}

// Over every header the decoder can see, a plausible one always has a usable frame length: at
// least 24 bytes (MPEG 2 Layer III, 8 kbps, 24000 Hz) and at most 2881 (MPEG 2.5 Layer II,
// 160 kbps, 8000 Hz, padded), and a sample rate.
TEST(FrameHeader, EveryPlausibleHeaderHasAUsableFrameLength) {
    int lngShortest = 1 << 30;
    int lngLongest = 0;
    int lngValid = 0;
    for (int b1 = 0xE0; b1 <= 0xFF; ++b1) {
        for (int b2 = 0; b2 <= 0xFF; ++b2) {
            for (int b3 : {0x00, 0x44, 0xC0, 0xFF}) {
                const FrameHeader header =
                    DecodeHeader({0xFF, static_cast<uint8_t>(b1), static_cast<uint8_t>(b2),
                                  static_cast<uint8_t>(b3)});
                if (!IsValidHeader(header)) continue;
                ++lngValid;
                ASSERT_GT(GetSamplerate(header), 0);
                ASSERT_GT(GetSamplesPerFrame(header), 0);
                lngShortest = std::min(lngShortest, GetFrameLength(header));
                lngLongest = std::max(lngLongest, GetFrameLength(header));
            }
        }
    }
    EXPECT_GT(lngValid, 1000);
    EXPECT_EQ(lngShortest, 24);
    EXPECT_EQ(lngLongest, kLongestFrame);  // the search reads this far past a candidate
}

// The raw test the search puts first gives the decoder's verdict: on every second and third
// byte, with last bytes of every channel mode, and on every first byte.
TEST(FrameHeader, RawTestAgreesWithTheDecodedHeader) {
    int lngValid = 0;
    for (int b1 = 0; b1 <= 0xFF; ++b1) {
        for (int b2 = 0; b2 <= 0xFF; ++b2) {
            for (int b3 : {0x00, 0x3F, 0x44, 0x80, 0xC0, 0xFF}) {
                for (int b0 : {0xFF, b2 ^ b3}) {
                    const Raw raw = {static_cast<uint8_t>(b0), static_cast<uint8_t>(b1),
                                     static_cast<uint8_t>(b2), static_cast<uint8_t>(b3)};
                    const bool blnValid = IsValidHeader(DecodeHeader(raw));
                    ASSERT_EQ(IsValidHeaderBytes(raw), blnValid)
                        << std::hex << b0 << " " << b1 << " " << b2 << " " << b3;
                    lngValid += blnValid;
                }
            }
        }
    }
    EXPECT_GT(lngValid, 4000);
}

}  // namespace
