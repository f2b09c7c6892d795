// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/MP3Info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "analysis/AnalysisError.h"

namespace {

constexpr int32_t kChunkSize = 2048;
// The search stops once the chunk position lies this far past the last leading tag's length.
constexpr int32_t kSearchLimit = 10240;
constexpr int32_t kTrailingTagSize = 128;
constexpr int64_t kLargestFile = INT32_MAX;  // sizes and offsets are signed 32-bit

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;
constexpr uint64_t kLows = 0x7F7F7F7F7F7F7F7Full;

// Eight bytes as one word, the first byte in the lowest bits.
uint64_t LoadWord(const uint8_t* btData) {
    uint64_t lngWord;
    std::memcpy(&lngWord, btData, 8);
    if constexpr (std::endian::native == std::endian::big) lngWord = __builtin_bswap64(lngWord);
    return lngWord;
}

// Non-zero when some byte of lngWord is zero (a quick test; may also flag bytes above it).
uint64_t HasZeroByte(uint64_t lngWord) { return (lngWord - kOnes) & ~lngWord & kHighs; }

// The high bit of exactly those bytes of lngWord that are zero.
uint64_t ZeroBytes(uint64_t lngWord) { return ~(((lngWord & kLows) + kLows) | lngWord) & kHighs; }

uint64_t BytesEqual(uint64_t lngWord, uint8_t bytValue) {
    return ZeroBytes(lngWord ^ (kOnes * bytValue));
}

// Both detectors rest at state 0 on any byte other than "I" and 255 (state 2 behaves as 0). From
// index i on, returns the index of the next such byte in btData[0, n), or n; eight bytes at a
// time.
int32_t NextWakingByte(const uint8_t* btData, int32_t i, int32_t n) {
    while (i + 8 <= n) {
        const uint64_t lngWord = LoadWord(btData + i);
        if (HasZeroByte(~lngWord) | HasZeroByte(lngWord ^ (kOnes * 'I'))) break;
        i += 8;
    }
    while (i < n && btData[i] != 'I' && btData[i] != 255) ++i;
    return i;
}

// A 255 at btData[p], at rest, followed by a byte other than 255: it arms the sync detector and
// the next byte disarms it again, reporting the 255 as a candidate unless that byte is 0; the tag
// detector is left to the next byte alone. True when that candidate fails at once, so that the
// 255 changes nothing. Reads btData[p, p + 4), within n.
bool PassesOver255(const uint8_t* btData, int32_t p, int32_t n) {
    if (p + 4 > n || btData[p + 1] == 255) return false;
    std::array<uint8_t, 4> bytHeader;
    std::memcpy(bytHeader.data(), btData + p, 4);
    return !IsValidHeaderBytes(bytHeader);
}

// Like NextWakingByte, but also passes over each 255 that PassesOver255 lets go, and those are
// most of them: first, eight at a time, those whose next byte lacks the three high bits of a frame
// sync, then those whose candidate fails at once. Only for a chunk holding the file's own bytes,
// where the candidate's bytes are the file's.
int32_t NextCandidateByte(const uint8_t* btData, int32_t i, int32_t n) {
    while (i + 9 <= n) {
        const uint64_t lngWord = LoadWord(btData + i);
        if ((HasZeroByte(~lngWord) | HasZeroByte(lngWord ^ (kOnes * 'I'))) == 0) {
            i += 8;
            continue;
        }
        const uint64_t lngSyncNext = BytesEqual(LoadWord(btData + i + 1) & (kOnes * 0xE0), 0xE0);
        uint64_t lngFound = BytesEqual(lngWord, 'I') | (BytesEqual(lngWord, 255) & lngSyncNext);
        while (lngFound != 0) {
            const int32_t p = i + __builtin_ctzll(lngFound) / 8;
            if (btData[p] == 'I' || !PassesOver255(btData, p, n)) return p;
            lngFound &= lngFound - 1;
        }
        i += 8;
    }
    for (; i < n; ++i) {
        if (btData[i] == 'I' || (btData[i] == 255 && !PassesOver255(btData, i, n))) return i;
    }
    return n;
}

// From index i on, the index of the first byte in btData[0, n) that is not 255, or n.
int32_t EndOfRun255(const uint8_t* btData, int32_t i, int32_t n) {
    while (i + 8 <= n && LoadWord(btData + i) == ~uint64_t{0}) i += 8;
    while (i < n && btData[i] == 255) ++i;
    return i;
}

}  // namespace

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
    lngTagState = 0;
    lngSyncState = 0;
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

bool MP3Info::Analyse(ByteSource& source) {
    const int64_t lngSize = source.Size();
    if (lngSize < 0 || lngSize > kLargestFile) return false;  // FileSize cannot hold the size
    lngFileSize = static_cast<int32_t>(lngSize);
    view.Reset(&source);
    bool blnResult = false;
    try {
        const FirstFrameResult first = FindFirstFrame();
        if (first.blnFound) {
            lngFirstFrame = first.lngOffset;
            lngFrameLength = first.lngLength;
            AnalyseFirstFrame(lngFirstFrame, lngFrameLength, lngFileSize);
            blnResult = true;
        }
    } catch (const AnalysisError&) {
        // Malformed data: not a valid file.
    } catch (const std::bad_alloc&) {
    }
    view.Reset(nullptr);
    if (!blnResult) Reset();
    return blnResult;
}

FrameHeader MP3Info::ReadHeader(int32_t lngPos) {
    std::array<uint8_t, 4> bytHeader{};
    view.ReadZeroFilled(lngPos, bytHeader);
    return DecodeHeader(bytHeader);
}

// Leading-tag detector: reports when the bytes "ID3" have just been seen. Right after a report
// the next byte only returns it to the start, unexamined.
bool MP3Info::FeedTagDetector(uint8_t bytValue) {
    switch (lngTagState) {
        case 0:
            lngTagState = bytValue == 'I' ? 1 : 0;
            break;
        case 1:
            lngTagState = bytValue == 'D' ? 2 : 0;
            break;
        case 2:
            lngTagState = bytValue == '3' ? 3 : 0;
            break;
        default:
            lngTagState = 0;
            break;
    }
    return lngTagState == 3;
}

// Frame-sync detector: reports when a byte 255 has been followed by a byte other than 0, that is
// when the previous byte may start a frame.
bool MP3Info::FeedSyncDetector(uint8_t bytValue) {
    if (lngSyncState == 1) {
        lngSyncState = bytValue != 0 ? 2 : 0;
    } else {
        lngSyncState = bytValue == 255 ? 1 : 0;
    }
    return lngSyncState == 2;
}

MP3Info::FirstFrameResult MP3Info::FindFirstFrame() {
    FirstFrameResult result;
    int32_t lngChunkPos = 0;  // file offset of the chunk being examined
    int32_t lngTagLen = 0;    // length of the last leading tag skipped
    int32_t lngFilePos = 0;   // where the next chunk is read
    for (;;) {
        const int32_t lngReadPos = lngFilePos;
        const std::span<const uint8_t> btRead = view.Bytes(lngReadPos, kChunkSize);
        const int32_t n = static_cast<int32_t>(btRead.size());
        const uint8_t* btChunk = btRead.data();
        // The chunk holds the file's bytes at lngChunkPos unless a read in the middle of the file
        // came up short; only then are candidate headers read from the file, not the chunk.
        const bool blnOwnBytes = lngReadPos == lngChunkPos;
        // Reads through the view may move its windows. The chunk's window is the latest or the
        // one before, never the one a read replaces, so asking again finds it in place.
        const auto refetchChunk = [&] {
            btChunk = view.Bytes(lngReadPos, static_cast<size_t>(n)).data();
        };
        lngFilePos = CheckedAdd(lngFilePos, n);
        for (int32_t i = 0; i < n; ++i) {
            if (lngTagState == 0 && lngSyncState != 1) {
                // Both detectors at rest: pass over the bytes that change nothing.
                const int32_t lngNext =
                    blnOwnBytes ? NextCandidateByte(btChunk, i, n) : NextWakingByte(btChunk, i, n);
                if (lngNext != i) lngSyncState = 0;
                i = lngNext;
                if (i >= n) break;
                if (blnOwnBytes && btChunk[i] == 255) {
                    // In a run of 255s every other byte is a candidate whose third header byte is
                    // 255 as well, a bitrate index of 15 that is never valid. Pass over those
                    // pairs; the last byte or two of the run are examined as usual.
                    const int32_t lngPairs = (EndOfRun255(btChunk, i + 1, n) - 1 - i) / 2;
                    if (lngPairs > 0) {
                        i += 2 * lngPairs;
                        lngSyncState = 0;
                    }
                }
            }
            const uint8_t bytValue = btChunk[i];
            if (FeedTagDetector(bytValue)) {
                // A tag starts at the "I"; skip it and go on behind it.
                const int32_t lngTagStart = CheckedSub(CheckedAdd(lngChunkPos, i), 2);
                lngTagLen = GetID3v2Size(lngTagStart);
                lngFilePos = CheckedAdd(lngTagStart, lngTagLen);
                lngChunkPos = CheckedSub(lngFilePos, kChunkSize);
                break;
            }
            if (FeedSyncDetector(bytValue)) {
                // The 255 before this byte may start a frame: confirmed by one further valid
                // header at the distance its frame length gives.
                const int32_t lngCandidate = CheckedSub(CheckedAdd(lngChunkPos, i), 1);
                std::array<uint8_t, 4> bytHeader{};
                if (blnOwnBytes && i >= 1 && i + 3 <= n) {
                    std::memcpy(bytHeader.data(), btChunk + i - 1, 4);
                } else if (blnOwnBytes && i >= 1) {
                    // The header runs past the chunk: the rest is at the start of the chunk the
                    // search reads next (none at the end of the file), so read that one now.
                    const size_t lngHere = static_cast<size_t>(n - i + 1);
                    std::memcpy(bytHeader.data(), btChunk + i - 1, lngHere);
                    const std::span<const uint8_t> btNext =
                        view.Bytes(CheckedAdd(lngChunkPos, n), kChunkSize);
                    std::copy_n(btNext.begin(), std::min(btNext.size(), 4 - lngHere),
                                bytHeader.begin() + static_cast<ptrdiff_t>(lngHere));
                    refetchChunk();
                } else if (blnOwnBytes && n >= 3) {
                    // The 255 ended the chunk before, which was whole and held the file's bytes
                    // too (the detectors carry no sync over a short read or a tag).
                    bytHeader = {255, btChunk[0], btChunk[1], btChunk[2]};
                } else {
                    view.ReadZeroFilled(lngCandidate, bytHeader);
                    refetchChunk();
                }
                // The raw test first: the bit reader only decodes headers that pass it.
                if (!IsValidHeaderBytes(bytHeader)) continue;
                const FrameHeader header = DecodeHeader(bytHeader);
                if (IsValidHeader(header)) {
                    const int32_t lngLength = GetFrameLength(header);
                    std::array<uint8_t, 4> bytNext;
                    view.ReadZeroFilled(CheckedAdd(lngCandidate, lngLength), bytNext);
                    refetchChunk();
                    if (IsValidHeaderBytes(bytNext) && IsValidHeader(DecodeHeader(bytNext))) {
                        result.blnFound = true;
                        result.lngOffset = lngCandidate;
                        result.lngLength = lngLength;
                        break;
                    }
                }
            }
        }
        if (n > 0 && !result.blnFound && CheckedSub(lngChunkPos, lngTagLen) > kSearchLimit) {
            break;
        }
        lngChunkPos = CheckedAdd(lngChunkPos, kChunkSize);
        if (n <= 0 || result.blnFound) break;
    }
    return result;
}

int32_t MP3Info::GetID3v2Size(int32_t lngPos) {
    // Marker (3 bytes), major version, revision, flags, size (4 bytes).
    std::array<uint8_t, 10> bytTag{};
    view.ReadZeroFilled(lngPos, bytTag);
    const int32_t lngSize = DecodeSynchsafe({bytTag[6], bytTag[7], bytTag[8], bytTag[9]});
    const bool blnFooter = bytTag[3] >= 4 && (bytTag[5] & 16) != 0;
    return CheckedAdd(lngSize, blnFooter ? 20 : 10);
}

int32_t MP3Info::DecodeSynchsafe(const std::array<uint8_t, 4>& bytSize) {
    bool blnSynchsafe = true;
    for (const uint8_t bytValue : bytSize) {
        if (bytValue >= 128) blnSynchsafe = false;
    }
    if (blnSynchsafe) {
        return (bytSize[0] << 21) | (bytSize[1] << 14) | (bytSize[2] << 7) | bytSize[3];
    }
    // A plain big-endian value; a first byte of 128 or more does not fit.
    return CheckedMul(bytSize[0], 1 << 24) | (bytSize[1] << 16) | (bytSize[2] << 8) | bytSize[3];
}

bool MP3Info::FindID3v1(int32_t lngFileSize) {
    if (lngFileSize < kTrailingTagSize) return false;
    std::array<uint8_t, kTrailingTagSize> bytTag{};
    view.ReadZeroFilled(lngFileSize - kTrailingTagSize, bytTag);
    return bytTag[0] == 'T' && bytTag[1] == 'A' && bytTag[2] == 'G';
}

void MP3Info::AnalyseFirstFrame(int32_t lngFirst, int32_t lngLength, int32_t lngFileSize) {
    const FrameHeader header = ReadHeader(lngFirst);
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

    vbr = VbrHeaders();
    lngMpegBytes = CheckedSub(lngFileSize, lngFirst);
    if (FindID3v1(lngFileSize)) lngMpegBytes = CheckedSub(lngMpegBytes, kTrailingTagSize);

    if (lngLength < 0) ThrowOutOfRange();
    btFrame.assign(static_cast<size_t>(lngLength), 0);
    view.ReadZeroFilled(lngFirst, btFrame);
    FindVbrHeader(btFrame, CheckedAdd(GetSideInfoSize(header), 4), vbr);

    const StatedCounts stated = CountsOf(vbr);
    if (stated.lngBytes) lngMpegBytes = *stated.lngBytes;
    lngFrames = RoundToInt32(CheckedDivide(lngMpegBytes, GetFrameLength(header)));
    if (stated.lngFrames) lngFrames = *stated.lngFrames;

    // The sample count and the bit count are formed in 64 bits: a long but well-formed file
    // (more than 2^31 samples, or more than 268435455 bytes of audio) is still an MP3 file. Both
    // products are exact in a double, so every file whose products fit in 32 bits gets the same
    // result as with 32-bit products; the stored values are still checked when converted.
    const int64_t lngSamples = int64_t{lngFrames} * GetSamplesPerFrame(header);
    dblDuration = CheckedDivide(static_cast<double>(lngSamples), lngSamplerate) * 1000.0;

    blnIsVBR = vbr.VbrKind != VbrHeaderKind::None;
    if (blnIsVBR) {
        const int64_t lngBits = int64_t{lngMpegBytes} * 8;
        lngBitrate =
            RoundToInt32(CheckedDivide(static_cast<double>(lngBits), dblDuration) * 1000.0);
    }
}
