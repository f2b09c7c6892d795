// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// While the program, its window gone, waits for the running encoder to finish its row: a SIGTERM
// or SIGHUP (a logout, a shutdown) removes the row's new file, so that no unverified file is left
// behind and the older output stays as it was, and ends the process at once. The handlers are in
// place for as long as an EndingSignals object lives, and the earlier ones return after it.

#include <signal.h>
#include <QByteArray>

class EndingSignals {
  public:
    // newFile: the new file's name to remove, empty when it has none (an unnamed file goes with
    // the process).
    explicit EndingSignals(const QByteArray& newFile);
    ~EndingSignals();
    EndingSignals(const EndingSignals&) = delete;
    EndingSignals& operator=(const EndingSignals&) = delete;

  private:
    struct sigaction oldTerm {};
    struct sigaction oldHup {};
};
