// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/ByteSource.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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
