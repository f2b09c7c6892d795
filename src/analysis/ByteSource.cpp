#include "analysis/ByteSource.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Nearly every file has its first frame, and the frame that confirms it, within 4 KiB of where the
// search starts: at the start of the file or right behind a leading tag. So the first two pieces
// of search read are small; a search that walks on past them gets bigger pieces, enough for the
// rest of its window. Other requests (a trailing tag, a far header) read just what they need.
constexpr size_t kSmallPiece = 4096;
constexpr size_t kLargePiece = 16384 + 4096;
constexpr int kSmallPieces = 2;

}  // namespace

size_t FileSource::ReadAt(int64_t lngOffset, uint8_t* btDest, size_t lngLen) {
    size_t lngDone = 0;
    while (lngDone < lngLen) {
        const ssize_t lngGot =
            ::pread(fd_, btDest + lngDone, lngLen - lngDone,
                    static_cast<off_t>(lngOffset + static_cast<int64_t>(lngDone)));
        if (lngGot < 0 && errno == EINTR) continue;
        if (lngGot <= 0) break;  // end of file or a read error: what was read stands
        lngDone += static_cast<size_t>(lngGot);
    }
    return lngDone;
}

size_t MemorySource::ReadAt(int64_t lngOffset, uint8_t* btDest, size_t lngLen) {
    if (lngOffset < 0 || lngOffset >= Size()) return 0;
    const size_t lngCount = std::min(lngLen, btData_.size() - static_cast<size_t>(lngOffset));
    std::memcpy(btDest, btData_.data() + lngOffset, lngCount);
    return lngCount;
}

FileView::FileView() = default;

void FileView::Reset(ByteSource* source) {
    source_ = source;
    lngSize_ = source ? source->Size() : 0;
    lngSearchLoads_ = 0;
    for (Window& window : windows_) window.lngLen = 0;
}

std::span<const uint8_t> FileView::Bytes(int64_t lngOffset, size_t lngLen) {
    if (lngOffset < 0 || lngOffset >= lngSize_ || lngLen == 0) return {};
    const size_t lngWant =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(lngLen), lngSize_ - lngOffset));
    for (Window& window : windows_) {
        if (window.lngLen != 0 && lngOffset >= window.lngStart &&
            lngOffset + static_cast<int64_t>(lngWant) <=
                window.lngStart + static_cast<int64_t>(window.lngLen)) {
            window.lngUsed = ++lngClock_;
            return {window.btData.data() + (lngOffset - window.lngStart), lngWant};
        }
    }
    Window& window = Load(lngOffset, lngWant);
    // A short read (the file shrank, or a read error) leaves fewer bytes than the size promised.
    return {window.btData.data(), std::min(lngWant, window.lngLen)};
}

void FileView::ReadZeroFilled(int64_t lngOffset, std::span<uint8_t> btDest) {
    std::fill(btDest.begin(), btDest.end(), uint8_t{0});
    size_t lngDone = 0;
    while (lngDone < btDest.size()) {
        const size_t lngPiece = std::min(btDest.size() - lngDone, kMaxRequest);
        const std::span<const uint8_t> btBytes =
            Bytes(lngOffset + static_cast<int64_t>(lngDone), lngPiece);
        std::copy(btBytes.begin(), btBytes.end(), btDest.begin() + static_cast<ptrdiff_t>(lngDone));
        if (btBytes.size() < lngPiece) break;
        lngDone += lngPiece;
    }
}

FileView::Window& FileView::Load(int64_t lngOffset, size_t lngLen) {
    Window* victim = &windows_[0];
    for (Window& window : windows_) {
        if (window.lngLen == 0) {
            victim = &window;
            break;
        }
        if (window.lngUsed < victim->lngUsed) victim = &window;
    }
    size_t lngRead = lngLen;
    if (lngLen >= kSearchRequest || lngSearchLoads_ == 0) {
        lngRead = std::max(lngLen, lngSearchLoads_ < kSmallPieces ? kSmallPiece : kLargePiece);
        ++lngSearchLoads_;
    }
    lngRead =
        static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(lngRead), lngSize_ - lngOffset));
    if (victim->btData.size() < lngRead) victim->btData.resize(std::max(lngRead, kLargePiece));
    victim->lngStart = lngOffset;
    victim->lngLen = source_ ? source_->ReadAt(lngOffset, victim->btData.data(), lngRead) : 0;
    victim->lngUsed = ++lngClock_;
    return *victim;
}
