#pragma once
// Helpers for tests that walk folder trees: a temporary tree built file by file, small valid MP3
// files synthesised byte by byte, and the order in which the directory listing returns names.

#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <string>
#include <vector>

namespace foldertree {

// Three MPEG-1 Layer III frames at 128 kbps, 44100 Hz, no padding: header FF FB 90 64, then zeros
// up to the frame length of 417 bytes.
inline QByteArray ValidMp3() {
    QByteArray frame(417, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFB);
    frame[2] = char(0x90);
    frame[3] = char(0x64);
    return frame.repeated(3);
}

// A temporary folder; Make creates folders and files below it from relative paths.
class Tree {
  public:
    Tree() : strRoot(dir.path() + "/R") { QDir().mkpath(strRoot); }

    // The tree's top folder, without a trailing "/".
    const QString& Root() const { return strRoot; }
    QString Path(const QString& strRelative) const { return strRoot + "/" + strRelative; }

    void Folder(const QString& strRelative) const { QDir().mkpath(Path(strRelative)); }
    void File(const QString& strRelative, const QByteArray& bytes = ValidMp3()) const {
        const QString strPath = Path(strRelative);
        QDir().mkpath(strPath.section('/', 0, -2));
        QFile file(strPath);
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    }

  private:
    QTemporaryDir dir;
    QString strRoot;
};

// The names in strFolder (without "." and "..") in the order readdir returns them.
inline QStringList ReaddirOrder(const QString& strFolder) {
    QStringList names;
    DIR* dir = opendir(QFile::encodeName(strFolder));
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") names << QFile::decodeName(name);
    }
    closedir(dir);
    return names;
}

// Only the names of strFolder's listing that are also in wanted, in listing order.
inline QStringList InListingOrder(const QString& strFolder, const QStringList& wanted) {
    QStringList names;
    for (const QString& strName : ReaddirOrder(strFolder))
        if (wanted.contains(strName)) names << strName;
    return names;
}

// Root reads every folder whatever its mode, so a test of an unreadable folder runs its own case
// again in a child process that has become the user "nobody". The child is this test program,
// started with a filter naming the current test and strVariable=strValue in its environment.
enum class Rerun { Passed, Failed, Impossible };
inline Rerun RerunAsNobody(const char* strVariable, const QString& strValue, std::string& strWhy) {
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
    env.push_back(std::string(strVariable) + "=" + strValue.toStdString());
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

}  // namespace foldertree
