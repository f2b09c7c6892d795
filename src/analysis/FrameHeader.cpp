// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/FrameHeader.h"

#include "analysis/AnalysisError.h"
#include "analysis/Bitstream.h"

namespace {

constexpr int32_t kVersion25 = 0;
constexpr int32_t kVersion2 = 2;
constexpr int32_t kVersion1 = 3;
constexpr int32_t kLayerIII = 1;
constexpr int32_t kLayerII = 2;
constexpr int32_t kLayerI = 3;

// Bitrates in kbps by bitrate index 0 to 15; 0 where the index has no bitrate.
using BitrateRow = std::array<int32_t, 16>;
constexpr BitrateRow kMpeg1Layer1 = {0,   32,  64,  96,  128, 160, 192, 224,
                                     256, 288, 320, 352, 384, 416, 448, 0};
constexpr BitrateRow kMpeg1Layer2 = {0,   32,  48,  56,  64,  80,  96,  112,
                                     128, 160, 192, 224, 256, 320, 384, 0};
constexpr BitrateRow kMpeg1Layer3 = {0,   32,  40,  48,  56,  64,  80,  96,
                                     112, 128, 160, 192, 224, 256, 320, 0};
constexpr BitrateRow kMpeg2Layer1 = {0,   32,  48,  56,  64,  80,  96,  112,
                                     128, 144, 160, 176, 192, 224, 256, 0};
constexpr BitrateRow kMpeg2Layer23 = {0,  8,  16, 24,  32,  40,  48,  56,
                                      64, 80, 96, 112, 128, 144, 160, 0};
constexpr BitrateRow kNoBitrates = {};

// Rows by version code (2.5, reserved, 2, 1) and layer code (reserved, III, II, I).
constexpr std::array<std::array<const BitrateRow*, 4>, 4> kBitrateRows = {{
    {&kNoBitrates, &kMpeg2Layer23, &kMpeg2Layer23, &kMpeg2Layer1},
    {&kNoBitrates, &kNoBitrates, &kNoBitrates, &kNoBitrates},
    {&kNoBitrates, &kMpeg2Layer23, &kMpeg2Layer23, &kMpeg2Layer1},
    {&kNoBitrates, &kMpeg1Layer3, &kMpeg1Layer2, &kMpeg1Layer1},
}};

// Sample rates in Hz by version code and sample-rate index; 0 for reserved entries.
constexpr std::array<std::array<int32_t, 4>, 4> kSamplerates = {{
    {11025, 12000, 8000, 0},
    {0, 0, 0, 0},
    {22050, 24000, 16000, 0},
    {44100, 48000, 32000, 0},
}};

// Samples per frame by version code and layer code.
constexpr std::array<std::array<int32_t, 4>, 4> kSamplesPerFrame = {{
    {0, 576, 1152, 384},
    {0, 0, 0, 0},
    {0, 576, 1152, 384},
    {0, 1152, 1152, 384},
}};

static_assert((*kBitrateRows[kVersion1][kLayerIII])[9] == 128, "MPEG 1 Layer III index 9");
static_assert((*kBitrateRows[kVersion1][kLayerI])[14] == 448, "MPEG 1 Layer I index 14");
static_assert((*kBitrateRows[kVersion1][kLayerII])[1] == 32, "MPEG 1 Layer II index 1");
static_assert((*kBitrateRows[kVersion2][kLayerII])[1] == 8, "MPEG 2 Layer II index 1");
static_assert((*kBitrateRows[kVersion25][kLayerI])[13] == 224, "MPEG 2.5 Layer I index 13");
static_assert((*kBitrateRows[kVersion1][kLayerIII])[15] == 0, "index 15 is bad");
static_assert(kSamplerates[kVersion1][0] == 44100 && kSamplerates[kVersion25][2] == 8000);
static_assert(kSamplerates[kVersion2][1] == 24000 && kSamplerates[kVersion1][3] == 0);
static_assert(kSamplesPerFrame[kVersion2][kLayerIII] == 576);
static_assert(kSamplesPerFrame[kVersion1][kLayerIII] == 1152);
static_assert((*kBitrateRows[kVersion1][kLayerII])[5] == 80 &&
                  (*kBitrateRows[kVersion1][kLayerII])[11] == 224,
              "the Layer II pairs tested by IsValidHeaderBytes");

// Field indices come from two-bit and four-bit reads, so they are always inside the tables;
// the checks keep a hand-made record from reading outside them.
bool InRange(int32_t lngValue, int32_t lngCount) { return lngValue >= 0 && lngValue < lngCount; }

}  // namespace

FrameHeader DecodeHeader(const std::array<uint8_t, 4>& btData) {
    FrameHeader header;
    header.bytRaw = btData;
    Bitstream bits;
    bits.SetData(btData, 0, 4);
    bits.SkipBits(11);  // frame sync
    header.lngVersionCode = bits.ReadBits(2);
    header.lngLayerCode = bits.ReadBits(2);
    header.blnProtectionBit = bits.ReadBits(1) == 1;
    header.lngBitrateIndex = bits.ReadBits(4);
    header.lngSamplerateIndex = bits.ReadBits(2);
    header.blnPadding = bits.ReadBits(1) == 1;
    header.blnPrivate = bits.ReadBits(1) == 1;
    header.lngChannelMode = bits.ReadBits(2);
    header.lngModeExtension = bits.ReadBits(2);
    header.blnCopyright = bits.ReadBits(1) == 1;
    header.blnOriginal = bits.ReadBits(1) == 1;
    header.lngEmphasis = bits.ReadBits(2);
    return header;
}

bool IsValidHeader(const FrameHeader& header) {
    bool blnValid = true;
    if (header.bytRaw[0] != kSyncByte) blnValid = false;                // first 8 sync bits
    if ((header.bytRaw[1] & kSyncBits) != kSyncBits) blnValid = false;  // last 3 sync bits
    if (header.lngVersionCode == kReservedVersion) blnValid = false;
    if (header.lngLayerCode == kReservedLayer) blnValid = false;
    if (header.lngBitrateIndex == kBadBitrate) blnValid = false;
    if (header.lngBitrateIndex == kFreeFormat) blnValid = false;  // free format is refused
    if (header.lngSamplerateIndex == kReservedSamplerate) return false;
    if (blnValid && header.lngVersionCode == kVersion1 && header.lngLayerCode == kLayerII) {
        const int32_t lngKbps = GetBitrate(header) / 1000;
        // MPEG 1 Layer II allows these bitrates in single-channel mode only ...
        if (lngKbps == 32 || lngKbps == 48 || lngKbps == 56 || lngKbps == 80) {
            blnValid = header.lngChannelMode == kSingleChannel;
        }
        // ... and these in the two-channel modes only.
        if (lngKbps == 224 || lngKbps == 256 || lngKbps == 320 || lngKbps == 384) {
            blnValid = header.lngChannelMode != kSingleChannel;
        }
    }
    return blnValid;
}

bool IsValidHeaderBytes(const std::array<uint8_t, 4>& bytData) {
    if (!StartsWithFrameSync(bytData)) return false;
    const int32_t lngVersionCode = RawCode(bytData, kRawVersion);
    const int32_t lngLayerCode = RawCode(bytData, kRawLayer);
    const int32_t lngBitrateIndex = RawCode(bytData, kRawBitrate);
    if (lngVersionCode == kReservedVersion || lngLayerCode == kReservedLayer ||
        lngBitrateIndex == kFreeFormat || lngBitrateIndex == kBadBitrate ||
        RawCode(bytData, kRawSamplerate) == kReservedSamplerate) {
        return false;
    }
    if (lngVersionCode == kVersion1 && lngLayerCode == kLayerII) {
        // Bitrate indices of 32, 48, 56 and 80 kbps (single channel only) and of 224, 256, 320
        // and 384 kbps (two channels only).
        constexpr uint32_t kSingleOnly = 1u << 1 | 1u << 2 | 1u << 3 | 1u << 5;
        constexpr uint32_t kTwoOnly = 1u << 11 | 1u << 12 | 1u << 13 | 1u << 14;
        const bool blnSingle = RawCode(bytData, kRawChannelMode) == kSingleChannel;
        if ((kSingleOnly >> lngBitrateIndex) & 1) return blnSingle;
        if ((kTwoOnly >> lngBitrateIndex) & 1) return !blnSingle;
    }
    return true;
}

int32_t GetBitrate(const FrameHeader& header) {
    if (!InRange(header.lngVersionCode, 4) || !InRange(header.lngLayerCode, 4) ||
        !InRange(header.lngBitrateIndex, 16)) {
        return 0;
    }
    const BitrateRow& row = *kBitrateRows[header.lngVersionCode][header.lngLayerCode];
    return row[header.lngBitrateIndex] * 1000;
}

int32_t GetSamplerate(const FrameHeader& header) {
    if (!InRange(header.lngVersionCode, 4) || !InRange(header.lngSamplerateIndex, 4)) return 0;
    return kSamplerates[header.lngVersionCode][header.lngSamplerateIndex];
}

float GetMpegVersion(const FrameHeader& header) {
    switch (header.lngVersionCode) {
        case kVersion1:
            return 1.0f;
        case kVersion2:
            return 2.0f;
        case kVersion25:
            return 2.5f;
        default:
            return 0.0f;
    }
}

int32_t GetLayer(const FrameHeader& header) {
    switch (header.lngLayerCode) {
        case kLayerI:
            return 1;
        case kLayerII:
            return 2;
        case kLayerIII:
            return 3;
        default:
            return 0;
    }
}

int32_t GetChannels(const FrameHeader& header) {
    return header.lngChannelMode == kSingleChannel ? 1 : 2;
}

int32_t GetSideInfoSize(const FrameHeader& header) {
    const bool blnMono = header.lngChannelMode == kSingleChannel;
    switch (header.lngVersionCode) {
        case kVersion1:
            return blnMono ? 17 : 32;
        case kVersion2:
        case kVersion25:
            return blnMono ? 9 : 17;
        default:
            return 0;
    }
}

int32_t GetSamplesPerFrame(const FrameHeader& header) {
    if (!InRange(header.lngVersionCode, 4) || !InRange(header.lngLayerCode, 4)) return 0;
    return kSamplesPerFrame[header.lngVersionCode][header.lngLayerCode];
}

int32_t GetFrameLength(const FrameHeader& header) {
    if (header.lngVersionCode == kReservedVersion || !InRange(header.lngVersionCode, 4) ||
        header.lngLayerCode == kReservedLayer || !InRange(header.lngLayerCode, 4)) {
        return 0;
    }
    const int32_t lngBitrate = GetBitrate(header);
    const double dblSamplerate = GetSamplerate(header);
    const double dblPadding = header.blnPadding ? 1.0 : 0.0;
    if (header.lngLayerCode == kLayerI) {
        const int32_t lngProduct = CheckedMul(12, lngBitrate);
        return CheckedMul(TruncateToInt32(CheckedDivide(lngProduct, dblSamplerate) + dblPadding),
                          4);
    }
    const int32_t lngFactor =
        (header.lngVersionCode != kVersion1 && header.lngLayerCode == kLayerIII) ? 72 : 144;
    const int32_t lngProduct = CheckedMul(lngFactor, lngBitrate);
    return TruncateToInt32(CheckedDivide(lngProduct, dblSamplerate) + dblPadding);
}
