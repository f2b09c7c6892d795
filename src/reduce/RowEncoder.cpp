// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/RowEncoder.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <QFile>
#include <utility>

#include "analysis/ByteSource.h"
#include "analysis/FrameWalk.h"
#include "analysis/MP3Info.h"
#include "analysis/Refusal.h"
#include "reduce/EndingSignals.h"
#include "reduce/LengthVerdict.h"
#include "reduce/ScopedSlot.h"
#include "reduce/Shell32.h"
#include "reduce/SourceFile.h"

namespace {

// The encoder runs without a window.
constexpr int kWindowHidden = 0;

// One write of the encoder: its largest buffer of frames (16 KiB) and, before them, an ID3v2 tag
// holding a picture of up to 128 KiB. The file system of an output with less free space than that
// after the encode may have refused the encoder's last write, which the encoder does not report.
constexpr int64_t kFullDiskThreshold = 16 * 1024 + 128 * 1024;

QString Text(std::string_view reason) {
    return QString::fromUtf8(reason.data(), static_cast<qsizetype>(reason.size()));
}

// The analysis of an open file: no failure when it is admitted and walked (walk then filled in),
// else the reason.
Failure Analyse(MP3Info& mp3Info, int lngFd, int64_t lngSize, FrameWalkResult& walk) {
    FileSource source(lngFd, lngSize);
    if (!mp3Info.ReadMP3Info(source) || !WalkFrames(source, mp3Info.FirstFrame(), walk)) {
        return Text(kReasonNotMp3);
    }
    return {};
}

// Checks the encoder's finished file, read through its descriptor: no failure when it is whole
// and as long as its source, else the reason the row fails.
Failure CheckOutput(const OutputFile& output, MP3Info& mp3Info, const FrameWalkResult& source) {
    FrameWalkResult walk;
    if (Analyse(mp3Info, output.Descriptor(), output.Size(), walk)) {
        return QStringLiteral("the output is not a valid MP3 file");
    }
    // What the encoder leaves when its last write failed: a header and zeros where the first
    // frame's Info or Xing count should be.
    if (walk.blnFirstFrameHollow) return QStringLiteral("the output's first frame is empty");
    if (walk.lngTruncatedBytes > 0 || walk.lngSkippedBytes > 0 || walk.change) {
        return QStringLiteral("the output's frames are not whole");
    }
    // The encoder's Info or Xing frame states the frames that follow it.
    if (walk.blnHasVbrHeader && walk.lngVbrHeaderFrames != walk.lngFrames) {
        return QStringLiteral("the output holds fewer frames than its header counts");
    }
    return JudgeOutputLength(source, walk);
}

}  // namespace

// One row while its turn lasts.
struct RowEncoder::Row {
    SourceFile source;
    FrameWalkResult walk;    // the source's frames
    QByteArray trailingTag;  // the source's trailing ID3v1 block, empty when it has none
    OutputFile output;
    OutputFile::Guard guard;
    RowOutcome outcome;
    bool blnSettled = false;  // the encoder's end has been dealt with
};

int64_t FullDiskThreshold() { return kFullDiskThreshold; }

int64_t FreeBytes(const struct statvfs& vfs, bool blnRoot) {
    if (vfs.f_blocks == 0) return -1;
    const auto lngBlocks = blnRoot ? vfs.f_bfree : vfs.f_bavail;
    return static_cast<int64_t>(lngBlocks) * static_cast<int64_t>(vfs.f_frsize);
}

int64_t FreeSpaceOf(int lngFd) {
    struct statvfs vfs {};
    if (::fstatvfs(lngFd, &vfs) != 0) return -1;
    // The encoder runs as this program's user: the blocks kept for root count only for root.
    return FreeBytes(vfs, ::geteuid() == 0);
}

RunServices RunServices::Real() {
    RunServices services;
    services.runner = [](const QStringList& arguments, std::span<const int> lngHandOver) {
        return RunAndWait(arguments, kWindowHidden, lngHandOver);
    };
    services.sync = [](int lngFd) { return ::fsync(lngFd); };
    services.waitAtEnd = WaitWithoutEvents;
    return services;
}

RowEncoder::RowEncoder(RunServices services)
    : services(std::move(services)), mp3Info(std::make_unique<MP3Info>()) {}

RowEncoder::~RowEncoder() = default;

RowOutcome RowEncoder::Encode(const QByteArray& input, const QByteArray& output,
                              const ArgumentsFor& arguments, const ListedTest& isListed) {
    Row row;
    RowOutcome& outcome = row.outcome;
    outcome.failure = row.source.Open(input);
    if (outcome.failure) return outcome;
    // The same file listed again, the menu unchanged: the output this run wrote for it is there.
    const std::optional<FileIdentity> existing = RegularFileAt(output);
    if (existing && doneOutputs.value(row.source.Identity()).contains(*existing)) {
        outcome.blnAlreadyDone = true;
        return outcome;
    }
    outcome.failure = Analyse(*mp3Info, row.source.Descriptor(), row.source.Size(), row.walk);
    if (!outcome.failure) outcome.failure = RefuseBeforeEncoding(row.walk);
    if (outcome.failure) return outcome;
    const int lngLayer = mp3Info->Layer();
    row.trailingTag = row.source.TrailingTag();

    row.guard = OutputFile::Guard{row.source.Identity(), &writtenOutputs, isListed};
    outcome.failure = row.output.Create(output, row.guard, services.making);
    if (outcome.failure) return outcome;

    int32_t lngResult = 0;
    {
        const ScopedSlot<Row> marked(running, row);
        const int lngHandOver[] = {row.source.Descriptor(), row.output.Descriptor()};
        lngResult =
            services.runner(arguments(HandedOverPath(0), HandedOverPath(1), lngLayer), lngHandOver);
    }
    // The program's end may have settled the row while the encoder ran.
    if (row.blnSettled) {
        outcome.blnEnded = true;
        return outcome;
    }
    Finish(row, lngResult);
    return outcome;
}

void RowEncoder::Finish(Row& row, int32_t lngResult) {
    row.blnSettled = true;
    RowOutcome& outcome = row.outcome;
    outcome.lngResult = lngResult;
    OutputFile& output = row.output;
    outcome.failure = [&]() -> Failure {
        if (IsStartError(lngResult)) {
            outcome.blnNotStarted = true;
            return QStringLiteral("the encoder could not be started");
        }
        if (lngResult != 0)
            return QStringLiteral("the encoder ended with status %1").arg(lngResult);
        if (!output.IsStillNamed()) {
            return QStringLiteral("the output was replaced while the encoder ran");
        }
        if (output.Size() <= 0) return QStringLiteral("the encoder wrote no output");
        // The encoder does not report a write that failed for want of space.
        const int64_t lngFree = services.freeSpace(output.Descriptor());
        if (lngFree >= 0 && lngFree < kFullDiskThreshold) return QStringLiteral("the disk is full");
        // The encoder keeps an ID3v2 tag but drops a trailing ID3v1 block; tags written only
        // that way would be lost.
        if (!row.trailingTag.isEmpty() && !output.HasTrailingTag() &&
            !output.AppendTrailingTag(row.trailingTag)) {
            return QStringLiteral("the source's ID3v1 tag cannot be added to the output");
        }
        if (Failure failure = CheckOutput(output, *mp3Info, row.walk)) return failure;
        return output.Place(row.guard, services.sync);
    }();

    if (!outcome.failure) {
        writtenOutputs.insert(output.Identity());
        doneOutputs[row.source.Identity()].insert(output.Identity());
        outcome.lngSourceBytes = row.source.Size();
        outcome.lngOutputBytes = output.Size();
        outcome.lngOutputBitrate = mp3Info->Bitrate();  // the output's, analysed last
    } else {
        // Nothing partial or broken stays behind; a name someone else has put there meanwhile
        // is not ours to remove.
        output.RemoveIfOurs();
    }
}

void RowEncoder::FinishAtEnd() {
    if (running == nullptr || running->blnSettled) return;
    Row& row = *running;
    // A logout meanwhile ends the process: the new file goes, the older output stays.
    const EndingSignals ending(row.output.NewPath());
    const std::optional<int32_t> lngResult =
        services.waitAtEnd ? services.waitAtEnd() : std::nullopt;
    if (!lngResult) {
        row.blnSettled = true;
        row.outcome.failure = QStringLiteral("the encoder's end could not be awaited");
        row.output.RemoveIfOurs();
        return;
    }
    Finish(row, *lngResult);
}
