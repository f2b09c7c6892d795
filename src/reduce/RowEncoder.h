// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One row of a Reduce run, from the check of its input to its output counting or failing with a
// reason. A RowEncoder lives for one run and remembers the outputs the run has written.
//
// A row's steps: the input must be a regular file that the analysis admits, and its frames must
// keep one format to their end (the encoder stops where a stream changes its sample rate, channel
// count, layer or version); the output name is checked and a new file made beside it
// (OutputFile); the encoder writes into that new file; a trailing ID3v1 block of the source is
// appended when the encoder left none; the new file must be whole (every frame complete, its
// first frame not empty, an Info or Xing frame count equal to the frames found), last as long as
// its source within the encoder's own delay and padding, and the disk must not have run full
// while it was written. Only then is it synced and renamed onto the output name; otherwise it is
// removed, and an older output of that name is left as it was.

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "common/FileIdentity.h"
#include "reduce/Failure.h"

class MP3Info;
class OutputFile;

// Runs the encoder with one row's argument list and returns its result (RunAndWait's).
using EncoderRunner = std::function<int32_t(const QStringList& arguments)>;

// The bytes free to this program on the file system that holds strPath; -1 when unknown.
using FreeSpaceProbe = std::function<int64_t(const QString& strPath)>;

// Whether a file is in the list now, by its identity or by its path.
using ListedTest = std::function<bool(const FileIdentity& identity, const QString& strPath)>;

struct RowOutcome {
    bool blnNotStarted = false;   // the encoder could not be started (lngResult is the start error)
    bool blnAlreadyDone = false;  // this run already wrote this file's output under this name
    int32_t lngResult = 0;        // the runner's result; 0 when the encoder was not run
    Failure failure;              // why the row failed; none when its output counts
    int64_t lngSourceBytes = 0;   // the source's and the output's sizes, when a new output counts
    int64_t lngOutputBytes = 0;
};

// The gap, in milliseconds, that an output's length (its frames counted) may lie from its
// source's length: the encoder's own delay and padding.
struct LengthBound {
    double dblBelow;  // the output may be this much shorter
    double dblAbove;  // or this much longer
};
LengthBound OutputLengthBound();

// The free space below which the file system of an output counts as having run full.
int64_t FullDiskThreshold();

// The free space on the file system holding strPath, by statvfs.
int64_t FreeSpaceOf(const QString& strPath);

class RowEncoder {
  public:
    explicit RowEncoder(EncoderRunner runner, FreeSpaceProbe freeSpace = FreeSpaceOf);
    ~RowEncoder();
    RowEncoder(const RowEncoder&) = delete;
    RowEncoder& operator=(const RowEncoder&) = delete;

    // Encodes strInputPath into strOutputPath by running the arguments that arguments() gives for
    // the file the encoder is to write. isListed tells whether a file is in the list at this
    // moment; an existing output that is one of them is not replaced.
    RowOutcome Encode(const QString& strInputPath, const QString& strOutputPath,
                      const std::function<QStringList(const QString& strWritePath)>& arguments,
                      const ListedTest& isListed);

    // While an encoder runs: gives its new file the output's name now, unchecked (the program is
    // ending). Nothing otherwise.
    void HandOverRunning();

  private:
    EncoderRunner runner;
    FreeSpaceProbe freeSpace;
    std::unique_ptr<MP3Info> mp3Info;
    QSet<FileIdentity> writtenOutputs;
    QHash<FileIdentity, QSet<QString>> doneOutputs;  // a source's outputs this run wrote
    OutputFile* running = nullptr;                   // the new file of the encoder running now
};
