// SPDX-License-Identifier: GPL-3.0-or-later
// RunAndWait against small scripts written by the tests.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "reduce/Shell32.h"
#include "support/ReduceTestFiles.h"

using namespace reducetest;

namespace {

class RunAndWaitTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const QString& strName) const { return dir.filePath(strName); }
    QString Script(const QString& strName, const QString& strBody) {
        const QString strPath = Path(strName);
        EXPECT_TRUE(WriteScript(strPath, strBody));
        return strPath;
    }

    QTemporaryDir dir;
};

TEST_F(RunAndWaitTest, ReturnsTheExitCode) {
    struct Case {
        const char* szBody;
        int32_t lngExpected;
    };
    const Case cases[] = {
        {"exit 0", 0},
        {"exit 1", 1},
        {"exit 255", 255},
        {"kill -TERM $$", 128 + 15},  // a signal's end: 128 + its number
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunAndWait({Script("s.sh", c.szBody)}, 0), c.lngExpected) << c.szBody;
    }
}

TEST_F(RunAndWaitTest, ReportsAProgramThatCannotStart) {
    EXPECT_EQ(RunAndWait({Path("missing")}), -2147221451);
    EXPECT_EQ(RunAndWait({Path("no-folder/missing")}), -2147221451);
    ASSERT_TRUE(WriteScript(Path("plain.sh"), "exit 0", false));
    EXPECT_EQ(RunAndWait({Path("plain.sh")}), -2147221434);
    EXPECT_EQ(RunAndWait({dir.path()}), -2147221434);  // a folder cannot be run
    // A file that is neither a program nor a script.
    ASSERT_TRUE(WriteBytes(Path("junk"), QByteArray(64, 'x')));
    ASSERT_EQ(chmod(QFile::encodeName(Path("junk")).constData(), 0755), 0);
    EXPECT_EQ(RunAndWait({Path("junk")}), -2147221499);
    EXPECT_EQ(RunAndWait({}), -2147221451);
    for (int32_t lngError : {kStartErrorMissing, kStartErrorDenied, kStartErrorOther}) {
        EXPECT_TRUE(IsStartError(lngError));
    }
    EXPECT_FALSE(IsStartError(0));
    EXPECT_FALSE(IsStartError(143));
}

TEST_F(RunAndWaitTest, PassesEveryItemWhole) {
    const QString strRecord = Path("record");
    // The program's own path has a blank, and no item is split, quoted or unquoted on the way.
    const QString strProgram = Script("my prog", RecordArgumentsLines(strRecord));
    const QStringList arguments = {strProgram,
                                   "-h",
                                   "two words",
                                   "\"double\" 'single'",
                                   QString::fromUtf8("Ünïcødé ß €"),
                                   "--leading-dashes",
                                   "",
                                   "$HOME `true` *.mp3 \\",
                                   "line\nbreak"};
    EXPECT_EQ(RunAndWait(arguments), 0);
    const QList<QStringList> calls = ReadRecord(strRecord, static_cast<int>(arguments.size()));
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0], arguments);
}

TEST_F(RunAndWaitTest, GivesTheProgramDevNullAndTheHandedOverDescriptorsOnly) {
    // A descriptor this program holds open without close-on-exec (30) must not reach the child;
    // the two handed over arrive as 3 and 4 (/dev/fd/3, /dev/fd/4), whatever their numbers here.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(::dup2(fds[1], 30), 30);
    ASSERT_TRUE(WriteBytes(Path("in"), "source bytes"));
    const int lngIn = ::open(QFile::encodeName(Path("in")).constData(), O_RDONLY | O_CLOEXEC);
    const int lngOut = ::fcntl(
        ::open(QFile::encodeName(Path("out")).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600),
        F_DUPFD_CLOEXEC, 40);
    ASSERT_GE(lngIn, 0);
    ASSERT_GE(lngOut, 40);
    const QString strFds = Path("fds");
    const QString strProgram =
        // The shell's own descriptors, read before any redirection of its own.
        Script("fds.sh",
               QStringLiteral("for fd in 0 1 2 3 4; do r=\"$r$(readlink /proc/$$/fd/$fd) \"; done\n"
                              "printf '%s\\n' \"$r\" > %1\n"
                              "if [ -e /proc/$$/fd/30 ]; then echo leaked >> %1; fi\n"
                              "cat \"$1\" > \"$2\"")
                   .arg(ShellQuote(strFds)));
    const int lngHandOver[] = {lngIn, lngOut};
    EXPECT_EQ(RunAndWait({strProgram, HandedOverPath(0), HandedOverPath(1)}, 0, lngHandOver), 0);
    for (const int lngFd : {fds[0], fds[1], 30, lngIn, lngOut}) close(lngFd);
    EXPECT_EQ(ReadBytes(strFds), "/dev/null /dev/null /dev/null " + Path("in").toUtf8() + " " +
                                     Path("out").toUtf8() + " \n");
    EXPECT_EQ(ReadBytes(Path("out")), "source bytes");
}

TEST_F(RunAndWaitTest, ProcessesEventsUntilTheProgramEnds) {
    const QString strMarker = Path("ended");
    const QString strProgram =
        Script("slow.sh", "sleep 1\ntouch " + ShellQuote(strMarker) + "\nexit 3");
    bool blnTimerFired = false;
    QTimer::singleShot(300, [&] { blnTimerFired = true; });
    EXPECT_EQ(RunAndWait({strProgram}), 3);
    EXPECT_TRUE(blnTimerFired);
    EXPECT_TRUE(QFileInfo::exists(strMarker)) << "returned before the program ended";
}

TEST_F(RunAndWaitTest, ProcessesEventsEvenForAProgramThatEndsAtOnce) {
    bool blnPosted = false;
    QTimer::singleShot(0, [&] { blnPosted = true; });
    EXPECT_EQ(RunAndWait({Script("quick.sh", "exit 0")}), 0);
    EXPECT_TRUE(blnPosted);
}

TEST_F(RunAndWaitTest, AllowsAWaitInsideAWait) {
    const QString strOuter = Script("outer.sh", "sleep 0.5\nexit 4");
    const QString strInner = Script("inner.sh", "sleep 0.2\nexit 5");
    int32_t lngInner = -1;
    QTimer::singleShot(50, [&] { lngInner = RunAndWait({strInner}); });
    EXPECT_EQ(RunAndWait({strOuter}), 4);
    EXPECT_EQ(lngInner, 5);
    // And the other way round: the outer program ends while the inner wait still runs.
    const QString strLongInner = Script("long.sh", "sleep 0.6\nexit 6");
    const QString strShortOuter = Script("short.sh", "sleep 0.1\nexit 7");
    QTimer::singleShot(0, [&] { lngInner = RunAndWait({strLongInner}); });
    EXPECT_EQ(RunAndWait({strShortOuter}), 7);
    EXPECT_EQ(lngInner, 6);
}

// Helper mode: run by the next test as a separate process. It starts the script named in the
// environment and ends at once while RunAndWait waits, the way the program ends when its window
// is closed during a run.
TEST(RunAndWaitHelper, StartsAScriptAndEndsWhileWaiting) {
    const QString strScript = qEnvironmentVariable("KESTRELUND_REDUCE_HELPER_SCRIPT");
    if (strScript.isEmpty()) GTEST_SKIP() << "only run as a helper process";
    QTimer::singleShot(100, [] { _exit(0); });
    RunAndWait({strScript});
    _exit(1);
}

TEST_F(RunAndWaitTest, TheProgramOutlivesItsCaller) {
    const QString strMarker = Path("written-later");
    const QString strProgram = Script("late.sh", "sleep 2\necho done > " + ShellQuote(strMarker));
    QProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KESTRELUND_REDUCE_HELPER_SCRIPT", strProgram);
    helper.setProcessEnvironment(environment);
    helper.start(QCoreApplication::applicationFilePath(),
                 {"--gtest_filter=RunAndWaitHelper.StartsAScriptAndEndsWhileWaiting"});
    ASSERT_TRUE(helper.waitForFinished(30000));
    ASSERT_EQ(helper.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(helper.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(strMarker)) << "the caller waited for the program";
    // The started program goes on alone and writes its file.
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(strMarker) && waited.elapsed() < 20000) QThread::msleep(50);
    QThread::msleep(50);
    EXPECT_EQ(ReadBytes(strMarker), "done\n");
}

}  // namespace
