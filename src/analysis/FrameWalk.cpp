// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/FrameWalk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "analysis/AnalysisError.h"
#include "analysis/FrameHeader.h"
#include "analysis/HeaderBytes.h"
#include "analysis/Id3v2Tag.h"
#include "analysis/TrailingTag.h"
#include "analysis/VbrHeaders.h"

namespace {

constexpr size_t kChunk = size_t{1} << 20;
// The longest frame a valid header describes (MPEG 2 Layer II, 160 kbps, 8 kHz, padded) is
// 2881 bytes; a look at the header after it needs 4 more.
constexpr size_t kLookahead = 4096;

// The large sequential reads of the walk: a window of the source that slides forward.
class ChunkReader {
  public:
    ChunkReader(ByteSource& source, int64_t lngEnd) : source_(source), end_(lngEnd) {}

    // The bytes from lngOffset on as far as the window holds them (at least lngNeed of them, or
    // all up to the end). Empty at or past the end; false when the source could not be read.
    bool Get(int64_t lngOffset, size_t lngNeed, std::span<const uint8_t>& bytes) {
        bytes = {};
        if (lngOffset < 0 || lngOffset >= end_) return true;
        const int64_t lngWant = std::min<int64_t>(static_cast<int64_t>(lngNeed), end_ - lngOffset);
        if (lngOffset < start_ || lngOffset + lngWant > start_ + static_cast<int64_t>(length_)) {
            // Moving on, the new window keeps a little of the old one before lngOffset: a look
            // ahead past the window's end, then back, reads once.
            int64_t lngStart = lngOffset;
            if (length_ != 0 && lngOffset > start_) {
                lngStart = std::max(start_, lngOffset - static_cast<int64_t>(kLookahead));
            }
            const size_t lngRead =
                static_cast<size_t>(std::min<int64_t>(kChunk + kLookahead, end_ - lngStart));
            if (buffer_.size() < lngRead) buffer_.resize(lngRead);
            start_ = lngStart;
            length_ = source_.ReadAt(lngStart, buffer_.data(), lngRead);
            if (length_ < lngRead) {
                length_ = 0;
                return false;
            }
        }
        const size_t lngAt = static_cast<size_t>(lngOffset - start_);
        bytes = {buffer_.data() + lngAt, length_ - lngAt};  // lngWant of them at least
        return true;
    }

  private:
    ByteSource& source_;
    int64_t end_;
    int64_t start_ = 0;
    size_t length_ = 0;
    std::vector<uint8_t> buffer_;
};

// What the walk needs of a header, from the fields that decide it: version, layer, bitrate,
// sample rate and padding, 11 bits in all, kept for each of their values once decoded.
struct FrameShape {
    int32_t lngLength = 0;
    int32_t lngSamples = 0;
    int32_t lngSamplerate = 0;
};

class ShapeTable {
  public:
    ShapeTable() { shapes_.fill(FrameShape{-1, 0, 0}); }
    const FrameShape& Of(const std::array<uint8_t, 4>& bytHeader) {
        const size_t lngKey = static_cast<size_t>(
            RawCode(bytHeader, kRawVersion) << 9 | RawCode(bytHeader, kRawLayer) << 7 |
            RawCode(bytHeader, kRawBitrate) << 3 | RawCode(bytHeader, kRawSamplerate) << 1 |
            RawCode(bytHeader, kRawPadding));
        FrameShape& shape = shapes_[lngKey];
        if (shape.lngLength < 0) {
            const FrameHeader header = DecodeHeader(bytHeader);
            shape.lngLength = GetFrameLength(header);
            shape.lngSamples = GetSamplesPerFrame(header);
            shape.lngSamplerate = GetSamplerate(header);
        }
        return shape;
    }

  private:
    std::array<FrameShape, 2048> shapes_;
};

// The fields whose change is a change of format: version, layer, sample rate, one channel or two.
constexpr uint32_t kFormatMono = 1;
constexpr uint32_t kFormatLayer = 3 << 3;
uint32_t FormatOf(const std::array<uint8_t, 4>& bytHeader) {
    return static_cast<uint32_t>(RawCode(bytHeader, kRawVersion) << 5 |
                                 RawCode(bytHeader, kRawLayer) << 3 |
                                 RawCode(bytHeader, kRawSamplerate) << 1) |
           (RawCode(bytHeader, kRawChannelMode) == kSingleChannel ? kFormatMono : 0);
}

// Samples per sample rate, so that the length in milliseconds is exact however long the stream.
class SampleClock {
  public:
    void Add(int32_t lngSamplerate, int64_t lngSamples) {
        for (Bucket& bucket : buckets_) {
            if (bucket.lngRate == lngSamplerate || bucket.lngRate == 0) {
                bucket.lngRate = lngSamplerate;
                bucket.lngSamples += lngSamples;
                return;
            }
        }
    }
    double Milliseconds() const {
        double dblTotal = 0;
        for (const Bucket& bucket : buckets_) {
            if (bucket.lngRate > 0) {
                dblTotal += static_cast<double>(bucket.lngSamples) / bucket.lngRate * 1000.0;
            }
        }
        return dblTotal;
    }

  private:
    struct Bucket {
        int32_t lngRate = 0;
        int64_t lngSamples = 0;
    };
    std::array<Bucket, 9> buckets_{};  // there are nine sample rates
};

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;

// Non-zero when some byte of lngWord is zero.
uint64_t HasZeroByte(uint64_t lngWord) { return (lngWord - kOnes) & ~lngWord & kHighs; }

// From index i on, the index of the next byte that may start a frame (255) or a tag ("I"), or
// the end of bytes; eight bytes at a time over long stretches of neither.
size_t NextCandidate(std::span<const uint8_t> bytes, size_t i) {
    while (i + 8 <= bytes.size()) {
        uint64_t lngWord;
        std::memcpy(&lngWord, bytes.data() + i, 8);
        if (HasZeroByte(lngWord ^ (kOnes * kSyncByte)) |
            HasZeroByte(lngWord ^ (kOnes * kId3v2Marker[0]))) {
            break;
        }
        i += 8;
    }
    while (i < bytes.size() && bytes[i] != kSyncByte && bytes[i] != kId3v2Marker[0]) ++i;
    return i;
}

class Walker {
  public:
    Walker(ByteSource& source, int64_t lngEnd) : reader_(source, lngEnd), end_(lngEnd) {}

    bool Run(int64_t lngFirst, FrameWalkResult& result);

  private:
    // The valid header at lngPos, if any; false only when the source cannot be read.
    bool ValidAt(int64_t lngPos, std::array<uint8_t, 4>& bytHeader, bool& blnValid) {
        blnValid = false;
        if (lngPos + 4 > end_) return true;
        std::span<const uint8_t> bytes;
        if (!reader_.Get(lngPos, 4, bytes)) return false;
        bytHeader = HeaderBytesAt(bytes);
        blnValid = IsValidHeaderBytes(bytHeader);
        return true;
    }
    // A frame that a decoder would lock onto: its header, and the header of the frame after it in
    // the same version, layer and sample rate (or the frame ends the audio exactly).
    bool ConfirmedAt(int64_t lngPos, bool& blnConfirmed);
    // From lngPos on, the first confirmed frame or end_ (an ID3v2 tag on the way is passed over
    // whole).
    bool Resync(int64_t lngPos, int64_t& lngFound);
    // Counts the frame at lngPos in the format lngHere (FormatOf); blnCut: the last frame, cut
    // short.
    [[gnu::always_inline]] void Count(int64_t lngPos, const std::array<uint8_t, 4>& bytHeader,
                                      uint32_t lngHere, const FrameShape& shape, bool blnCut,
                                      FrameWalkResult& result);
    // The part of Count for a whole frame in another format than the first.
    [[gnu::noinline]] void CountOther(int64_t lngPos, const std::array<uint8_t, 4>& bytHeader,
                                      const FrameShape& shape, FrameWalkResult& result);

    ChunkReader reader_;
    ShapeTable shapes_;
    SampleClock clock_;       // every frame
    SampleClock otherClock_;  // the whole frames in another
    int64_t end_;
    uint32_t lngMainFormat = 0;  // the first audio frame's
    int64_t lngMainSamples = 0;  // of the whole frames in that format
    bool blnLastMain = false;    // the last whole frame counted was in that format
};

// The record of a frame in a new format at lngPos, after dblMilliseconds of audio, in the
// format lngFrom before it at the sample rate lngFromRate.
FormatChange ChangeTo(const std::array<uint8_t, 4>& bytHeader, int32_t lngRate, uint32_t lngFrom,
                      int32_t lngFromRate, int64_t lngPos, double dblMilliseconds) {
    FormatChange change;
    const uint32_t lngDiff = FormatOf(bytHeader) ^ lngFrom;
    if (lngRate != lngFromRate) {
        change.kind = FormatChange::Kind::SampleRate;
    } else if (lngDiff & kFormatMono) {
        change.kind = FormatChange::Kind::Channels;
    } else if (lngDiff & kFormatLayer) {
        change.kind = FormatChange::Kind::Layer;
    } else {
        change.kind = FormatChange::Kind::Version;
    }
    const FrameHeader header = DecodeHeader(bytHeader);
    change.lngSamplerate = lngRate;
    change.lngChannels = GetChannels(header);
    change.lngLayer = GetLayer(header);
    change.sngMpegVersion = GetMpegVersion(header);
    change.lngOffset = lngPos;
    change.dblMilliseconds = dblMilliseconds;
    return change;
}

bool Walker::ConfirmedAt(int64_t lngPos, bool& blnConfirmed) {
    blnConfirmed = false;
    std::array<uint8_t, 4> bytHeader;
    bool blnValid;
    if (!ValidAt(lngPos, bytHeader, blnValid)) return false;
    if (!blnValid) return true;
    const int64_t lngNext = lngPos + shapes_.Of(bytHeader).lngLength;
    if (lngNext == end_) {
        blnConfirmed = true;
        return true;
    }
    std::array<uint8_t, 4> bytNext;
    if (!ValidAt(lngNext, bytNext, blnValid)) return false;
    blnConfirmed =
        blnValid && (FormatOf(bytNext) | kFormatMono) == (FormatOf(bytHeader) | kFormatMono);
    return true;
}

bool Walker::Resync(int64_t lngPos, int64_t& lngFound) {
    while (lngPos + 4 <= end_) {
        std::span<const uint8_t> bytes;
        if (!reader_.Get(lngPos, kLookahead, bytes)) return false;
        const size_t n = bytes.size();
        // Near the end of the window (not of the audio) the window is read again from there, so
        // that a header or a tag header is always whole in it.
        const size_t lngLimit = lngPos + static_cast<int64_t>(n) < end_ ? n - 10 : n;
        size_t i = NextCandidate(bytes, 0);
        bool blnMoved = false;
        while (i < lngLimit && !blnMoved) {
            if (bytes[i] == kId3v2Marker[0]) {
                // A tag between two streams (files joined end to end) is passed over whole.
                const int64_t lngTag = Id3v2TagLength(bytes.subspan(i), Id3v2Reading::Strict);
                if (lngTag > 0 && lngPos + static_cast<int64_t>(i) + lngTag <= end_) {
                    lngPos += static_cast<int64_t>(i) + lngTag;
                    blnMoved = true;
                    break;
                }
            } else if (i + 4 <= n && IsValidHeaderBytes(HeaderBytesAt(bytes, i))) {
                bool blnConfirmed;
                if (!ConfirmedAt(lngPos + static_cast<int64_t>(i), blnConfirmed)) return false;
                if (blnConfirmed) {
                    lngFound = lngPos + static_cast<int64_t>(i);
                    return true;
                }
                // That look may have moved the window: read on from the next byte.
                lngPos += static_cast<int64_t>(i) + 1;
                blnMoved = true;
                break;
            } else if (i + 2 < n && bytes[i + 2] == 0xFF) {
                // In a run of 255s a candidate's bitrate index is 15, never valid: six at a time,
                // then the first one that may not be is looked at.
                size_t j = i;
                uint64_t lngWord;
                while (j + 8 <= n && (std::memcpy(&lngWord, bytes.data() + j, 8), ~lngWord == 0)) {
                    j += 6;
                }
                if (j != i) {
                    i = j;
                    continue;
                }
            }
            i = NextCandidate(bytes, i + 1);
        }
        if (!blnMoved) lngPos += static_cast<int64_t>(std::min(i, lngLimit));
    }
    lngFound = end_;
    return true;
}

inline void Walker::Count(int64_t lngPos, const std::array<uint8_t, 4>& bytHeader, uint32_t lngHere,
                          const FrameShape& shape, bool blnCut, FrameWalkResult& result) {
    if (result.lngFrames == 0) {
        result.lngSamplerate = shape.lngSamplerate;
        result.lngChannels = GetChannels(DecodeHeader(bytHeader));
        lngMainFormat = lngHere;
        blnLastMain = true;
    }
    // A frame cut short is decoded by some decoders, dropped by LAME's: it is no whole frame.
    if (!blnCut) {
        const bool blnMain = lngHere == lngMainFormat;
        if (blnMain) {
            ++result.lngMainFrames;
            lngMainSamples += shape.lngSamples;  // all at the first frame's sample rate
        } else {
            CountOther(lngPos, bytHeader, shape, result);
        }
        result.lngSeams += blnMain != blnLastMain ? 1 : 0;
        blnLastMain = blnMain;
    }
    ++result.lngFrames;
    result.lngSamples += shape.lngSamples;
    clock_.Add(shape.lngSamplerate, shape.lngSamples);
}

void Walker::CountOther(int64_t lngPos, const std::array<uint8_t, 4>& bytHeader,
                        const FrameShape& shape, FrameWalkResult& result) {
    if (!result.firstForeign) {
        result.firstForeign = ChangeTo(bytHeader, shape.lngSamplerate, lngMainFormat,
                                       result.lngSamplerate, lngPos, clock_.Milliseconds());
    }
    ++result.lngOtherFrames;
    otherClock_.Add(shape.lngSamplerate, shape.lngSamples);
}

bool Walker::Run(int64_t lngFirst, FrameWalkResult& result) {
    std::array<uint8_t, 4> bytHeader;
    bool blnValid;
    if (!ValidAt(lngFirst, bytHeader, blnValid)) return false;
    if (!blnValid) return false;

    // The first frame: a variable-bitrate header in it makes it no audio frame; zeros after its
    // header (and CRC) make it hollow.
    const FrameShape firstShape = shapes_.Of(bytHeader);
    {
        const size_t lngHave =
            static_cast<size_t>(std::min<int64_t>(firstShape.lngLength, end_ - lngFirst));
        std::span<const uint8_t> bytes;
        if (!reader_.Get(lngFirst, lngHave, bytes)) return false;
        std::vector<uint8_t> btFrame(bytes.begin(),
                                     bytes.begin() + static_cast<ptrdiff_t>(lngHave));
        btFrame.resize(static_cast<size_t>(firstShape.lngLength), 0);
        const FrameHeader header = DecodeHeader(bytHeader);
        const size_t lngPayload = header.blnProtectionBit ? 4 : 6;
        result.blnFirstFrameHollow =
            lngHave > lngPayload &&
            std::all_of(btFrame.begin() + static_cast<ptrdiff_t>(lngPayload),
                        btFrame.begin() + static_cast<ptrdiff_t>(lngHave),
                        [](uint8_t b) { return b == 0; });
        // A header whose fields run past the frame states no count.
        const FirstFrameVbrHeader vbr = ReadVbrHeader(btFrame, header);
        result.blnHasVbrHeader = vbr.blnNamed;
        if (vbr.stated.lngFrames && *vbr.stated.lngFrames >= 0) {
            result.lngVbrHeaderFrames = *vbr.stated.lngFrames;
        }
    }

    int64_t lngPos = lngFirst;
    uint32_t lngFormat = FormatOf(bytHeader);
    int32_t lngFormatRate = firstShape.lngSamplerate;
    bool blnInSync = true;
    int64_t lngLostAt = -1;  // where the walk last lost the frames
    if (result.blnHasVbrHeader) {
        lngPos += firstShape.lngLength;
        if (lngPos > end_) result.lngTruncatedBytes = end_ - lngFirst;
    }
    while (lngPos < end_) {
        if (!blnInSync) {
            int64_t lngFound;
            if (!Resync(lngPos, lngFound)) return false;
            // Never back at the frame just given up on: the walk always moves on.
            if (lngFound == lngLostAt && !Resync(lngFound + 1, lngFound)) return false;
            result.lngSkippedBytes += lngFound - lngPos;
            lngPos = lngFound;
            blnInSync = true;
            if (lngPos >= end_) break;
            ++result.lngResyncs;
        }
        if (end_ - lngPos < 4) {
            // The start of a header cut short: a decoder has no frame there.
            std::span<const uint8_t> bytes;
            if (!reader_.Get(lngPos, 4, bytes)) return false;
            if (StartsWithFrameSync(bytes)) {
                result.lngTruncatedBytes = end_ - lngPos;
                break;
            }
        }
        if (!ValidAt(lngPos, bytHeader, blnValid)) return false;
        if (!blnValid) {
            blnInSync = false;
            lngLostAt = lngPos;
            continue;
        }
        const FrameShape shape = shapes_.Of(bytHeader);
        const int64_t lngNext = lngPos + shape.lngLength;
        if (lngNext > end_) {
            // Cut short by the end of the file or a trailing tag: a decoder still decodes it.
            result.lngTruncatedBytes = end_ - lngPos;
            Count(lngPos, bytHeader, FormatOf(bytHeader), shape, true, result);
            lngPos = end_;
            break;
        }
        const uint32_t lngHere = FormatOf(bytHeader);
        if (result.lngFrames == 0) {
            // The first audio frame sets the format (a VBR header frame may differ from it).
            lngFormat = lngHere;
            lngFormatRate = shape.lngSamplerate;
        } else if (lngHere != lngFormat) {
            // A new format counts when the frame after it goes on in it; a frame followed by a
            // frame in another format is a stray frame (a decoder decodes it), and one followed
            // by no frame at all is damage.
            std::array<uint8_t, 4> bytNext{};
            bool blnNextValid = false;
            if (!ValidAt(lngNext, bytNext, blnNextValid)) return false;
            if (lngNext < end_ && !blnNextValid) {
                blnInSync = false;
                lngLostAt = lngPos;
                continue;
            }
            // The next frame confirms what changed (a frame at the new sample rate in the other
            // channel mode still confirms the new sample rate).
            if (blnNextValid && ((FormatOf(bytNext) ^ lngHere) & (lngHere ^ lngFormat)) == 0) {
                if (!result.change) {
                    result.change = ChangeTo(bytHeader, shape.lngSamplerate, lngFormat,
                                             lngFormatRate, lngPos, clock_.Milliseconds());
                }
                lngFormat = lngHere;
                lngFormatRate = shape.lngSamplerate;
            }
        }
        Count(lngPos, bytHeader, lngHere, shape, false, result);
        lngPos = lngNext;
    }
    result.dblMilliseconds = clock_.Milliseconds();
    SampleClock mainClock;
    mainClock.Add(result.lngSamplerate, lngMainSamples);
    result.dblMainMilliseconds = mainClock.Milliseconds();
    result.dblOtherMilliseconds = otherClock_.Milliseconds();
    return true;
}

}  // namespace

const char* FormatChangeName(FormatChange::Kind kind) {
    switch (kind) {
        case FormatChange::Kind::SampleRate:
            return "sample rate";
        case FormatChange::Kind::Channels:
            return "channel count";
        case FormatChange::Kind::Layer:
            return "layer";
        case FormatChange::Kind::Version:
            return "MPEG version";
    }
    return "format";
}

bool WalkFrames(ByteSource& source, int64_t lngFirstFrame, FrameWalkResult& result) {
    result = FrameWalkResult();
    const int64_t lngSize = source.Size();
    if (lngFirstFrame < 0 || lngSize < 0 || lngFirstFrame + 4 > lngSize) return false;
    try {
        int64_t lngEnd = lngSize;
        if (!FindTrailingTags(source, lngFirstFrame, lngEnd)) return false;
        result.lngAudioEnd = lngEnd;
        Walker walker(source, lngEnd);
        if (!walker.Run(lngFirstFrame, result)) {
            result = FrameWalkResult();
            return false;
        }
        return true;
    } catch (const AnalysisError&) {
    } catch (const std::bad_alloc&) {
    }
    result = FrameWalkResult();
    return false;
}

bool WalkFrames(const std::string& strPath, int64_t lngFirstFrame, FrameWalkResult& result) {
    result = FrameWalkResult();
    if (strPath.find('\0') != std::string::npos) return false;
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    bool blnResult = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        FileSource source(fd, static_cast<int64_t>(st.st_size));
        blnResult = WalkFrames(source, lngFirstFrame, result);
    }
    ::close(fd);
    return blnResult;
}
