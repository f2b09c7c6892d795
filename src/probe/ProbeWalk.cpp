// SPDX-License-Identifier: GPL-3.0-or-later
#include "probe/ProbeWalk.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

extern char** environ;

namespace {

// The walk's program beside this one's real file (links to the probe followed).
std::string WalkProgram() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return {};
    std::string path(self, static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1) + "kestrelund-walk";
}

// Runs the walk over folder; its output, or nothing when it could not be run or failed.
bool RunWalk(const std::string& folder, std::string& output) {
    const std::string program = WalkProgram();
    int ends[2];
    if (program.empty() || pipe2(ends, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(folder.c_str()), nullptr};
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(ends[1]);
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(ends[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        output.append(buffer, static_cast<size_t>(got));
    }
    close(ends[0]);
    if (!started) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::vector<std::string> Mp3FilesBelow(const std::string& folder, bool& walked) {
    std::string output;
    walked = RunWalk(folder, output);
    std::vector<std::string> paths;
    if (!walked) return paths;
    // One path a record, each ended by a NUL byte.
    for (size_t at = 0; at < output.size();) {
        const size_t end = output.find('\0', at);
        if (end == std::string::npos) break;
        paths.push_back(output.substr(at, end - at));
        at = end + 1;
    }
    return paths;
}
