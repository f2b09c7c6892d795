// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test helpers that make MPEG audio data byte by byte: frame headers from their fields, runs of
// frames, "Xing"/"Info"/"VBRI" first frames, ID3v2 tag headers, trailing tags, and files on disk
// (large ones sparse: only the start and the end hold data).

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/FrameHeader.h"

namespace synth {

using Bytes = std::vector<uint8_t>;

// The fields of a frame header; the defaults give FF FB 90 64 (MPEG 1 Layer III, 128 kbps,
// 44100 Hz, joint stereo, original).
struct Header {
    int version = 3;  // 0 = 2.5, 1 reserved, 2 = MPEG 2, 3 = MPEG 1
    int layer = 1;    // 1 = Layer III, 2 = Layer II, 3 = Layer I
    int protection = 1;
    int bitrate = 9;
    int samplerate = 0;
    int padding = 0;
    int privateBit = 0;
    int mode = 1;  // 3 = single channel
    int modeExtension = 2;
    int copyright = 0;
    int original = 1;
    int emphasis = 0;

    std::array<uint8_t, 4> Raw() const {
        return {0xFF, static_cast<uint8_t>(0xE0 | version << 3 | layer << 1 | protection),
                static_cast<uint8_t>(bitrate << 4 | samplerate << 2 | padding << 1 | privateBit),
                static_cast<uint8_t>(mode << 6 | modeExtension << 4 | copyright << 3 |
                                     original << 2 | emphasis)};
    }
    int Length() const { return GetFrameLength(DecodeHeader(Raw())); }
    int XingOffset() const { return GetSideInfoSize(DecodeHeader(Raw())) + 4; }
};

inline void Put(Bytes& data, size_t offset, const void* src, size_t len) {
    if (data.size() < offset + len) data.resize(offset + len);
    std::memcpy(data.data() + offset, src, len);
}
inline void Put(Bytes& data, size_t offset, const std::string& text) {
    Put(data, offset, text.data(), text.size());
}
inline void PutBE32(Bytes& data, size_t offset, uint32_t value) {
    const uint8_t b[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                          static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    Put(data, offset, b, 4);
}
inline void PutBE16(Bytes& data, size_t offset, uint32_t value) {
    const uint8_t b[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    Put(data, offset, b, 2);
}

// One frame: the header and a payload of zeros (no false sync inside).
inline Bytes Frame(const Header& header) {
    Bytes frame(static_cast<size_t>(header.Length()), 0);
    const auto raw = header.Raw();
    std::memcpy(frame.data(), raw.data(), 4);
    return frame;
}

inline Bytes Frames(const Header& header, int count) {
    Bytes data;
    for (int i = 0; i < count; ++i) {
        const Bytes frame = Frame(header);
        data.insert(data.end(), frame.begin(), frame.end());
    }
    return data;
}

// A first frame carrying a "Xing" or "Info" header with the given flags and fields.
inline Bytes XingFrame(const Header& header, const std::string& name, uint32_t flags,
                       uint32_t frames, uint32_t bytes, uint32_t quality = 0) {
    Bytes frame = Frame(header);
    size_t pos = static_cast<size_t>(header.XingOffset());
    frame.resize(std::max(frame.size(), pos + 124));  // room for every field; cut back below
    Put(frame, pos, name);
    PutBE32(frame, pos + 4, flags);
    pos += 8;
    if (flags & 1) {
        PutBE32(frame, pos, frames);
        pos += 4;
    }
    if (flags & 2) {
        PutBE32(frame, pos, bytes);
        pos += 4;
    }
    if (flags & 4) {
        for (int i = 0; i < 100; ++i) frame[pos + static_cast<size_t>(i)] = static_cast<uint8_t>(i);
        pos += 100;
    }
    if (flags & 8) PutBE32(frame, pos, quality);
    frame.resize(static_cast<size_t>(header.Length()));  // a field may not grow the frame
    return frame;
}

// A first frame carrying a "VBRI" header at offset 36 with an empty seek table.
inline Bytes VbriFrame(const Header& header, uint32_t bytes, uint32_t frames) {
    Bytes frame = Frame(header);
    Put(frame, 36, std::string("VBRI"));
    PutBE16(frame, 40, 1);     // version
    PutBE16(frame, 42, 1000);  // delay
    PutBE16(frame, 44, 75);    // quality
    PutBE32(frame, 46, bytes);
    PutBE32(frame, 50, frames);
    PutBE16(frame, 54, 0);  // seek-table entries (one is read)
    PutBE16(frame, 56, 1);  // scale
    PutBE16(frame, 58, 2);  // entry size
    PutBE16(frame, 60, 1);  // frames per entry
    frame.resize(static_cast<size_t>(header.Length()));
    return frame;
}

// A 10-byte ID3v2 tag header with the given version, flags and four size bytes.
inline Bytes Id3v2Header(uint8_t major, uint8_t flags, std::array<uint8_t, 4> size) {
    return {'I', 'D', '3', major, 0, flags, size[0], size[1], size[2], size[3]};
}

// A whole ID3v2 tag of exactly totalLength bytes (header included), filled with spaces.
inline Bytes Id3v2Tag(uint32_t totalLength) {
    const uint32_t size = totalLength - 10;
    Bytes tag =
        Id3v2Header(3, 0,
                    {static_cast<uint8_t>(size >> 21 & 127), static_cast<uint8_t>(size >> 14 & 127),
                     static_cast<uint8_t>(size >> 7 & 127), static_cast<uint8_t>(size & 127)});
    tag.resize(totalLength, ' ');
    return tag;
}

inline Bytes TrailingTag() {
    Bytes tag(128, 0);
    Put(tag, 0, std::string("TAG"));
    return tag;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes data;
    for (const Bytes& part : parts) data.insert(data.end(), part.begin(), part.end());
    return data;
}

// A temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "kestrelund-test-XXXXXX");
        if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
        path_ = templ;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline void WriteAt(int fd, const Bytes& data, off_t offset) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n =
            pwrite(fd, data.data() + done, data.size() - done, offset + static_cast<off_t>(done));
        if (n <= 0) throw std::runtime_error("pwrite failed");
        done += static_cast<size_t>(n);
    }
}

inline void WriteFile(const std::string& path, const Bytes& data) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    WriteAt(fd, data, 0);
    close(fd);
}

// A file of totalSize bytes holding head at its start and tail at its end; the rest is a hole.
inline void WriteSparse(const std::string& path, const Bytes& head, int64_t totalSize,
                        const Bytes& tail = {}) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    if (ftruncate(fd, static_cast<off_t>(totalSize)) != 0) {
        close(fd);
        throw std::runtime_error("ftruncate failed");
    }
    WriteAt(fd, head, 0);
    if (!tail.empty())
        WriteAt(fd, tail, static_cast<off_t>(totalSize) - static_cast<off_t>(tail.size()));
    close(fd);
}

}  // namespace synth
