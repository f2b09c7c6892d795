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
    using Runner = EncoderRunner;

    ReduceBatch();
    explicit ReduceBatch(Runner runner, FreeSpaceProbe freeSpace = FreeSpaceOf);

    // One press of Reduce. An empty list gives "No files added.". Otherwise the rows listed now
    // are the run's; each step takes the first of them, in the list's order at that moment, that
    // has not had its turn: the hourglass, the bar at (the row's number / the number of rows)
    // x 100, both as they are at that moment, the output name and the encoder's arguments from
    // the menu text of that moment, the row encoded (RowEncoder). Rows added during the run are not
    // part of it, rows removed before their turn are not encoded; a row naming a file whose
    // output under the same name this run already wrote counts as done without a second encode.
    // Then the default pointer, the bar at 0 and "Done.", with the number of failed files and the
    // sizes of the files reduced and of their outputs below it, and in the details each failed
    // file with its reason and each output larger than its source.
    //
    // An encoder that cannot be started ends the run at once with a warning naming the encoder's
    // path. A press while a run is in progress (the window's events run during the encoder's
    // wait) is ignored.
    void Run(ReduceHost& host);

    bool IsRunning() const { return blnRunning; }

    // For the program's end while a run waits for its encoder: the encoder's new file takes the
    // output's name now, unverified, and the encoder goes on writing it. Nothing when no encoder
    // runs.
    void HandOverRunningOutput();

    // The closing message's line for lngFailed failed files ("" for none).
    static QString FailureCount(qsizetype lngFailed);

    // The closing message's line for lngDone files reduced from lngSourceBytes to lngOutputBytes
    // in all ("" for none): "12 files: 48.1 MB → 22.0 MB".
    static QString SizeTotals(qsizetype lngDone, int64_t lngSourceBytes, int64_t lngOutputBytes);

    // The details' line for an output that came out larger than its source.
    static QString LargerOutput(const QString& strOutputPath);

  private:
    Runner runner;
    FreeSpaceProbe freeSpace;
    bool blnRunning = false;
    RowEncoder* encoder = nullptr;  // the running run's
};
