// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One row of a Reduce run, from the check of its input to its output counting or failing with a
// reason. A RowEncoder lives for one run and remembers the outputs the run has written.
//
// A row's steps: the input must be a regular file that the analysis admits; the output name is
// checked and the output made afresh (OutputFile); the encoder runs; a trailing ID3v1 block of the
// source is appended to an output that has none; the output must still be the file made for it,
// be admitted by the analysis and last as long as its source. An output that does not count is
// removed again.

#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

#include "reduce/FileIdentity.h"

class MP3Info;

// Runs the encoder with one row's argument list and returns its result (RunAndWait's).
using EncoderRunner = std::function<int32_t(const QStringList& arguments)>;

struct RowOutcome {
    bool blnNotStarted = false;  // the encoder could not be started (lngResult is the start error)
    int32_t lngResult = 0;       // the runner's result; 0 when the encoder was not run
    QString strFailure;          // why the row failed; "" when its output counts
};

// How far, in milliseconds, an output's length may lie from the length of its source of
// dblSourceMilliseconds. The encoder adds a few frames of its own, and the length of a file
// without a frame count in its first frame is estimated from its size.
double LengthTolerance(double dblSourceMilliseconds);

class RowEncoder {
  public:
    explicit RowEncoder(EncoderRunner runner);
    ~RowEncoder();
    RowEncoder(const RowEncoder&) = delete;
    RowEncoder& operator=(const RowEncoder&) = delete;

    // Encodes strInputPath into strOutputPath by running arguments. listedPaths gives the paths
    // the list holds at this moment; an existing output that is one of them is not replaced.
    RowOutcome Encode(const QString& strInputPath, const QString& strOutputPath,
                      const QStringList& arguments,
                      const std::function<QStringList()>& listedPaths);

  private:
    EncoderRunner runner;
    std::unique_ptr<MP3Info> mp3Info;
    QSet<FileIdentity> writtenOutputs;
};
