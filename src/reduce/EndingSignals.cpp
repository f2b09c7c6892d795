// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/EndingSignals.h"

#include <unistd.h>

#include <climits>
#include <cstring>

namespace {

// The name the handler removes, copied where a signal handler may read it.
char szNewFile[PATH_MAX + 1] = {};

void OnEndingSignal(int lngSignal) {
    // Only calls that are safe in a signal handler.
    if (szNewFile[0] != '\0') ::unlink(szNewFile);
    ::_exit(128 + lngSignal);
}

}  // namespace

EndingSignals::EndingSignals(const QByteArray& newFile) {
    const size_t lngLength = static_cast<size_t>(newFile.size());
    if (lngLength < sizeof szNewFile) {
        std::memcpy(szNewFile, newFile.constData(), lngLength);
        szNewFile[lngLength] = '\0';
    } else {
        szNewFile[0] = '\0';
    }
    struct sigaction action {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGHUP);
    ::sigaction(SIGTERM, &action, &oldTerm);
    ::sigaction(SIGHUP, &action, &oldHup);
}

EndingSignals::~EndingSignals() {
    ::sigaction(SIGTERM, &oldTerm, nullptr);
    ::sigaction(SIGHUP, &oldHup, nullptr);
    szNewFile[0] = '\0';
}
