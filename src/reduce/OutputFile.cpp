// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/OutputFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

#include "analysis/ByteSource.h"
#include "analysis/TrailingTag.h"
#include "filelist/Mp3Names.h"

namespace {

QString WithError(const char* szText, int lngErrno) {
    return QString::fromUtf8(szText) + QStringLiteral(" (") +
           QString::fromLocal8Bit(std::strerror(lngErrno)) + u')';
}

// What the output's name holds now: nothing, or a regular file that may be replaced.
enum class NameHolds { Nothing, OlderOutput };

// Why the output's name, as it is now, must not be replaced; no failure when it may be (also
// when nothing has that name), and then what it holds.
Failure NameHazard(const QByteArray& path, const OutputFile::Guard& guard, NameHolds& holds) {
    holds = NameHolds::Nothing;
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) {
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
    if (guard.isListed && guard.isListed(existing, path)) {
        return QStringLiteral("the output would replace a file in the list");
    }
    holds = NameHolds::OlderOutput;
    return {};
}

// Six letters and digits for a new file's name.
std::string RandomPart() {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string strPart;
    for (int i = 0; i < 6; ++i) strPart += kLetters[QRandomGenerator::global()->bounded(62)];
    return strPart;
}

// The folder part of path, its final "/" included ("" for a bare name).
QByteArray FolderOf(const QByteArray& path) { return path.left(path.lastIndexOf('/') + 1); }

// A new name beside path for the new file: FolderOf(path) + NewFileName.
QByteArray NewFilePath(const QByteArray& path) {
    const QByteArray folder = FolderOf(path);
    const QByteArray name = path.mid(folder.size());
    const std::string strName =
        NewFileName(std::string_view(name.constData(), static_cast<size_t>(name.size())),
                    RandomPart(), NAME_MAX);
    return folder + QByteArray(strName.data(), static_cast<qsizetype>(strName.size()));
}

// The folder to open for an unnamed file: "." for a bare name.
QByteArray OpenableFolder(const QByteArray& path) {
    const QByteArray folder = FolderOf(path);
    return folder.isEmpty() ? QByteArray(".") : folder;
}

// Gives the unnamed file open as lngFd the name path; fails with EEXIST when path is taken.
int LinkUnnamed(int lngFd, const QByteArray& path) {
    // Root may link the descriptor itself; anyone may link it through its /proc name.
    if (::linkat(lngFd, "", AT_FDCWD, path.constData(), AT_EMPTY_PATH) == 0) return 0;
    const QByteArray procPath = "/proc/self/fd/" + QByteArray::number(lngFd);
    return ::linkat(AT_FDCWD, procPath.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW);
}

// Renames from onto to without replacing anything at to (EEXIST then). Where the file system has
// no such rename, a link and an unlink do the same.
int RenameWithoutReplacing(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (::link(from.constData(), to.constData()) != 0) return -1;
    ::unlink(from.constData());
    return 0;
}

}  // namespace

OutputFile::~OutputFile() {
    if (lngFd >= 0) ::close(lngFd);
}

Failure OutputFile::Create(const QByteArray& output, const Guard& guard, Making making) {
    NameHolds holds;
    if (const Failure hazard = NameHazard(output, guard, holds)) return hazard;
    btPath = output;
    if (making == Making::UnnamedWherePossible) {
        if (const Failure unnamed = CreateUnnamed(OpenableFolder(output)); !unnamed) return {};
    }
    return CreateNamed();
}

// An unnamed file in folder; a failure when the file system does not offer them (or refuses
// this one: the named file then meets the same refusal and says why).
Failure OutputFile::CreateUnnamed(const QByteArray& folder) {
    const int lngNewFd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (lngNewFd < 0) return WithError("the output cannot be created", errno);
    struct stat st {};
    if (::fstat(lngNewFd, &st) != 0) {
        const int lngErrno = errno;
        ::close(lngNewFd);
        return WithError("the output cannot be created", lngErrno);
    }
    lngFd = lngNewFd;
    btNewPath.clear();
    identity = FileIdentity::Of(st);
    return {};
}

Failure OutputFile::CreateNamed() {
    // Exclusive and without following a link; a name taken meanwhile gets another try.
    for (int lngTry = 0; lngTry < 100; ++lngTry) {
        const QByteArray candidate = NewFilePath(btPath);
        const int lngNewFd =
            ::open(candidate.constData(),
                   O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
        if (lngNewFd < 0) {
            if (errno == EEXIST) continue;
            return WithError("the output cannot be created", errno);
        }
        struct stat st {};
        if (::fstat(lngNewFd, &st) != 0) {
            const int lngErrno = errno;
            ::unlink(candidate.constData());
            ::close(lngNewFd);
            return WithError("the output cannot be created", lngErrno);
        }
        lngFd = lngNewFd;
        btNewPath = candidate;
        identity = FileIdentity::Of(st);
        return {};
    }
    return WithError("the output cannot be created", EEXIST);
}

bool OutputFile::IsStillNamed() const {
    if (lngFd < 0) return false;
    return btNewPath.isEmpty() || RegularFileAt(btNewPath) == identity;
}

int64_t OutputFile::Size() const {
    struct stat st {};
    if (lngFd < 0 || ::fstat(lngFd, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool OutputFile::HasTrailingTag() const {
    const int64_t lngSize = Size();
    if (lngSize < 0) return false;
    FileSource source(lngFd, lngSize);
    std::array<uint8_t, kTrailingTagLength> bytTag{};
    return ReadTrailingId3v1(source, bytTag);
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

Failure OutputFile::Place(const Guard& guard, const std::function<int(int)>& sync) {
    if (sync(lngFd) != 0) return WithError("the output cannot be written", errno);
    // The output's name may have been given to something else while the encoder ran.
    NameHolds holds;
    if (const Failure hazard = NameHazard(btPath, guard, holds)) return hazard;
    if (!IsStillNamed()) return QStringLiteral("the output was replaced while the encoder ran");

    if (btNewPath.isEmpty() && holds == NameHolds::Nothing) {
        // A free name is taken by a link, which never replaces what appears there meanwhile.
        if (LinkUnnamed(lngFd, btPath) != 0) {
            return errno == EEXIST
                       ? QStringLiteral("the output name was taken while the encoder ran")
                       : WithError("the output cannot be given its name", errno);
        }
        blnPlaced = true;
        return {};
    }
    if (btNewPath.isEmpty()) {
        // An older output is replaced in one step: the new file gets a name of its own beside it
        // first, which the rename then moves over the old one.
        for (int lngTry = 0; btNewPath.isEmpty(); ++lngTry) {
            const QByteArray candidate = NewFilePath(btPath);
            if (LinkUnnamed(lngFd, candidate) == 0) {
                btNewPath = candidate;
            } else if (errno != EEXIST || lngTry == 100) {
                return WithError("the output cannot be given its name", errno);
            }
        }
    }
    // Onto a free name without replacing what may appear there meanwhile; onto an older output
    // by replacing it.
    const int lngRenamed = holds == NameHolds::Nothing
                               ? RenameWithoutReplacing(btNewPath, btPath)
                               : ::rename(btNewPath.constData(), btPath.constData());
    if (lngRenamed != 0) {
        const int lngErrno = errno;
        if (lngErrno == EEXIST)
            return QStringLiteral("the output name was taken while the encoder ran");
        return WithError("the output cannot be given its name", lngErrno);
    }
    blnPlaced = true;
    return {};
}

void OutputFile::RemoveIfOurs() {
    if (!blnPlaced && !btNewPath.isEmpty() && IsStillNamed()) ::unlink(btNewPath.constData());
}
