// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the file-list benchmarks share: kestrelund-info looked up beside the benchmark program and
// run over the same files, a shown window whose prompts go to a fake, and the main that runs the
// benchmarks on the offscreen platform with the window's settings kept away from the user's own.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "support/FakePrompts.h"
#include "ui/Form1.h"

namespace benchsupport {

// kestrelund-info beside this program; empty, with the benchmark skipped, when it is not built.
inline std::string ProbeBesideProgram(benchmark::State& state) {
    const std::string strProbe =
        QFile::encodeName(QCoreApplication::applicationDirPath() + "/kestrelund-info")
            .toStdString();
    if (access(strProbe.c_str(), X_OK) != 0) {
        state.SkipWithError("kestrelund-info is not built beside this program");
        return {};
    }
    return strProbe;
}

// Runs `kestrelund-info --json -- FILE...` with its output going to /dev/null; its exit status.
inline int RunProbe(const std::string& strProbe, const std::vector<std::string>& files) {
    std::string strProgram = strProbe, strJson = "--json", strEnd = "--";
    std::vector<char*> argv = {strProgram.data(), strJson.data(), strEnd.data()};
    for (const std::string& strFile : files) argv.push_back(const_cast<char*>(strFile.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, strProbe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The window, shown, with a temporary program folder and its prompts answered by a fake.
struct Window {
    QTemporaryDir programFolder;
    FakePrompts prompts;
    Form1 form{prompts, programFolder.path()};

    Window() {
        form.show();
        QCoreApplication::processEvents();
    }
};

// Writes bytes to a new file at strPath.
inline void WriteFile(const QString& strPath, const QByteArray& bytes) {
    QFile file(strPath);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
}

// The body of main: runs the benchmarks named on the command line.
inline int RunBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window stores its menu choice; keep it away from the user's own settings.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace benchsupport
