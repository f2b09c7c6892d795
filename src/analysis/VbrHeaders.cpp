// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/VbrHeaders.h"

#include <cmath>
#include <cstring>

#include "analysis/AnalysisError.h"

namespace {

// Fails unless the lngCount bytes from lngPos on lie inside the frame.
void CheckRange(std::span<const uint8_t> btFrame, int64_t lngPos, int64_t lngCount) {
    if (lngPos < 0 || lngCount < 0 || lngPos + lngCount > static_cast<int64_t>(btFrame.size())) {
        ThrowOutOfRange();
    }
}

// True when the frame holds the four characters strName at lngPos. A frame too short to hold
// them does not hold them: the header is absent, the frame is not malformed.
bool HasName(std::span<const uint8_t> btFrame, int32_t lngPos, const char* strName) {
    if (lngPos < 0 || static_cast<int64_t>(lngPos) + 4 > static_cast<int64_t>(btFrame.size())) {
        return false;
    }
    return BytesToString(btFrame, lngPos, 4) == strName;
}

constexpr int32_t kVbriPos = 36;

}  // namespace

void FindVbrHeader(std::span<const uint8_t> btFrame, int32_t lngXingPos, VbrHeaders& found) {
    if (HasName(btFrame, lngXingPos, "Xing")) {
        ParseXing(btFrame, lngXingPos, found.Xing);
        found.VbrKind = VbrHeaderKind::Xing;
    } else if (HasName(btFrame, lngXingPos, "Info")) {
        ParseXing(btFrame, lngXingPos, found.Info);
        found.HasInfoHeader = true;
    } else if (HasName(btFrame, kVbriPos, "VBRI")) {
        ParseVBRI(btFrame, kVbriPos, found.Vbri);
        found.VbrKind = VbrHeaderKind::Vbri;
    }
}

FirstFrameVbrHeader ReadVbrHeader(std::span<const uint8_t> btFrame, const FrameHeader& header) {
    FirstFrameVbrHeader vbr;
    try {
        FindVbrHeader(btFrame, GetSideInfoSize(header) + 4, vbr.found);
        vbr.blnNamed = vbr.found.VbrKind != VbrHeaderKind::None || vbr.found.HasInfoHeader;
        vbr.stated = CountsOf(vbr.found);
    } catch (const AnalysisError& error) {
        // Only a header that was found can be malformed.
        vbr.blnNamed = true;
        vbr.malformed = error;
        vbr.found = VbrHeaders();
    }
    return vbr;
}

StatedCounts CountsOf(const VbrHeaders& found) {
    StatedCounts counts;
    switch (found.VbrKind) {
        case VbrHeaderKind::None:
        case VbrHeaderKind::Xing: {
            if (found.VbrKind == VbrHeaderKind::None && !found.HasInfoHeader) break;
            const XingHeader& header =
                found.VbrKind == VbrHeaderKind::Xing ? found.Xing : found.Info;
            // A count of 0 states nothing: it is what an encoder stopped before its last write
            // leaves, and it would divide by zero or claim an empty file.
            if ((header.lngFlags & 2) && header.lngBytes != 0) counts.lngBytes = header.lngBytes;
            if ((header.lngFlags & 1) && header.lngFrames != 0) counts.lngFrames = header.lngFrames;
            break;
        }
        case VbrHeaderKind::Vbri:
            if (found.Vbri.lngBytes > 0) counts.lngBytes = found.Vbri.lngBytes;
            if (found.Vbri.lngFrames > 0) counts.lngFrames = found.Vbri.lngFrames;
            break;
    }
    return counts;
}

bool ParseXing(std::span<const uint8_t> btFrame, int32_t lngPos, XingHeader& header) {
    const int32_t lngFields = CheckedAdd(lngPos, 8);
    header.lngFlags = ReadLongBE(btFrame, CheckedAdd(lngPos, 4));
    int32_t lngExtra = 0;
    if (header.lngFlags & 1) {
        header.lngFrames = ReadLongBE(btFrame, lngFields);
        lngExtra = 4;
    }
    if (header.lngFlags & 2) {
        header.lngBytes = ReadLongBE(btFrame, CheckedAdd(lngFields, lngExtra));
        lngExtra += 4;
    }
    if (header.lngFlags & 4) {
        const int32_t lngToc = CheckedAdd(lngFields, lngExtra);
        CheckRange(btFrame, lngToc, static_cast<int64_t>(header.bytToc.size()));
        std::memcpy(header.bytToc.data(), btFrame.data() + lngToc, header.bytToc.size());
        lngExtra += 100;
    }
    if (header.lngFlags & 8) {
        header.lngQuality = ReadLongBE(btFrame, CheckedAdd(lngFields, lngExtra));
    }
    return true;
}

bool ParseVBRI(std::span<const uint8_t> btFrame, int32_t lngPos, VbriHeader& header) {
    int32_t lngRead = CheckedAdd(lngPos, 4);
    header.lngVersion = ReadBigEndian(btFrame, lngRead, 2);
    header.sngDelay = static_cast<float>(ReadBigEndian(btFrame, lngRead, 2));
    header.lngQuality = ReadBigEndian(btFrame, lngRead, 2);
    header.lngBytes = ReadBigEndian(btFrame, lngRead, 4);
    header.lngFrames = ReadBigEndian(btFrame, lngRead, 4);
    header.lngTocEntries = ReadBigEndian(btFrame, lngRead, 2);
    header.lngTocScale = ReadBigEndian(btFrame, lngRead, 2);
    header.lngTocEntrySize = ReadBigEndian(btFrame, lngRead, 2);
    header.lngTocFramesPerEntry = ReadBigEndian(btFrame, lngRead, 2);
    // lngTocEntries + 1 entries are read; the table has one more slot, which stays 0.
    header.lngToc.assign(static_cast<size_t>(header.lngTocEntries) + 2, 0);
    for (int32_t i = 0; i <= header.lngTocEntries; ++i) {
        const int32_t lngEntry = ReadBigEndian(btFrame, lngRead, header.lngTocEntrySize);
        header.lngToc[static_cast<size_t>(i)] = CheckedMul(lngEntry, header.lngTocScale);
    }
    return true;
}

int32_t ReadLongBE(std::span<const uint8_t> btFrame, int32_t lngPos) {
    CheckRange(btFrame, lngPos, 4);
    const uint8_t* p = btFrame.data() + lngPos;
    const uint32_t lngValue = (static_cast<uint32_t>(p[0]) << 24) |
                              (static_cast<uint32_t>(p[1]) << 16) |
                              (static_cast<uint32_t>(p[2]) << 8) | p[3];
    return static_cast<int32_t>(lngValue);  // two's complement
}

int32_t ReadBigEndian(std::span<const uint8_t> btFrame, int32_t& lngPos, int32_t lngCount) {
    int32_t lngValue = 0;
    for (int32_t i = 0; i < lngCount; ++i) {
        CheckRange(btFrame, static_cast<int64_t>(lngPos) + i, 1);
        const int64_t lngExponent = 8 * (static_cast<int64_t>(lngCount) - 1 - i);
        // Each term is the byte times a power of two, formed in double precision and converted to
        // 32 bits: a power beyond the double range, or a term of 2^31 or more, does not fit.
        if (lngExponent > 1023) ThrowOverflow();
        const double dblTerm =
            std::ldexp(static_cast<double>(btFrame[static_cast<size_t>(lngPos + i)]),
                       static_cast<int>(lngExponent));
        lngValue |= RoundToInt32(dblTerm);
    }
    lngPos = CheckedAdd(lngPos, lngCount < 0 ? 0 : lngCount);
    return lngValue;
}

std::string BytesToString(std::span<const uint8_t> btFrame, int32_t lngPos, int32_t lngCount) {
    CheckRange(btFrame, lngPos, lngCount);
    return std::string(reinterpret_cast<const char*>(btFrame.data()) + lngPos,
                       static_cast<size_t>(lngCount));
}
