// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The search for the first frame written plainly, as it is described: a file position, 2048-byte
// chunks read one after another, every byte fed to the two detectors and every candidate's header
// read, decoded and tested. The tests and the fuzzer hold the analysis's own search against it.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "analysis/FrameHeader.h"

namespace plain {

// A file with a position: reads advance it; bytes past the end are not there.
class PlainFile {
  public:
    explicit PlainFile(const std::vector<uint8_t>& data) : data_(data) {}
    int64_t Read(uint8_t* dest, int64_t count) {
        const int64_t size = static_cast<int64_t>(data_.size());
        const int64_t n = pos_ < size ? std::min(count, size - pos_) : 0;
        if (n > 0) std::memcpy(dest, data_.data() + pos_, static_cast<size_t>(n));
        pos_ += n;
        return n;
    }
    void Seek(int64_t pos) { pos_ = pos; }
    int64_t Tell() const { return pos_; }

  private:
    const std::vector<uint8_t>& data_;
    int64_t pos_ = 0;
};

struct Overflow {};

// Offsets and lengths are 64-bit; a tag's size field is a signed 32-bit number.
inline int64_t Fits(int64_t value) {
    if (value < INT32_MIN || value > INT32_MAX) throw Overflow{};
    return value;
}

// Reads bytes at pos into a zeroed buffer and puts the position back.
template <size_t N>
std::array<uint8_t, N> ReadAt(PlainFile& file, int64_t pos) {
    std::array<uint8_t, N> buffer{};
    const int64_t saved = file.Tell();
    file.Seek(pos);
    file.Read(buffer.data(), N);
    file.Seek(saved);
    return buffer;
}

inline int64_t TagLength(PlainFile& file, int64_t pos) {
    const auto tag = ReadAt<10>(file, pos);
    const bool synchsafe = tag[6] < 128 && tag[7] < 128 && tag[8] < 128 && tag[9] < 128;
    int64_t size = synchsafe ? (tag[6] << 21 | tag[7] << 14 | tag[8] << 7 | tag[9])
                             : Fits(int64_t{tag[6]} << 24) | tag[7] << 16 | tag[8] << 8 | tag[9];
    return size + ((tag[3] >= 4 && (tag[5] & 16)) ? 20 : 10);
}

// IsValidHeader of the decoded bytes. Its first steps test the sync bits of the raw bytes, which
// most candidates fail: those are not decoded. The verdict depends on the four bytes alone, and a
// file meets the same ones over and over (runs of 255s), so the latest verdicts are kept.
inline bool IsValidRaw(const std::array<uint8_t, 4>& raw) {
    if (raw[0] != 0xFF || (raw[1] & 0xE0) != 0xE0) return false;
    const uint64_t word = uint64_t{raw[0]} << 24 | raw[1] << 16 | raw[2] << 8 | raw[3];
    static std::array<uint64_t, 1024> kept{};  // 1 << 40 | word << 1 | verdict
    uint64_t& slot = kept[(word * 2654435761u >> 12) % kept.size()];
    if (slot >> 40 == 1 && (slot >> 1 & 0xFFFFFFFF) == word) return (slot & 1) != 0;
    const bool valid = IsValidHeader(DecodeHeader(raw));
    slot = uint64_t{1} << 40 | word << 1 | (valid ? 1 : 0);
    return valid;
}

// The search as described: -1 when nothing is found, -2 when a tag's size does not fit.
inline int64_t ChunkedSearch(const std::vector<uint8_t>& data) {
    PlainFile file(data);
    try {
        int tagState = 0;
        int syncState = 0;
        int64_t chunkPos = 0;
        int64_t tagLen = 0;
        file.Seek(0);
        for (;;) {
            uint8_t chunk[2048];
            const int64_t n = file.Read(chunk, 2048);
            bool found = false;
            int64_t first = -1;
            for (int64_t i = 0; i < n && !found; ++i) {
                const uint8_t b = chunk[i];
                const int oldTag = tagState;
                tagState = oldTag == 0   ? (b == 'I' ? 1 : 0)
                           : oldTag == 1 ? (b == 'D' ? 2 : 0)
                           : oldTag == 2 ? (b == '3' ? 3 : 0)
                                         : 0;
                if (tagState == 3) {
                    const int64_t start = chunkPos + i - 2;
                    tagLen = TagLength(file, start);
                    // Tags back to back are skipped one after the other.
                    for (;;) {
                        const auto next = ReadAt<3>(file, start + tagLen);
                        if (next[0] != 'I' || next[1] != 'D' || next[2] != '3') break;
                        tagLen += TagLength(file, start + tagLen);
                    }
                    file.Seek(start + tagLen);
                    chunkPos = start + tagLen - 2048;
                    break;
                }
                syncState = syncState == 1 ? (b != 0 ? 2 : 0) : (b == 255 ? 1 : 0);
                if (syncState == 2) {
                    const int64_t c = chunkPos + i - 1;
                    const auto raw = ReadAt<4>(file, c);
                    if (IsValidRaw(raw)) {
                        const int64_t next = c + GetFrameLength(DecodeHeader(raw));
                        if (IsValidRaw(ReadAt<4>(file, next))) {
                            found = true;
                            first = c;
                        }
                    }
                }
            }
            if (n > 0 && !found && chunkPos - tagLen > 10240) return -1;
            chunkPos += 2048;
            if (found) return first;
            if (n <= 0) return -1;
        }
    } catch (const Overflow&) {
        return -2;
    }
}

}  // namespace plain
