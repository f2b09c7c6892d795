// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/SourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "analysis/ByteSource.h"
#include "analysis/Refusal.h"
#include "analysis/TrailingTag.h"

namespace {

QString Text(std::string_view reason) {
    return QString::fromUtf8(reason.data(), static_cast<qsizetype>(reason.size()));
}

}  // namespace

SourceFile::~SourceFile() {
    if (lngFd >= 0) ::close(lngFd);
}

Failure SourceFile::Open(const QByteArray& path) {
    // Non-blocking, so that a pipe put at the name does not wait for a writer; a regular file
    // reads the same either way.
    const int lngNewFd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (lngNewFd < 0) {
        const std::string_view reason = ReasonOfErrno(errno);
        return Text(reason.empty() ? kReasonNotMp3 : reason);
    }
    struct stat st {};
    if (::fstat(lngNewFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool blnFolder = S_ISDIR(st.st_mode);
        ::close(lngNewFd);
        return Text(blnFolder ? kReasonIsFolder : kReasonNotMp3);
    }
    if (lngFd >= 0) ::close(lngFd);
    lngFd = lngNewFd;
    identity = FileIdentity::Of(st);
    lngSize = static_cast<int64_t>(st.st_size);
    return {};
}

QByteArray SourceFile::TrailingTag() const {
    if (lngFd < 0 || lngSize < kTrailingTagLength) return {};
    QByteArray tag(kTrailingTagLength, '\0');
    if (::pread(lngFd, tag.data(), kTrailingTagLength, lngSize - kTrailingTagLength) !=
            kTrailingTagLength ||
        !IsTrailingTag(
            {reinterpret_cast<const uint8_t*>(tag.constData()), static_cast<size_t>(tag.size())})) {
        return {};
    }
    return tag;
}
