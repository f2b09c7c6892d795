#pragma once
// The Reduce run: every row of the file list, in list order, goes through the encoder once at the
// bitrate the menu shows when the row's turn comes, one encoder process at a time. The run talks
// to the window only through ReduceHost, so it can be driven without one.

#include <QString>
#include <QStringList>
#include <functional>

#include "common/Pointer.h"
#include "common/Prompts.h"

class QWidget;

// What a run reads from and writes to the window.
class ReduceHost {
  public:
    virtual ~ReduceHost() = default;

    virtual int RowCount() = 0;               // rows in the file list now
    virtual QString RowText(int lngRow) = 0;  // the full path in row lngRow, counted from 1
    virtual QString MenuText() = 0;           // the bitrate menu's current text
    virtual void SetPointer(Pointer::Value pointer) = 0;  // hourglass, default
    virtual void SetProgress(float sngValue) = 0;         // the progress bar, 0..100
    virtual QString ProgramFolder() = 0;                  // the folder the encoder lies in
    virtual Prompts& MessagePrompts() = 0;                // where the run's messages go
    virtual QWidget* MessageOwner() = 0;                  // the window that owns those messages
};

class ReduceBatch {
  public:
    // Runs the encoder for one row and returns its result (RunAndWait by default; tests may
    // count or observe the calls).
    using Runner = std::function<int32_t(const QStringList& arguments)>;

    ReduceBatch();
    explicit ReduceBatch(Runner runner);

    // One press of Reduce. An empty list gives "No files added.". Otherwise each row i from 1 to
    // the row count at the start: the hourglass, the bar at (i / current rows) x 100, the output
    // name and the encoder's arguments from the menu text of that moment, the encoder run to its
    // end. Then the default pointer, the bar at 0 and "Done.", with the files whose encode failed
    // (non-zero exit, no output, or an output that is not a valid MP3) named below it.
    //
    // Rows removed during the run end it at the list's current end. An encoder that cannot be
    // started ends the run at once with a warning naming the encoder's path. A press while a run
    // is in progress (the window's events run during the encoder's wait) is ignored.
    void Run(ReduceHost& host);

    bool IsRunning() const { return blnRunning; }

    // The informative text of the closing message for these failed files ("" for none).
    static QString FailureSummary(const QStringList& failedFiles);

  private:
    Runner runner;
    bool blnRunning = false;
};
