// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace {

QString WithError(const char* szText, int lngErrno) {
    return QString::fromUtf8(szText) + QStringLiteral(" (") +
           QString::fromLocal8Bit(std::strerror(lngErrno)) + u')';
}

// Why an existing file of the output's name must not be replaced; "" when it may be.
QString ReplaceHazard(const FileIdentity& existing, const OutputFile::Guard& guard) {
    if (existing == guard.source) return QStringLiteral("the output would replace its source");
    if (guard.writtenOutputs && guard.writtenOutputs->contains(existing)) {
        return QStringLiteral("the output would replace an output of this run");
    }
    // Only looked at when a file of the output's name exists, which is rare outside a rerun.
    if (guard.listedPaths) {
        for (const QString& strListed : guard.listedPaths()) {
            if (IdentityOf(strListed) == existing) {
                return QStringLiteral("the output would replace a file in the list");
            }
        }
    }
    return {};
}

}  // namespace

OutputFile::~OutputFile() {
    if (lngFd >= 0) ::close(lngFd);
}

QString OutputFile::Create(const QString& strOutputPath, const Guard& guard) {
    const QByteArray path = QFile::encodeName(strOutputPath);
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0) {
        // A link is never written through, wherever it points.
        if (S_ISLNK(st.st_mode)) return QStringLiteral("the output name is a link");
        if (!S_ISREG(st.st_mode)) {
            return QStringLiteral("the output name is taken by something that is not a file");
        }
        const QString strHazard = ReplaceHazard(FileIdentity{st.st_dev, st.st_ino}, guard);
        if (!strHazard.isEmpty()) return strHazard;
        // An older output: its name goes, so that the new output is a file of its own. The data
        // of any other name of that file stays as it is.
        if (::unlink(path.constData()) != 0 && errno != ENOENT) {
            return WithError("the older output cannot be removed", errno);
        }
    } else if (errno != ENOENT) {
        return WithError("the output cannot be created", errno);
    }

    // Exclusive and without following a link: a name put there since the look above makes this
    // fail rather than be written into.
    const int lngNewFd = ::open(
        path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (lngNewFd < 0) return WithError("the output cannot be created", errno);
    if (::fstat(lngNewFd, &st) != 0) {
        const int lngErrno = errno;
        ::unlink(path.constData());
        ::close(lngNewFd);
        return WithError("the output cannot be created", lngErrno);
    }
    if (lngFd >= 0) ::close(lngFd);
    lngFd = lngNewFd;
    strPath = strOutputPath;
    identity = FileIdentity{st.st_dev, st.st_ino};
    return {};
}

bool OutputFile::IsStillNamed() const {
    if (lngFd < 0) return false;
    struct stat st {};
    return ::lstat(QFile::encodeName(strPath).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           FileIdentity{st.st_dev, st.st_ino} == identity;
}

int64_t OutputFile::Size() const {
    struct stat st {};
    if (lngFd < 0 || ::fstat(lngFd, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool OutputFile::HasTrailingTag() const {
    const int64_t lngSize = Size();
    if (lngSize < kTrailingTagLength) return false;
    char bytTag[3] = {};
    return ::pread(lngFd, bytTag, sizeof bytTag, lngSize - kTrailingTagLength) == sizeof bytTag &&
           std::memcmp(bytTag, "TAG", 3) == 0;
}

bool OutputFile::AppendTrailingTag(const QByteArray& tag) {
    const int64_t lngSize = Size();
    if (lngSize < 0) return false;
    int64_t lngDone = 0;
    while (lngDone < tag.size()) {
        const ssize_t lngWritten =
            ::pwrite(lngFd, tag.constData() + lngDone, static_cast<size_t>(tag.size() - lngDone),
                     lngSize + lngDone);
        if (lngWritten < 0 && errno == EINTR) continue;
        if (lngWritten <= 0) return false;
        lngDone += lngWritten;
    }
    return true;
}

void OutputFile::RemoveIfOurs() {
    if (IsStillNamed()) ::unlink(QFile::encodeName(strPath).constData());
}
