// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Refusal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

std::string_view ReasonOfErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ELOOP:
        case ENAMETOOLONG:
            return kReasonNoSuchFile;
        case EACCES:
        case EPERM:
            return kReasonPermissionDenied;
        case EISDIR:
            return kReasonIsFolder;
        default:
            return "";
    }
}

std::string_view RefusalReason(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        const std::string_view reason = ReasonOfErrno(errno);
        return reason.empty() ? kReasonNotMp3 : reason;
    }
    if (S_ISDIR(st.st_mode)) return kReasonIsFolder;
    // Non-blocking, so that a pipe named like a file is not waited on.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const std::string_view reason = ReasonOfErrno(errno);
        return reason.empty() ? kReasonNotMp3 : reason;
    }
    close(fd);
    return kReasonNotMp3;
}
