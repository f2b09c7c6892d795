// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/RowEncoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>

#include "analysis/FrameWalk.h"
#include "analysis/MP3Info.h"
#include "analysis/Refusal.h"
#include "analysis/TrailingTag.h"
#include "reduce/OutputFile.h"
#include "reduce/ScopedSlot.h"
#include "reduce/Shell32.h"

namespace {

// How far an output's length, its frames counted, may lie from its source's: the encoder's own
// delay and padding, which do not grow with the length. Measured with bench/reduce/length_gap.sh
// (a full run and a --quick run, 1,734 encodes with the run's own arguments): sox tones at 8,
// 11.025, 12, 16, 22.05, 24, 32, 44.1 and 48 kHz, mono and stereo, 0.1, 1.3, 13.7 and 60 s, made
// by lame as CBR files with an Info frame, VBR files with a Xing frame and VBR files without one,
// each reduced at all eighteen menu bitrates, and two-hour 8 kHz tones (mono CBR, stereo VBR
// without Xing) reduced at 8, 32 and 128 kbps. The outputs lay from 13.4 ms shorter (a 0.1 s VBR
// source at 48 kHz) to 192 ms longer (a 0.1 s VBR source without Xing, whose own delay the
// encoder cannot know, at 8 kbps) than their sources; the two-hour files 0 and 144 ms longer,
// as the shorter ones. The bound leaves about three times the shortfall and one and a half times
// the excess: 40 ms below, 288 ms (four 72 ms frames at 8 kHz) above.
constexpr LengthBound kLengthBound{40.0, 288.0};

// One write of the encoder: its largest buffer of frames (16 KiB) and, before them, an ID3v2 tag
// holding a picture of up to 128 KiB. The file system of an output with less free space than that
// after the encode may have refused the encoder's last write, which the encoder does not report.
constexpr int64_t kFullDiskThreshold = 16 * 1024 + 128 * 1024;

QString Text(std::string_view reason) {
    return QString::fromUtf8(reason.data(), static_cast<qsizetype>(reason.size()));
}

// What is known of a row's input once it has passed its check.
struct Input {
    FileIdentity identity;
    int64_t lngBytes = 0;
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
            !IsTrailingTag({reinterpret_cast<const uint8_t*>(tag.constData()),
                            static_cast<size_t>(tag.size())})) {
            tag.clear();
        }
    }
    ::close(lngFd);
    return tag;
}

// "0:10", "1:02:03": the whole seconds of dblMilliseconds.
QString Clock(double dblMilliseconds) {
    const auto lngSeconds = static_cast<int64_t>(std::floor(dblMilliseconds / 1000.0));
    const QString strSeconds = QStringLiteral("%1").arg(lngSeconds % 60, 2, 10, QChar('0'));
    if (lngSeconds < 3600) return QStringLiteral("%1:%2").arg(lngSeconds / 60).arg(strSeconds);
    return QStringLiteral("%1:%2:%3")
        .arg(lngSeconds / 3600)
        .arg(lngSeconds / 60 % 60, 2, 10, QChar('0'))
        .arg(strSeconds);
}

QString ChangeReason(const FormatChange& change) {
    return QStringLiteral("the %1 changes at %2; the encoder would stop there")
        .arg(QString::fromLatin1(FormatChangeName(change.kind)), Clock(change.dblMilliseconds));
}

// The first step of the input's check, by the file system alone: no failure when strPath names a
// regular file (its identity and size then filled in), else the reason the row fails.
Failure CheckInputFile(const QString& strPath, Input& input) {
    struct stat st {};
    if (::stat(QFile::encodeName(strPath).constData(), &st) != 0) {
        const std::string_view reason = ReasonOfErrno(errno);
        return Text(reason.empty() ? kReasonNotMp3 : reason);
    }
    if (S_ISDIR(st.st_mode)) return Text(kReasonIsFolder);
    if (!S_ISREG(st.st_mode)) return Text(kReasonNotMp3);
    input.identity = FileIdentity::Of(st);
    input.lngBytes = static_cast<int64_t>(st.st_size);
    return {};
}

// The rest of the input's check: no failure when the analysis admits the file and its frames keep
// one format (its length and trailing tag then filled in), else the reason the row fails.
Failure CheckInputStream(const QString& strPath, MP3Info& mp3Info, Input& input) {
    const std::string path = QFile::encodeName(strPath).toStdString();
    if (!mp3Info.ReadMP3Info(path)) return Text(RefusalReason(path));
    FrameWalkResult walk;
    if (!WalkFrames(path, mp3Info.FirstFrame(), walk)) return Text(RefusalReason(path));
    if (walk.change) return ChangeReason(*walk.change);
    input.dblMilliseconds = walk.dblMilliseconds;
    input.trailingTag = TrailingTagOf(strPath);
    return {};
}

// Checks the encoder's finished file: no failure when it is whole and as long as its source, else
// the reason the row fails.
Failure CheckOutput(const OutputFile& output, MP3Info& mp3Info, double dblSourceMilliseconds) {
    const std::string path = QFile::encodeName(output.NewPath()).toStdString();
    FrameWalkResult walk;
    if (!mp3Info.ReadMP3Info(path) || !WalkFrames(path, mp3Info.FirstFrame(), walk)) {
        return QStringLiteral("the output is not a valid MP3 file");
    }
    // What the encoder leaves when its last write failed: a header and zeros where the first
    // frame's Info or Xing count should be.
    if (walk.blnFirstFrameHollow) return QStringLiteral("the output's first frame is empty");
    if (walk.lngTruncatedBytes > 0 || walk.lngSkippedBytes > 0 || walk.change) {
        return QStringLiteral("the output's frames are not whole");
    }
    if (walk.lngVbrHeaderFrames >= 0 && walk.lngVbrHeaderFrames != walk.lngFrames) {
        return QStringLiteral("the output holds fewer frames than its header counts");
    }
    const double dblGap = walk.dblMilliseconds - dblSourceMilliseconds;
    if (dblGap < -kLengthBound.dblBelow || dblGap > kLengthBound.dblAbove) {
        return QStringLiteral("the output does not match the source's length");
    }
    return {};
}

}  // namespace

LengthBound OutputLengthBound() { return kLengthBound; }

int64_t FullDiskThreshold() { return kFullDiskThreshold; }

int64_t FreeSpaceOf(const QString& strPath) {
    struct statvfs vfs {};
    if (::statvfs(QFile::encodeName(strPath).constData(), &vfs) != 0) return -1;
    // The encoder runs as this program's user: the blocks kept for root count only for root.
    const auto lngBlocks = ::geteuid() == 0 ? vfs.f_bfree : vfs.f_bavail;
    return static_cast<int64_t>(lngBlocks) * static_cast<int64_t>(vfs.f_frsize);
}

RowEncoder::RowEncoder(EncoderRunner runner, FreeSpaceProbe freeSpace)
    : runner(std::move(runner)),
      freeSpace(std::move(freeSpace)),
      mp3Info(std::make_unique<MP3Info>()) {}

RowEncoder::~RowEncoder() = default;

void RowEncoder::HandOverRunning() {
    if (running) running->HandOver();
}

RowOutcome RowEncoder::Encode(
    const QString& strInputPath, const QString& strOutputPath,
    const std::function<QStringList(const QString& strWritePath)>& arguments,
    const ListedTest& isListed) {
    RowOutcome outcome;
    Input input;
    outcome.failure = CheckInputFile(strInputPath, input);
    if (outcome.failure) return outcome;
    // The same file listed again, the menu unchanged: its output is already there.
    if (doneOutputs.value(input.identity).contains(strOutputPath)) {
        outcome.blnAlreadyDone = true;
        return outcome;
    }
    outcome.failure = CheckInputStream(strInputPath, *mp3Info, input);
    if (outcome.failure) return outcome;

    const OutputFile::Guard guard{input.identity, &writtenOutputs, isListed};
    OutputFile output;
    outcome.failure = output.Create(strOutputPath, guard);
    if (outcome.failure) return outcome;

    {
        const ScopedSlot<OutputFile> marked(running, output);
        outcome.lngResult = runner(arguments(output.NewPath()));
    }
    outcome.failure = [&]() -> Failure {
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
        // The encoder does not report a write that failed for want of space.
        const int64_t lngFree = freeSpace(output.NewPath());
        if (lngFree >= 0 && lngFree < kFullDiskThreshold) return QStringLiteral("the disk is full");
        // The encoder keeps an ID3v2 tag but drops a trailing ID3v1 block; tags written only
        // that way would be lost.
        if (!input.trailingTag.isEmpty() && !output.HasTrailingTag() &&
            !output.AppendTrailingTag(input.trailingTag)) {
            return QStringLiteral("the source's ID3v1 tag cannot be added to the output");
        }
        if (Failure failure = CheckOutput(output, *mp3Info, input.dblMilliseconds)) return failure;
        return output.Replace(guard);
    }();

    if (!outcome.failure) {
        writtenOutputs.insert(output.Identity());
        doneOutputs[input.identity].insert(strOutputPath);
        outcome.lngSourceBytes = input.lngBytes;
        outcome.lngOutputBytes = output.Size();
    } else {
        // Nothing partial or broken stays behind; a name someone else has put there meanwhile
        // is not ours to remove.
        output.RemoveIfOurs();
    }
    return outcome;
}
