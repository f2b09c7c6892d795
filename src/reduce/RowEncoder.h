// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One row of a Reduce run, from the check of its input to its output counting or failing with a
// reason. A RowEncoder lives for one run and remembers the outputs the run has written.
//
// A row's steps: the source is opened once and held (SourceFile); it must be a regular file that
// the analysis admits, read through that descriptor, and not hold more audio in other formats
// than the encoder could drop (LengthVerdict); the output name is checked and a new file made for
// it and held (OutputFile); the encoder is handed both descriptors and writes the new file; a
// trailing ID3v1 block of the source is appended when the encoder left none; the new file must be
// whole (every frame complete, its first frame not empty, an Info or Xing frame count equal to the
// frames found), last as long as what the encoder keeps of its source (LengthVerdict), and the
// disk must not have run full while it was written. Only then is it synced and given the output
// name; otherwise it goes, and an older output of that name is left as it was.

#include <sys/statvfs.h>

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "common/FileIdentity.h"
#include "reduce/Failure.h"
#include "reduce/OutputFile.h"

class MP3Info;

// Runs the encoder with one row's argument list, the row's source and new file handed over (in
// that order), and returns its result (RunAndWait's).
using EncoderRunner =
    std::function<int32_t(const QStringList& arguments, std::span<const int> lngHandOver)>;

// The bytes free to this program on the file system that holds the open file lngFd; -1 when
// unknown.
using FreeSpaceProbe = std::function<int64_t(int lngFd)>;

// Whether a file is in the list now, by its identity or by its path.
using ListedTest = std::function<bool(const FileIdentity& identity, const QByteArray& btPath)>;

// The encoder's argument list for a row whose source the encoder opens as strInput and whose new
// file it writes as strOutput, the source being MPEG audio of layer lngLayer (1 to 3).
using ArgumentsFor =
    std::function<QStringList(const QString& strInput, const QString& strOutput, int lngLayer)>;

// The free space on the file system holding the open file lngFd, by fstatvfs (FreeBytes); -1 when
// it cannot be had.
int64_t FreeSpaceOf(int lngFd);

// The bytes free to a program in a file system that statvfs describes as vfs, for root
// (blnRoot: the blocks kept for root count too) or anyone else; -1 when the file system reports
// no size at all (0 blocks: ramfs, some FUSE mounts), whose free space is unknown, not 0.
int64_t FreeBytes(const struct statvfs& vfs, bool blnRoot);

// The free space below which the file system of an output counts as having run full.
int64_t FullDiskThreshold();

// What a run asks of the system beyond the files: tests replace parts of it.
struct RunServices {
    EncoderRunner runner;                    // starts the encoder and waits with events
    FreeSpaceProbe freeSpace = FreeSpaceOf;  // after the encode
    std::function<int(int lngFd)> sync;      // makes a new file durable: fsync
    // At the program's end: waits for the running encoder without events; its result, or none.
    std::function<std::optional<int32_t>()> waitAtEnd;
    OutputFile::Making making = OutputFile::Making::UnnamedWherePossible;

    // The real ones: RunAndWait with no window, fsync, WaitWithoutEvents, statvfs.
    static RunServices Real();
};

struct RowOutcome {
    bool blnNotStarted = false;   // the encoder could not be started (lngResult is the start error)
    bool blnAlreadyDone = false;  // this run already wrote this source's output under this name
    bool blnEnded = false;        // the program ended while the encoder ran; the row is settled
    int32_t lngResult = 0;        // the runner's result; 0 when the encoder was not run
    Failure failure;              // why the row failed; none when its output counts
    int64_t lngSourceBytes = 0;   // the source's and the output's sizes, when a new output counts
    int64_t lngOutputBytes = 0;
    int32_t lngOutputBitrate = 0;  // the bitrate the new output was written at, bits per second
};

class RowEncoder {
  public:
    explicit RowEncoder(RunServices services);
    ~RowEncoder();
    RowEncoder(const RowEncoder&) = delete;
    RowEncoder& operator=(const RowEncoder&) = delete;

    // Encodes the source input into the output output (both the file system's bytes) with the
    // argument list arguments gives. isListed tells whether a file is in the list at this moment;
    // an existing output that is one of them is not replaced.
    RowOutcome Encode(const QByteArray& input, const QByteArray& output,
                      const ArgumentsFor& arguments, const ListedTest& isListed);

    // For the program's end while an encoder runs: waits for it without events, then checks its
    // new file as any row's and gives it the output's name or removes it. A SIGTERM or SIGHUP
    // meanwhile removes the new file and ends the process. Nothing when no encoder runs.
    void FinishAtEnd();

  private:
    struct Row;
    // The steps after the encoder has ended with lngResult.
    void Finish(Row& row, int32_t lngResult);

    RunServices services;
    std::unique_ptr<MP3Info> mp3Info;
    QSet<FileIdentity> writtenOutputs;
    QHash<FileIdentity, QSet<FileIdentity>> doneOutputs;  // a source's outputs this run wrote
    Row* running = nullptr;                               // the row whose encoder runs now
};
