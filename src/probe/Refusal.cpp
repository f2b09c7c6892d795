// SPDX-License-Identifier: GPL-3.0-or-later
#include "probe/Refusal.h"

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
            return "no such file";
        case EACCES:
        case EPERM:
            return "permission denied";
        case EISDIR:
            return "is a folder";
        default:
            return "";
    }
}

std::string_view RefusalReason(const std::string& path) {
    constexpr std::string_view kInvalid = "not a valid MP3 file";
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        const std::string_view reason = ReasonOfErrno(errno);
        return reason.empty() ? kInvalid : reason;
    }
    if (S_ISDIR(st.st_mode)) return "is a folder";
    // Non-blocking, so that a pipe named like a file is not waited on.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const std::string_view reason = ReasonOfErrno(errno);
        return reason.empty() ? kInvalid : reason;
    }
    close(fd);
    return kInvalid;
}
