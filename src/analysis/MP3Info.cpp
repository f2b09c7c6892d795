// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/MP3Info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <new>
#include <span>
#include <utility>

#include "analysis/AnalysisError.h"
#include "analysis/HeaderBytes.h"
#include "analysis/TrailingTag.h"

MP3Info::MP3Info() = default;

// Every property and private field back to zero, except FileSize (the callers clear it when a new
// file is started). The read buffers are kept for the next file.
void MP3Info::Reset() {
    lngFirstFrame = 0;
    dblDuration = 0;
    lngChannels = 0;
    lngSamplerate = 0;
    lngBitrate = 0;
    lngMpegBytes = 0;
    lngFrames = 0;
    lngLayer = 0;
    sngMpegVersion = 0;
    blnCopyrightBit = false;
    blnOriginalBit = false;
    blnPrivateBit = false;
    blnProtected = false;
    blnEmphasis = false;
    blnIsVBR = false;
    lngFrameLength = 0;
    vbr = VbrHeaders();
}

bool MP3Info::ReadMP3Info(const std::string& strPath) { return ReadMP3Info(AT_FDCWD, strPath); }

bool MP3Info::ReadMP3Info(int folderFd, const std::string& strPath) {
    Reset();
    lngFileSize = 0;
    // A path cannot hold a NUL byte; cutting it there would name another file.
    if (strPath.find('\0') != std::string::npos) return false;
    // Non-blocking, so that opening a FIFO does not wait for a writer; regular files ignore it.
    const int fd =
        ::openat(folderFd, strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    bool blnResult = false;
    // Directories, devices, FIFOs and sockets are not files that can hold MP3 data.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        FileSource source(fd, static_cast<int64_t>(st.st_size));
        blnResult = Analyse(source);
    }
    ::close(fd);
    return blnResult;
}

bool MP3Info::ReadMP3Info(ByteSource& source) {
    Reset();
    lngFileSize = 0;
    return Analyse(source);
}

bool MP3Info::Analyse(ByteSource& source) {
    const int64_t lngSize = source.Size();
    if (lngSize < 0) return false;
    lngFileSize = lngSize;
    bool blnResult = false;
    try {
        if (FindFirstFrame(source)) {
            lngFirstFrame = search.FirstFrame();
            lngFrameLength = search.FrameLength();
            AnalyseFirstFrame(lngFirstFrame, lngFrameLength, lngFileSize, FindID3v1(source));
            blnResult = true;
        }
    } catch (const AnalysisError&) {
        // Malformed data: not a valid file.
        blnResult = false;
    } catch (const std::bad_alloc&) {
        blnResult = false;
    }
    if (!blnResult) Reset();
    return blnResult;
}

bool MP3Info::FindFirstFrame(ByteSource& source) {
    search.Start();
    for (;;) {
        const std::span<uint8_t> btRoom = search.ReadRoom();
        const int64_t lngOffset = search.ReadOffset();
        const size_t lngRead = !btRoom.empty() && lngOffset < source.Size()
                                   ? source.ReadAt(lngOffset, btRoom.data(), btRoom.size())
                                   : 0;
        const FrameSearch::Outcome outcome = search.Search(lngRead);
        if (outcome != FrameSearch::Outcome::NextWindow) {
            return outcome == FrameSearch::Outcome::Found;
        }
    }
}

bool MP3Info::FindID3v1(ByteSource& source) {
    std::array<uint8_t, kTrailingTagLength> bytTag;
    return ReadTrailingId3v1(source, bytTag);
}

void MP3Info::AnalyseFirstFrame(int64_t lngFirst, int32_t lngLength, int64_t lngFileSize,
                                bool blnTrailingTag) {
    // The search holds the first frame's bytes.
    if (lngLength < 0) ThrowOutOfRange();
    const std::span<const uint8_t> btFrame = search.FrameBytes();
    const FrameHeader header = DecodeHeader(HeaderBytesAt(btFrame));
    lngBitrate = GetBitrate(header);
    lngChannels = GetChannels(header);
    lngLayer = GetLayer(header);
    sngMpegVersion = GetMpegVersion(header);
    lngSamplerate = GetSamplerate(header);
    blnCopyrightBit = header.blnCopyright;
    blnOriginalBit = header.blnOriginal;
    blnPrivateBit = header.blnPrivate;
    blnProtected = !header.blnProtectionBit;
    blnEmphasis = header.lngEmphasis != 0;

    // Sizes and offsets are 64-bit: a file of 2 GiB or more is analysed like any other.
    lngMpegBytes = lngFileSize - lngFirst;
    if (blnTrailingTag) lngMpegBytes -= kTrailingTagLength;

    FirstFrameVbrHeader vbrHeader = ReadVbrHeader(btFrame, header);
    if (vbrHeader.malformed) throw *vbrHeader.malformed;
    vbr = std::move(vbrHeader.found);
    const StatedCounts& stated = vbrHeader.stated;
    if (stated.lngBytes) lngMpegBytes = *stated.lngBytes;
    lngFrames =
        RoundToInt32(CheckedDivide(static_cast<double>(lngMpegBytes), GetFrameLength(header)));
    if (stated.lngFrames) lngFrames = *stated.lngFrames;

    // The sample count and the bit count are formed in 64 bits: a long but well-formed file
    // (more than 2^31 samples, or more than 268435455 bytes of audio) is still an MP3 file. Both
    // products are exact in a double, so every file whose products fit in 32 bits gets the same
    // result as with 32-bit products; the stored values are still checked when converted.
    const int64_t lngSamples = int64_t{lngFrames} * GetSamplesPerFrame(header);
    dblDuration = CheckedDivide(static_cast<double>(lngSamples), lngSamplerate) * 1000.0;

    blnIsVBR = vbr.VbrKind != VbrHeaderKind::None;
    if (blnIsVBR) {
        const int64_t lngBits = lngMpegBytes * 8;
        lngBitrate =
            RoundToInt32(CheckedDivide(static_cast<double>(lngBits), dblDuration) * 1000.0);
    }
}
