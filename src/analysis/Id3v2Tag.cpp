// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Id3v2Tag.h"

#include "analysis/AnalysisError.h"

bool IsId3v2Marker(std::span<const uint8_t> btData, Id3v2Part part) {
    if (btData.size() < kId3v2Marker.size()) return false;
    for (size_t i = 0; i < kId3v2Marker.size(); ++i) {
        const size_t lngFrom = part == Id3v2Part::Header ? i : kId3v2Marker.size() - 1 - i;
        if (btData[i] != kId3v2Marker[lngFrom]) return false;
    }
    return true;
}

int64_t Id3v2TagLength(std::span<const uint8_t> btData, Id3v2Reading reading, Id3v2Part part) {
    if (btData.size() < kId3v2HeaderLength || !IsId3v2Marker(btData, part)) return 0;
    const bool blnStrict = reading == Id3v2Reading::Strict;
    if (blnStrict && (btData[3] == 0xFF || btData[4] == 0xFF)) return 0;
    const uint8_t* bytSize = btData.data() + 6;
    int64_t lngSize = 0;
    if ((bytSize[0] | bytSize[1] | bytSize[2] | bytSize[3]) < 128) {
        lngSize = int64_t{bytSize[0]} << 21 | bytSize[1] << 14 | bytSize[2] << 7 | bytSize[3];
    } else if (blnStrict) {
        return 0;
    } else {
        // A plain big-endian number in a signed 32-bit size field.
        lngSize = CheckedMul(bytSize[0], 1 << 24) | bytSize[1] << 16 | bytSize[2] << 8 | bytSize[3];
    }
    const bool blnFooter = btData[3] >= 4 && (btData[5] & 16) != 0;
    return lngSize + static_cast<int64_t>(kId3v2HeaderLength) * (blnFooter ? 2 : 1);
}
