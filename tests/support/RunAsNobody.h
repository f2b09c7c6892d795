// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Root reads every file and folder whatever its mode, so a test of something unreadable runs its
// own case again in a child process that has become the user "nobody". The child is this test
// program, started with a filter naming the current test and strVariable=strValue in its
// environment. Plain C++ and POSIX, so that the analysis tests can use it too.

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace testsupport {

enum class Rerun { Passed, Failed, Impossible };

inline Rerun RerunAsNobody(const char* strVariable, const std::string& strValue,
                           std::string& strWhy) {
    const passwd* user = getpwnam("nobody");
    if (!user) {
        strWhy = "there is no user 'nobody' to drop to";
        return Rerun::Impossible;
    }
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) {
        strWhy = "the test program's own path is unknown";
        return Rerun::Impossible;
    }
    exe[n] = '\0';
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string filter =
        std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.push_back(std::string(strVariable) + "=" + strValue);
    std::vector<char*> envp, argv{exe, filter.data(), nullptr};
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(77);
        execve(exe, argv.data(), envp.data());
        _exit(77);  // the program cannot be started as nobody
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        strWhy = "no child process could be started";
        return Rerun::Impossible;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        strWhy = "the test program cannot run as the user 'nobody'";
        return Rerun::Impossible;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return Rerun::Passed;
    strWhy = "the case failed when run as the user 'nobody' (its output is above)";
    return Rerun::Failed;
}

// For a test whose case needs an ordinary user: true when the caller should run the case itself
// (not root, or already the child); otherwise runs it as "nobody" and reports that run's verdict.
#define KESTRELUND_RUN_AS_ORDINARY_USER(reason)                                     \
    if (geteuid() == 0) {                                                           \
        std::string strWhy;                                                         \
        const ::testsupport::Rerun result =                                         \
            ::testsupport::RerunAsNobody("KESTRELUND_TEST_AS_NOBODY", "1", strWhy); \
        if (result == ::testsupport::Rerun::Impossible)                             \
            GTEST_SKIP() << reason << ", and " << strWhy;                           \
        EXPECT_EQ(result, ::testsupport::Rerun::Passed) << strWhy;                  \
        return;                                                                     \
    }

}  // namespace testsupport
