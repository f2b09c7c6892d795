// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's one place that starts and watches other processes. RunAndWait starts a program
// from an argument list and returns once it has ended, keeping the window responsive meanwhile.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>

// Base of the negative results for a program that could not be started.
inline constexpr int32_t kStartErrorBase = -2147221504;
// The program file does not exist (ENOENT).
inline constexpr int32_t kStartErrorMissing = kStartErrorBase + 53;
// The program file may not be run (EACCES, EPERM).
inline constexpr int32_t kStartErrorDenied = kStartErrorBase + 70;
// Any other reason the program could not be started.
inline constexpr int32_t kStartErrorOther = kStartErrorBase + 5;

// True for the three start-error results above.
bool IsStartError(int32_t lngResult);

// Starts arguments[0] with arguments[1..] as its argument items (no shell, no quoting; every item
// is passed whole, encoded as the file system's bytes), with stdin, stdout and stderr on
// /dev/null and no other descriptor of this program but those the caller hands over: the
// descriptors in lngHandOver are open in the started program as 3, 4, ... in the order given
// (HandedOverPath names them), whatever their numbers here. It returns once the process has
// ended. While it waits, the window's pending events
// are processed, never more than 100 ms apart, so other handlers (even another RunAndWait) can run
// inside this call.
//
// Result: the process's exit code (0..255); 128 + the signal number when a signal ended it; one of
// the start errors above when it could not be started (then nothing was waited for). If the
// process's status is lost (someone else reaped it), the result is 0.
//
// intWindowStyle is accepted for the callers' sake (0 hidden ... 6); the program has no window to
// show, so it changes nothing.
//
// The started program is left alone when this program ends: it is not stopped, and it keeps
// running on its own to its end.
int32_t RunAndWait(const QStringList& arguments, int intWindowStyle = 6,
                   std::span<const int> lngHandOver = {});

// The path by which the started program opens the descriptor handed over as lngHandOver[intIndex]:
// "/dev/fd/3" for the first.
QString HandedOverPath(int intIndex);

// For the program's end: the innermost RunAndWait that is waiting now stops processing events;
// this waits for its process to end, blocking, and returns its result (that call, should it ever
// resume, returns the same). None when no RunAndWait is waiting.
std::optional<int32_t> WaitWithoutEvents();
