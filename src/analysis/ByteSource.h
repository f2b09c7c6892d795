// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the analysis gets a file's bytes: a fixed-size run of bytes read at offsets (a regular
// file, or memory for the fuzzer and tests).

#include <cstddef>
#include <cstdint>
#include <span>

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
