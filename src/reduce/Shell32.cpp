// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/Shell32.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

extern char** environ;

namespace {

// The longest stretch without looking at the process when no pidfd wakes the wait early; the
// window's events are processed throughout, since the wait is an event loop.
constexpr int kPollMilliseconds = 100;

// The descriptor the first handed-over descriptor becomes in the started program.
constexpr int kFirstHandedOver = 3;

// A process a RunAndWait call waits for, innermost call last; its result once someone has taken
// it without events (WaitWithoutEvents).
struct Waiting {
    pid_t pid = 0;
    std::optional<int32_t> lngResult;
};
std::vector<Waiting*> waitingCalls;

class WaitingEntry {
  public:
    explicit WaitingEntry(Waiting& waiting) : waiting(waiting) { waitingCalls.push_back(&waiting); }
    ~WaitingEntry() { std::erase(waitingCalls, &waiting); }
    WaitingEntry(const WaitingEntry&) = delete;
    WaitingEntry& operator=(const WaitingEntry&) = delete;

  private:
    Waiting& waiting;
};

int32_t StartError(int lngErrno) {
    switch (lngErrno) {
        case ENOENT:
            return kStartErrorMissing;
        case EACCES:
        case EPERM:
            return kStartErrorDenied;
        default:
            return kStartErrorOther;
    }
}

// Owns the spawn attributes and file actions for one start.
class SpawnSetup {
  public:
    SpawnSetup() {
        blnActions = posix_spawn_file_actions_init(&actions) == 0;
        blnAttr = posix_spawnattr_init(&attr) == 0;
    }
    ~SpawnSetup() {
        if (blnActions) posix_spawn_file_actions_destroy(&actions);
        if (blnAttr) posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // The child gets /dev/null as stdin, stdout and stderr, the handed-over descriptors as 3, 4,
    // ..., none of this program's other open files, no blocked signals, and every signal at its
    // default action (so a signal this program ignores is not ignored by the encoder). Its
    // process group stays this program's: nothing here ties its life to ours.
    bool Prepare(std::span<const int> lngHandOver) {
        if (!blnActions || !blnAttr) return false;
        // Each handed-over descriptor goes first to a number above all of them and above its
        // place, then to its place: no descriptor is overwritten before it has been copied.
        const int lngCount = static_cast<int>(lngHandOver.size());
        int lngAbove = kFirstHandedOver + lngCount;
        for (const int lngFd : lngHandOver) {
            if (lngFd < 0) return false;
            lngAbove = std::max(lngAbove, lngFd + 1);
        }
        for (int i = 0; i < lngCount; ++i) {
            if (posix_spawn_file_actions_adddup2(&actions, lngHandOver[static_cast<size_t>(i)],
                                                 lngAbove + i) != 0) {
                return false;
            }
        }
        if (posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) != 0 ||
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) != 0 ||
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) != 0) {
            return false;
        }
        for (int i = 0; i < lngCount; ++i) {
            if (posix_spawn_file_actions_adddup2(&actions, lngAbove + i, kFirstHandedOver + i) !=
                0) {
                return false;
            }
        }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        if (posix_spawn_file_actions_addclosefrom_np(&actions, kFirstHandedOver + lngCount) != 0)
            return false;
#endif
        sigset_t empty;
        sigset_t all;
        sigemptyset(&empty);
        sigfillset(&all);
        return posix_spawnattr_setsigmask(&attr, &empty) == 0 &&
               posix_spawnattr_setsigdefault(&attr, &all) == 0 &&
               posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
    }

    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attr{};

  private:
    bool blnActions = false;
    bool blnAttr = false;
};

// The exit code for a wait status: the code itself, or 128 + the signal that ended the process.
int32_t ExitCodeOf(int lngStatus) {
    if (WIFEXITED(lngStatus)) return WEXITSTATUS(lngStatus);
    if (WIFSIGNALED(lngStatus)) return 128 + WTERMSIG(lngStatus);
    return 0;
}

// Looks once whether the process has ended. True when it has (lngExitCode then holds its result)
// or when its status can no longer be had (lngExitCode stays 0).
bool Ended(pid_t pid, int32_t& lngExitCode) {
    for (;;) {
        int lngStatus = 0;
        const pid_t lngDone = waitpid(pid, &lngStatus, WNOHANG);
        if (lngDone == pid) {
            if (WIFEXITED(lngStatus) || WIFSIGNALED(lngStatus)) {
                lngExitCode = ExitCodeOf(lngStatus);
                return true;
            }
            return false;
        }
        if (lngDone == 0) return false;
        if (errno == EINTR) continue;
        return true;  // ECHILD: the status was taken elsewhere; nothing left to wait for
    }
}

// A descriptor that becomes readable when the process ends, or -1 where the kernel has none.
int OpenPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    const long lngFd = syscall(SYS_pidfd_open, pid, 0);
    return lngFd >= 0 ? static_cast<int>(lngFd) : -1;
#else
    (void)pid;
    return -1;
#endif
}

}  // namespace

bool IsStartError(int32_t lngResult) {
    return lngResult == kStartErrorMissing || lngResult == kStartErrorDenied ||
           lngResult == kStartErrorOther;
}

QString HandedOverPath(int intIndex) {
    return QStringLiteral("/dev/fd/%1").arg(kFirstHandedOver + intIndex);
}

std::optional<int32_t> WaitWithoutEvents() {
    if (waitingCalls.empty()) return std::nullopt;
    Waiting& waiting = *waitingCalls.back();
    if (!waiting.lngResult) {
        int32_t lngExitCode = 0;
        for (;;) {
            int lngStatus = 0;
            const pid_t lngDone = waitpid(waiting.pid, &lngStatus, 0);
            if (lngDone == waiting.pid) {
                if (!WIFEXITED(lngStatus) && !WIFSIGNALED(lngStatus)) continue;
                lngExitCode = ExitCodeOf(lngStatus);
                break;
            }
            if (lngDone < 0 && errno == EINTR) continue;
            break;  // the status was taken elsewhere: 0, as RunAndWait gives then
        }
        waiting.lngResult = lngExitCode;
    }
    return waiting.lngResult;
}

int32_t RunAndWait(const QStringList& arguments, int intWindowStyle,
                   std::span<const int> lngHandOver) {
    (void)intWindowStyle;  // there is no window to show or hide
    if (arguments.isEmpty() || arguments.front().isEmpty()) return kStartErrorMissing;

    std::vector<QByteArray> items;
    items.reserve(static_cast<size_t>(arguments.size()));
    for (const QString& strItem : arguments) items.push_back(QFile::encodeName(strItem));
    std::vector<char*> argv;
    argv.reserve(items.size() + 1);
    for (QByteArray& item : items) argv.push_back(item.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    if (!setup.Prepare(lngHandOver)) return kStartErrorOther;
    pid_t pid = 0;
    // posix_spawn (not posix_spawnp): the first item is a path, never searched for in PATH. The C
    // library reports a failed exec (missing file, no permission) as this call's result.
    const int lngError =
        posix_spawn(&pid, argv[0], &setup.actions, &setup.attr, argv.data(), environ);
    if (lngError != 0) return StartError(lngError);

    int32_t lngExitCode = 0;
    Waiting waiting{pid, std::nullopt};
    const WaitingEntry entry(waiting);
    const int lngPidfd = OpenPidfd(pid);
    {
        QEventLoop loop;
        // Wakes the wait as soon as the process ends.
        std::unique_ptr<QSocketNotifier> notifier;
        if (lngPidfd >= 0) {
            notifier = std::make_unique<QSocketNotifier>(lngPidfd, QSocketNotifier::Read);
        }
        // The fallback poll, and a guard in case the pidfd never wakes us.
        QTimer poll;
        poll.setInterval(kPollMilliseconds);
        bool blnEnded = false;
        auto check = [&] {
            if (blnEnded) return;
            if (waiting.lngResult) {
                lngExitCode = *waiting.lngResult;  // taken without events meanwhile
            } else if (!Ended(pid, lngExitCode)) {
                return;
            }
            // Quiet both sources at once: a handler running inside this wait may start a nested
            // wait, and this loop only returns after it; the ended process's pidfd stays readable.
            blnEnded = true;
            if (notifier) notifier->setEnabled(false);
            poll.stop();
            loop.quit();
        };
        if (notifier) QObject::connect(notifier.get(), &QSocketNotifier::activated, &loop, check);
        QObject::connect(&poll, &QTimer::timeout, &loop, check);
        poll.start();
        // The first look happens inside the loop, so pending events are processed at least once
        // per call, even for a process that has already ended.
        QTimer::singleShot(0, &loop, check);
        loop.exec();
    }
    if (lngPidfd >= 0) close(lngPidfd);
    return lngExitCode;
}
