// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/RowEncoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>

#include "analysis/MP3Info.h"
#include "reduce/OutputFile.h"
#include "reduce/Shell32.h"

namespace {

// An output may differ in length from its source by a fixed part and a share of the source's
// length. Measured over 912 lame encodes (tones from sox at 8 to 48 kHz, mono and stereo, 0.05 to
// 60 s, sources at 8 to 128 kbps, each reduced at 8 to 320 kbps): the encoder adds or drops at
// most 216 ms (three 72 ms frames at 8 kHz), and a length estimated from the size of a file
// without a frame count is off by up to 0.5% (a first frame without the padding byte that about
// half the others carry), together at most 319 ms for 60 s. 300 ms and 1% leave about twice that.
constexpr double kToleranceMilliseconds = 300.0;
constexpr double kToleranceShare = 0.01;

// What is known of a row's input once it has passed its check.
struct Input {
    FileIdentity identity;
    double dblMilliseconds = 0;
    QByteArray trailingTag;  // the source's trailing ID3v1 block, empty when it has none
};

// The trailing ID3v1 block of the regular file strPath, or nothing. Opened without blocking, so
// that a name swapped for a FIFO meanwhile cannot stop the run.
QByteArray TrailingTagOf(const QString& strPath) {
    const int lngFd = ::open(QFile::encodeName(strPath).constData(),
                             O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (lngFd < 0) return {};
    QByteArray tag;
    struct stat st {};
    if (::fstat(lngFd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= kTrailingTagLength) {
        tag.resize(kTrailingTagLength);
        if (::pread(lngFd, tag.data(), kTrailingTagLength, st.st_size - kTrailingTagLength) !=
                kTrailingTagLength ||
            !tag.startsWith("TAG")) {
            tag.clear();
        }
    }
    ::close(lngFd);
    return tag;
}

// Checks the row's input before anything is written: "" when it is a regular file that the
// analysis admits (input is then filled in), else the reason the row fails.
QString CheckInput(const QString& strPath, MP3Info& mp3Info, Input& input) {
    const QByteArray path = QFile::encodeName(strPath);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT) return QStringLiteral("the file does not exist");
        return QStringLiteral("the file cannot be read (") +
               QString::fromLocal8Bit(std::strerror(errno)) + u')';
    }
    if (S_ISDIR(st.st_mode)) return QStringLiteral("a folder, not a file");
    if (!S_ISREG(st.st_mode)) return QStringLiteral("not a regular file");
    if (!mp3Info.ReadMP3Info(path.toStdString())) return QStringLiteral("not a valid MP3 file");
    input.identity = FileIdentity{st.st_dev, st.st_ino};
    input.dblMilliseconds = mp3Info.Duration();
    input.trailingTag = TrailingTagOf(strPath);
    return {};
}

// Checks the finished output: "" when the analysis admits it and both its stated length and the
// length its bytes hold match the source's, else the reason the row fails.
QString CheckOutput(OutputFile& output, MP3Info& mp3Info, double dblSourceMilliseconds) {
    if (!mp3Info.ReadMP3Info(QFile::encodeName(output.Path()).toStdString())) {
        return QStringLiteral("the output is not a valid MP3 file");
    }
    // The frame count in the first frame states the length; a file cut short still states it in
    // full, so the length that the bytes after the first frame hold is checked as well.
    const double dblTolerance = LengthTolerance(dblSourceMilliseconds);
    const int64_t lngAudioBytes = int64_t{mp3Info.FileSize()} - mp3Info.FirstFrame() -
                                  (output.HasTrailingTag() ? kTrailingTagLength : 0);
    const double dblHeld = static_cast<double>(lngAudioBytes) * 8.0 / mp3Info.Bitrate() * 1000.0;
    if (std::abs(mp3Info.Duration() - dblSourceMilliseconds) > dblTolerance ||
        std::abs(dblHeld - dblSourceMilliseconds) > dblTolerance) {
        return QStringLiteral("the output does not match the source's length");
    }
    return {};
}

}  // namespace

double LengthTolerance(double dblSourceMilliseconds) {
    return kToleranceMilliseconds + kToleranceShare * dblSourceMilliseconds;
}

RowEncoder::RowEncoder(EncoderRunner runner)
    : runner(std::move(runner)), mp3Info(std::make_unique<MP3Info>()) {}

RowEncoder::~RowEncoder() = default;

RowOutcome RowEncoder::Encode(const QString& strInputPath, const QString& strOutputPath,
                              const QStringList& arguments,
                              const std::function<QStringList()>& listedPaths) {
    RowOutcome outcome;
    Input input;
    outcome.strFailure = CheckInput(strInputPath, *mp3Info, input);
    if (!outcome.strFailure.isEmpty()) return outcome;

    OutputFile output;
    outcome.strFailure = output.Create(
        strOutputPath, OutputFile::Guard{input.identity, &writtenOutputs, listedPaths});
    if (!outcome.strFailure.isEmpty()) return outcome;

    outcome.lngResult = runner(arguments);
    outcome.strFailure = [&]() -> QString {
        if (IsStartError(outcome.lngResult)) {
            outcome.blnNotStarted = true;
            return QStringLiteral("the encoder could not be started");
        }
        if (outcome.lngResult != 0) {
            return QStringLiteral("the encoder ended with status %1").arg(outcome.lngResult);
        }
        if (!output.IsStillNamed()) {
            return QStringLiteral("the output was replaced while the encoder ran");
        }
        if (output.Size() <= 0) return QStringLiteral("the encoder wrote no output");
        // The encoder keeps an ID3v2 tag but drops a trailing ID3v1 block; tags written only
        // that way would be lost.
        if (!input.trailingTag.isEmpty() && !output.HasTrailingTag() &&
            !output.AppendTrailingTag(input.trailingTag)) {
            return QStringLiteral("the source's ID3v1 tag cannot be added to the output");
        }
        return CheckOutput(output, *mp3Info, input.dblMilliseconds);
    }();

    if (outcome.strFailure.isEmpty()) {
        writtenOutputs.insert(output.Identity());
    } else {
        // Nothing partial or broken stays behind; a name someone else has put there meanwhile
        // is not ours to remove.
        output.RemoveIfOurs();
    }
    return outcome;
}
