// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the analysis gets a file's bytes. A ByteSource is a fixed-size run of bytes read at
// offsets (a regular file, or memory for the fuzzer and tests); FileView sits in front of it, keeps
// a few windows of the file in memory so that the byte-by-byte search costs few reads, and
// answers every read as the described search expects: bytes past the end of the file are simply
// not there.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Size in bytes, fixed for the whole analysis.
    virtual int64_t Size() const = 0;
    // Copies up to length bytes starting at offset (0 <= offset < Size()) into dest and
    // returns how many were copied; fewer than asked only at the end of the data or on a read
    // error.
    virtual size_t ReadAt(int64_t offset, uint8_t* dest, size_t length) = 0;
};

// The bytes of an open regular file, read with pread. Does not own the descriptor.
class FileSource : public ByteSource {
  public:
    FileSource(int fd, int64_t size) : fd_(fd), size_(size) {}
    int64_t Size() const override { return size_; }
    size_t ReadAt(int64_t offset, uint8_t* dest, size_t length) override;

  private:
    int fd_;
    int64_t size_;
};

// Bytes in memory, analysed as if they were a file of that size.
class MemorySource : public ByteSource {
  public:
    explicit MemorySource(std::span<const uint8_t> data) : data_(data) {}
    int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
    size_t ReadAt(int64_t offset, uint8_t* dest, size_t length) override;

  private:
    std::span<const uint8_t> data_;
};

class FileView {
  public:
    FileView();

    // Starts over on a new source; nothing cached.
    void Reset(ByteSource* source);
    int64_t Size() const { return size_; }

    // Bytes at offset as far as the file and the request go: at most length of them, fewer
    // only at the end of the file, none at or past the end or before the start. The pointer
    // stays valid until the next call. length is at most kMaxRequest.
    std::span<const uint8_t> Bytes(int64_t offset, size_t length);

    // Fills dest with the bytes at offset; bytes past the end of the file are zero.
    void ReadZeroFilled(int64_t offset, std::span<uint8_t> dest);

    static constexpr size_t kMaxRequest = 4096;
    // Requests of at least this size are the search's chunks, which read ahead.
    static constexpr size_t kSearchRequest = 2048;

  private:
    struct Window {
        int64_t start = 0;
        size_t length = 0;  // bytes held; the window is empty when 0
        uint64_t lastUse = 0;
        std::vector<uint8_t> data;
    };
    Window& Load(int64_t offset, size_t length);

    ByteSource* source_ = nullptr;
    int64_t size_ = 0;
    uint64_t clock_ = 0;
    int searchLoads_ = 0;  // reads made for the search so far
    Window windows_[3];
};
