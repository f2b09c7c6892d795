// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MPEG audio frame header: the four bytes at the start of every frame, decoded into a record, a
// plausibility test, and the values the file analysis derives from a header. Pure computation,
// no state.
//
//   byte 0   byte 1   byte 2   byte 3
//   AAAAAAAA AAABBCCD EEEEFFGH IIJJKLMM
//   A frame sync (11 ones)   B version   C layer   D protection   E bitrate index
//   F sample-rate index      G padding   H private I channel mode J mode extension
//   K copyright              L original  M emphasis

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

struct FrameHeader {
    std::array<uint8_t, 4> bytRaw{};  // the four header bytes as read, first byte first
    int32_t lngChannelMode = 0;       // 3 = single channel, 0 to 2 = two channels
    int32_t lngLayerCode = 0;         // 0 reserved, 1 = Layer III, 2 = Layer II, 3 = Layer I
    int32_t lngVersionCode = 0;       // 0 = MPEG 2.5, 1 reserved, 2 = MPEG 2, 3 = MPEG 1
    int32_t lngSamplerateIndex = 0;   // 0 to 2; 3 reserved
    int32_t lngBitrateIndex = 0;      // 1 to 14; 0 free format, 15 bad
    bool blnCopyright = false;
    bool blnOriginal = false;
    bool blnPrivate = false;
    bool blnProtectionBit = false;  // set: the frame carries no CRC
    bool blnPadding = false;
    int32_t lngEmphasis = 0;
    int32_t lngModeExtension = 0;
};

// The codes that IsValidHeader refuses, and the single-channel mode.
inline constexpr int32_t kReservedVersion = 1;
inline constexpr int32_t kReservedLayer = 0;
inline constexpr int32_t kFreeFormat = 0;  // bitrate index
inline constexpr int32_t kBadBitrate = 15;
inline constexpr int32_t kReservedSamplerate = 3;
inline constexpr int32_t kSingleChannel = 3;

// Where a field lies in the four raw bytes, for the tests that look at a header without decoding
// it: the byte and the mask of the field's bits in it.
struct RawField {
    size_t lngByte;
    uint8_t bytMask;
};
inline constexpr RawField kRawVersion{1, 0x18};
inline constexpr RawField kRawLayer{1, 0x06};
inline constexpr RawField kRawBitrate{2, 0xF0};
inline constexpr RawField kRawSamplerate{2, 0x0C};
inline constexpr RawField kRawPadding{2, 0x02};
inline constexpr RawField kRawChannelMode{3, 0xC0};

// The field's code in raw bytes.
constexpr int32_t RawCode(const std::array<uint8_t, 4>& bytHeader, RawField field) {
    return (bytHeader[field.lngByte] & field.bytMask) >> std::countr_zero(field.bytMask);
}
// The field's bits in its byte for a code.
constexpr uint8_t RawBits(RawField field, int32_t lngCode) {
    return static_cast<uint8_t>(lngCode << std::countr_zero(field.bytMask)) & field.bytMask;
}

// Frame sync: eleven ones, a byte 255 and the three high bits of the next.
inline constexpr uint8_t kSyncByte = 0xFF;
inline constexpr uint8_t kSyncBits = 0xE0;

// Whether btData starts with frame sync as far as it goes (a lone 255 may start one).
inline bool StartsWithFrameSync(std::span<const uint8_t> btData) {
    return !btData.empty() && btData[0] == kSyncByte &&
           (btData.size() < 2 || (btData[1] & kSyncBits) == kSyncBits);
}

// Takes any four bytes apart with a Bitstream; plausibility is IsValidHeader's business.
FrameHeader DecodeHeader(const std::array<uint8_t, 4>& btData);

// True for a plausible header: frame sync, no reserved codes, no free format, and none of the
// bitrate and mode combinations that MPEG 1 Layer II forbids.
bool IsValidHeader(const FrameHeader& header);

// The same verdict as IsValidHeader(DecodeHeader(bytData)), taken straight from the bits of the
// four bytes without the bit reader. The search tests every candidate with it first, since nearly
// all candidates fail.
bool IsValidHeaderBytes(const std::array<uint8_t, 4>& bytData);

int32_t GetBitrate(const FrameHeader& header);          // bits per second; 0 without a table entry
int32_t GetSamplerate(const FrameHeader& header);       // Hz; 0 without a table entry
float GetMpegVersion(const FrameHeader& header);        // 1.0, 2.0, 2.5; 0 for the reserved code
int32_t GetLayer(const FrameHeader& header);            // 1, 2, 3; 0 for the reserved code
int32_t GetChannels(const FrameHeader& header);         // 1 in single-channel mode, else 2
int32_t GetSideInfoSize(const FrameHeader& header);     // Layer III side information, bytes
int32_t GetFrameLength(const FrameHeader& header);      // bytes, header included
int32_t GetSamplesPerFrame(const FrameHeader& header);  // samples per channel

// No valid header gives a longer frame (MPEG 2 Layer II, 160 kbps, 8000 Hz, padded).
inline constexpr int32_t kLongestFrame = 2881;
