// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ID3v2 tag: a 10-byte header, the tag's frames and, from version 4 on when its flags say so,
// a 10-byte footer. Header and footer are alike: a marker ("ID3", the footer's "3DI"), the major
// version, the revision, the flags (16: a footer follows) and four size bytes that count the bytes
// between header and footer, 7 bits a byte (synchsafe).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr size_t kId3v2HeaderLength = 10;
inline constexpr std::array<uint8_t, 3> kId3v2Marker = {'I', 'D', '3'};

// How a tag's size bytes are taken.
enum class Id3v2Reading {
    // As the search for the first frame reads a leading tag: synchsafe when no size byte has its
    // high bit set, else as a plain big-endian number, as some taggers write it; such a number of
    // 2^31 or more does not fit (an overflow AnalysisError). Any version is taken.
    SynchsafeOrPlain,
    // As the frame walk reads a tag between or behind frames: synchsafe only, and a version and
    // revision other than 255; anything else is no tag.
    Strict,
};

enum class Id3v2Part { Header, Footer };

// Whether btData starts with the marker of a tag's header (or footer).
bool IsId3v2Marker(std::span<const uint8_t> btData, Id3v2Part part = Id3v2Part::Header);

// The whole length of the tag whose header (or footer) starts btData: header, frames and footer.
// 0 when btData holds no whole header (or footer) there, or none that reading accepts.
int64_t Id3v2TagLength(std::span<const uint8_t> btData, Id3v2Reading reading,
                       Id3v2Part part = Id3v2Part::Header);
