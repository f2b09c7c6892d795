// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Reduce run: every row that the file list holds when Reduce is pressed goes through the
// encoder exactly once, in the list's order at each step, at the bitrate the menu shows when the
// row's turn comes, one encoder process at a time. The run talks to the window only through
// ReduceHost, so it can be driven without one; what happens to one row is RowEncoder's.

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "common/Pointer.h"
#include "common/Prompts.h"
#include "filelist/FileListModel.h"
#include "reduce/RowEncoder.h"

class QWidget;

// What a run reads from and writes to the window.
class ReduceHost {
  public:
    virtual ~ReduceHost() = default;

    virtual FileListModel& List() = 0;                    // the file list, read as it is now
    virtual QString MenuText() = 0;                       // the bitrate menu's current text
    virtual void SetPointer(Pointer::Value pointer) = 0;  // hourglass, default
    virtual void SetProgress(float sngValue) = 0;         // the progress bar, 0..100
    virtual QString ProgramFolder() = 0;                  // the folder the encoder lies in
    virtual Prompts& MessagePrompts() = 0;                // where the run's messages go
    virtual QWidget* MessageOwner() = 0;                  // the window that owns those messages
};

class ReduceBatch {
  public:
    // A run with the real encoder start, file system and wait.
    ReduceBatch();
    explicit ReduceBatch(RunServices services);

    // One press of Reduce. An empty list gives "No files added.". Otherwise the rows listed now
    // are the run's; each step takes the first of them, in the list's order at that moment, that
    // has not had its turn: the hourglass, the bar at (the row's number / the number of rows)
    // x 100, both as they are at that moment, the output name and the encoder's arguments from
    // the menu text of that moment, the row encoded (RowEncoder). Rows added during the run are not
    // part of it, rows removed before their turn are not encoded; a row whose source and output
    // are a file and an output this run already wrote (whatever path text names them) counts as
    // done without a second encode. Then the default pointer, the bar at 0 and "Done.", with the
    // run's report below it (Report).
    //
    // An encoder that cannot be started ends the run at once with a warning naming the encoder's
    // path and the run's report, the rows not yet done failing for that reason. A press while a
    // run is in progress (the window's events run during the encoder's wait) is ignored.
    void Run(ReduceHost& host);

    bool IsRunning() const { return blnRunning; }

    // For the program's end, its window gone, while a run waits for its encoder: waits for the
    // encoder without events, checks its new file and gives it the output's name or removes it;
    // the run itself goes no further (no more rows, no message). Nothing when no encoder runs.
    void FinishAtEnd();

    // What a run reports at its end, gathered row by row.
    struct Report {
        QStringList failures;   // "path: reason", for the details
        qsizetype lngDone = 0;  // new outputs
        int64_t lngSourceBytes = 0, lngOutputBytes = 0;
        QStringList larger;        // outputs larger than their sources
        QStringList otherBitrate;  // outputs at another bitrate than chosen: "..: 64 kbps, not 320"

        // Counts one row's outcome: its input and output paths as text, the kbps the menu chose.
        void Count(const RowOutcome& outcome, const QString& strInputPath,
                   const QString& strOutputPath, int32_t lngChosenKbps);

        // The informative text: the failed files, the sizes, the outputs larger than their
        // sources and at another bitrate, one line each ("" for those that are none).
        QString Informative() const;
        // The details: each failed file with its reason, then each output larger than its source
        // and each at another bitrate.
        QString Details() const;
    };

    // The closing message's line for lngFailed failed files ("" for none).
    static QString FailureCount(qsizetype lngFailed);

    // The closing message's line for lngDone files reduced from lngSourceBytes to lngOutputBytes
    // in all ("" for none): "12 files: 48.1 MB → 22.0 MB".
    static QString SizeTotals(qsizetype lngDone, int64_t lngSourceBytes, int64_t lngOutputBytes);

    // The details' line for an output that came out larger than its source.
    static QString LargerOutput(const QString& strOutputPath);

  private:
    RunServices services;
    bool blnRunning = false;
    bool blnEnded = false;          // the program has ended during the run
    RowEncoder* encoder = nullptr;  // the running run's
};
