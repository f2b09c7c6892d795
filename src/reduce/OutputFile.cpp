// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {

QString WithError(const char* szText, int lngErrno) {
    return QString::fromUtf8(szText) + QStringLiteral(" (") +
           QString::fromLocal8Bit(std::strerror(lngErrno)) + u')';
}

// Why the output's name, as it is now, must not be replaced; no failure when it may be (also
// when nothing has that name).
Failure NameHazard(const QString& strPath, const OutputFile::Guard& guard) {
    struct stat st {};
    if (::lstat(QFile::encodeName(strPath).constData(), &st) != 0) {
        if (errno == ENOENT) return {};
        return WithError("the output cannot be created", errno);
    }
    // A link is never replaced, wherever it points: someone put it there on purpose.
    if (S_ISLNK(st.st_mode)) return QStringLiteral("the output name is a link");
    if (!S_ISREG(st.st_mode)) {
        return QStringLiteral("the output name is taken by something that is not a file");
    }
    const FileIdentity existing = FileIdentity::Of(st);
    if (existing == guard.source) return QStringLiteral("the output would replace its source");
    if (guard.writtenOutputs && guard.writtenOutputs->contains(existing)) {
        return QStringLiteral("the output would replace an output of this run");
    }
    if (guard.isListed && guard.isListed(existing, strPath)) {
        return QStringLiteral("the output would replace a file in the list");
    }
    return {};
}

// Six letters and digits for a new file's name.
QString RandomPart() {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString strPart;
    for (int i = 0; i < 6; ++i) {
        strPart += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(62)]);
    }
    return strPart;
}

// The new file's name beside strPath: ".NAME.XXXXXX.part", or ".reduced.XXXXXX.part" when that
// would be too long a name.
QString NewFileName(const QString& strPath) {
    const QFileInfo output(strPath);
    const QString strRandom = RandomPart();
    QString strName = u'.' + output.fileName() + u'.' + strRandom + QStringLiteral(".part");
    if (QFile::encodeName(strName).size() > NAME_MAX) {
        strName = QStringLiteral(".reduced.") + strRandom + QStringLiteral(".part");
    }
    const QString strFolder = strPath.left(strPath.size() - output.fileName().size());
    return strFolder + strName;
}

}  // namespace

OutputFile::~OutputFile() {
    if (lngFd >= 0) ::close(lngFd);
}

Failure OutputFile::Create(const QString& strOutputPath, const Guard& guard) {
    const Failure hazard = NameHazard(strOutputPath, guard);
    if (hazard) return hazard;

    // Exclusive and without following a link; a name taken meanwhile gets another try.
    for (int lngTry = 0; lngTry < 100; ++lngTry) {
        const QString strCandidate = NewFileName(strOutputPath);
        const QByteArray path = QFile::encodeName(strCandidate);
        const int lngNewFd = ::open(
            path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
        if (lngNewFd < 0) {
            if (errno == EEXIST) continue;
            return WithError("the output cannot be created", errno);
        }
        struct stat st {};
        if (::fstat(lngNewFd, &st) != 0) {
            const int lngErrno = errno;
            ::unlink(path.constData());
            ::close(lngNewFd);
            return WithError("the output cannot be created", lngErrno);
        }
        if (lngFd >= 0) ::close(lngFd);
        lngFd = lngNewFd;
        strPath = strOutputPath;
        strNewPath = strCandidate;
        identity = FileIdentity::Of(st);
        return {};
    }
    return WithError("the output cannot be created", EEXIST);
}

bool OutputFile::IsStillNamed() const {
    if (lngFd < 0) return false;
    struct stat st {};
    return ::lstat(QFile::encodeName(strNewPath).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           FileIdentity::Of(st) == identity;
}

int64_t OutputFile::Size() const {
    struct stat st {};
    if (lngFd < 0 || ::fstat(lngFd, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool OutputFile::HasTrailingTag() const {
    const int64_t lngSize = Size();
    if (lngSize < kTrailingTagLength) return false;
    uint8_t bytTag[kTrailingTagLength] = {};
    return ::pread(lngFd, bytTag, sizeof bytTag, lngSize - kTrailingTagLength) == sizeof bytTag &&
           IsTrailingTag(bytTag);
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

Failure OutputFile::Replace(const Guard& guard) {
    if (::fsync(lngFd) != 0) return WithError("the output cannot be written", errno);
    // The output's name may have been given to something else while the encoder ran.
    const Failure hazard = NameHazard(strPath, guard);
    if (hazard) return hazard;
    if (!IsStillNamed()) return QStringLiteral("the output was replaced while the encoder ran");
    if (::rename(QFile::encodeName(strNewPath).constData(),
                 QFile::encodeName(strPath).constData()) != 0) {
        return WithError("the output cannot be given its name", errno);
    }
    blnPlaced = true;
    return {};
}

void OutputFile::HandOver() {
    if (!blnPlaced && IsStillNamed()) {
        ::rename(QFile::encodeName(strNewPath).constData(), QFile::encodeName(strPath).constData());
    }
}

void OutputFile::RemoveIfOurs() {
    if (!blnPlaced && IsStillNamed()) ::unlink(QFile::encodeName(strNewPath).constData());
}
