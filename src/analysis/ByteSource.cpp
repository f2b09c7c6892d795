// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/ByteSource.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Nearly every file has its first frame, and the frame that confirms it, within 4 KiB of where the
// search starts: at the start of the file or right behind a leading tag. So a search read that
// starts somewhere new gets a small piece (the first two of them at least). A search that walks
// on past a piece, where nothing was found, gets a large piece: enough for the rest of its
// 14 KiB window. Other requests (a trailing tag, a far header) read just what they need.
constexpr size_t kSmallPiece = 4096;
constexpr size_t kLargePiece = 12288;
constexpr int kSmallPieces = 2;

}  // namespace

size_t FileSource::ReadAt(int64_t offset, uint8_t* dest, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd_, dest + done, length - done,
                                    static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;  // end of file or a read error: what was read stands
        done += static_cast<size_t>(got);
    }
    return done;
}

size_t MemorySource::ReadAt(int64_t offset, uint8_t* dest, size_t length) {
    if (offset < 0 || offset >= Size()) return 0;
    const size_t count = std::min(length, data_.size() - static_cast<size_t>(offset));
    std::memcpy(dest, data_.data() + offset, count);
    return count;
}

FileView::FileView() = default;

void FileView::Reset(ByteSource* source) {
    source_ = source;
    size_ = source ? source->Size() : 0;
    searchLoads_ = 0;
    for (Window& window : windows_) window.length = 0;
}

std::span<const uint8_t> FileView::Bytes(int64_t offset, size_t length) {
    if (offset < 0 || offset >= size_ || length == 0) return {};
    const size_t want =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(length), size_ - offset));
    for (Window& window : windows_) {
        if (window.length != 0 && offset >= window.start &&
            offset + static_cast<int64_t>(want) <=
                window.start + static_cast<int64_t>(window.length)) {
            window.lastUse = ++clock_;
            return {window.data.data() + (offset - window.start), want};
        }
    }
    Window& window = Load(offset, want);
    // A short read (the file shrank, or a read error) leaves fewer bytes than the size promised.
    return {window.data.data(), std::min(want, window.length)};
}

void FileView::ReadZeroFilled(int64_t offset, std::span<uint8_t> dest) {
    std::fill(dest.begin(), dest.end(), uint8_t{0});
    size_t done = 0;
    while (done < dest.size()) {
        const size_t piece = std::min(dest.size() - done, kMaxRequest);
        const std::span<const uint8_t> bytes = Bytes(offset + static_cast<int64_t>(done), piece);
        std::copy(bytes.begin(), bytes.end(), dest.begin() + static_cast<ptrdiff_t>(done));
        if (bytes.size() < piece) break;
        done += piece;
    }
}

FileView::Window& FileView::Load(int64_t offset, size_t length) {
    Window* victim = &windows_[0];
    for (Window& window : windows_) {
        if (window.length == 0) {
            victim = &window;
            break;
        }
        if (window.lastUse < victim->lastUse) victim = &window;
    }
    size_t toRead = length;
    if (length >= kSearchRequest || searchLoads_ == 0) {
        bool walksOn = false;  // the read starts where a piece held ends
        for (const Window& window : windows_) {
            walksOn = walksOn || (window.length != 0 &&
                                  window.start + static_cast<int64_t>(window.length) == offset);
        }
        toRead =
            std::max(length, searchLoads_ < kSmallPieces && !walksOn ? kSmallPiece : kLargePiece);
        ++searchLoads_;
    }
    toRead = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(toRead), size_ - offset));
    if (victim->data.size() < toRead) victim->data.resize(std::max(toRead, kLargePiece));
    victim->start = offset;
    victim->length = source_ ? source_->ReadAt(offset, victim->data.data(), toRead) : 0;
    victim->lastUse = ++clock_;
    return *victim;
}
