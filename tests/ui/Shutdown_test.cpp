// SPDX-License-Identifier: GPL-3.0-or-later
// Closing the window: the analysis object is released, the close is never refused, and the
// program ends at once, also in the middle of a Reduce run or a folder add. In-process tests use
// the window's EndProgram seam; the real ending runs in a child process (this test program
// started again in the ShutdownChild mode), which the parent then inspects from outside.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <memory>

#include "WindowFixture.h"
#include "reduce/OutputNaming.h"
#include "support/FolderTree.h"
#include "support/ReduceTestFiles.h"

using reducetest::ReadBytes;
using reducetest::ShellQuote;
using reducetest::SyntheticMp3;
using reducetest::WriteBytes;
using reducetest::WriteScript;
using windowtest::ControlsOf;

namespace {

// --- In the test process, with the ending replaced -----------------------------------------

class CloseTest : public windowtest::WindowTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WindowTest::SetUp());
        Form1TestAccess::EndProgram(*form) = [this] { ++lngEnds; };
        ASSERT_NO_FATAL_FAILURE(ShowForm());
    }

    int lngEnds = 0;
};

// The close button of the frame, or any other close: never refused; the window goes, the menu
// choice is in the store, and the program ends once, without a message.
TEST_F(CloseTest, AnyCloseIsTakenAndEndsTheProgramOnce) {
    for (const bool blnFrameButton : {false, true}) {
        form = Start();
        Form1TestAccess::EndProgram(*form) = [this] { ++lngEnds; };
        ASSERT_NO_FATAL_FAILURE(ShowForm());
        lngEnds = 0;
        Ui().Combo1->setCurrentIndex(blnFrameButton ? 4 : 5);
        if (blnFrameButton) {
            QCloseEvent event;
            event.ignore();
            QApplication::sendEvent(form->windowHandle(), &event);
            EXPECT_TRUE(event.isAccepted());
        } else {
            EXPECT_TRUE(form->close());
        }
        EXPECT_EQ(lngEnds, 1);
        EXPECT_FALSE(form->isVisible());
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_EQ(QSettings("Venmarrow", "Kestrelund").value("Kestrelund/Combo1").toInt(),
                  blnFrameButton ? 4 : 5);
    }
}

// --- The real ending, in a child process ----------------------------------------------------

// Where parent and child meet: a folder the parent makes and removes.
struct ChildFolder {
    QString strDir;
    QString Path(const QString& strName) const { return strDir + '/' + strName; }
    QString Program() const { return Path("program"); }
    QString Music() const { return Path("music"); }
    QString Log() const { return Path("log"); }          // what the child saw, line by line
    QString Started() const { return Path("started"); }  // one line per encoder started
    QString Gate() const { return Path("gate"); }        // the encoder waits until this exists
    QString Config() const { return Path("config"); }
};

void AppendLine(const QString& strPath, const QString& strLine) {
    // Opened, written and closed at once: the line is in the file even if the process ends
    // straight after.
    QFile file(strPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) file.write(strLine.toUtf8() + '\n');
}

QString LogLine(const FakePrompts::Message& message) {
    return "message: " + message.strText + " | " + message.strInformative;
}

// Starts this test program again in mode strMode with the meeting folder.
void StartChild(QProcess& child, const QString& strMode, const ChildFolder& folder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KESTRELUND_SHUTDOWN_CHILD", strMode);
    environment.insert("KESTRELUND_SHUTDOWN_DIR", folder.strDir);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ShutdownChild.Run"});
}

// Waits for the child's end (at most a minute); its exit code goes to lngExitCode, 128 + the
// signal's number when a signal ended it.
bool WaitForChild(QProcess& child, int& lngExitCode) {
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return false;
    }
    lngExitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    return true;
}

// Runs the child in mode strMode to its end.
bool RunChild(const QString& strMode, const ChildFolder& folder, int& lngExitCode) {
    QProcess child;
    StartChild(child, strMode, folder);
    return WaitForChild(child, lngExitCode);
}

QStringList Lines(const QString& strPath) {
    QStringList lines = QString::fromUtf8(ReadBytes(strPath)).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

// The child's side: builds the window on the meeting folder, arranges for the close and starts the
// long operation. Returning from that operation means the close did not end the program.
void RunAsChild(const QString& strMode, const ChildFolder& folder) {
    // Other tests of this program point the settings store elsewhere as the program starts; the
    // store reads this once, when it is first used, which is below.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.Config()));
    FakePrompts prompts;
    Form1 form(prompts, folder.Program());
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) _exit(4);
    prompts.onMessage = [&](const FakePrompts::Message& message) {
        AppendLine(folder.Log(), LogLine(message));
        if (strMode == "admitting") {
            AppendLine(folder.Log(), "closing");
            form.close();
        }
    };

    if (strMode == "reduce") {
        for (const char* strName : {"a.mp3", "b.mp3"}) {
            ControlsOf(form).fileList->AppendAdmitted(
                QFile::encodeName(QDir(folder.Music()).filePath(strName)), 128);
        }
        ControlsOf(form).Combo1->setCurrentIndex(3);  // "Reduce to 32 kbps", saved at once
        // Closes the window as soon as events run inside the run: the encoder has just been
        // started and has not yet opened anything.
        QTimer::singleShot(0, &form, [&] {
            AppendLine(folder.Log(), "closing");
            form.close();
        });
        ControlsOf(form).Check2->setChecked(true);
        form.Check2_Click();
    } else {
        if (strMode == "collecting") {
            QTimer::singleShot(0, [&] {
                AppendLine(folder.Log(), "closing");
                form.close();
            });
        }
        prompts.folderAnswers.push_back(QFile::encodeName(folder.Path("tree")));
        ControlsOf(form).Check3->setChecked(true);
        form.Check3_Click();
    }
    AppendLine(folder.Log(), "returned");
    std::fflush(nullptr);
    _exit(3);
}

}  // namespace

// The child mode; ctest leaves it out, and it does nothing unless a parent test starts it.
TEST(ShutdownChild, Run) {
    const QString strMode = qEnvironmentVariable("KESTRELUND_SHUTDOWN_CHILD");
    if (strMode.isEmpty()) GTEST_SKIP() << "only run as a child of the shutdown tests";
    RunAsChild(strMode, ChildFolder{qEnvironmentVariable("KESTRELUND_SHUTDOWN_DIR")});
}

namespace {

class ShutdownTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        for (const QString& strFolder : {folder.Program(), folder.Music(), folder.Config()})
            ASSERT_TRUE(QDir().mkpath(strFolder));
    }
    void TearDown() override {
        // Lets a stand-in encoder that is still waiting finish.
        WriteBytes(folder.Gate(), "open");
    }

    QTemporaryDir dir;
    ChildFolder folder{dir.path()};
};

}  // namespace

TEST_F(ShutdownTest, ClosingDuringAReduceRunFinishesTheRunningRowAndNoOther) {
    // The stand-in encoder notes that it started, waits for the gate (at most a minute), and only
    // then opens its output and writes it: a copy of its input, or bytes that are no MP3 file.
    const auto encoder = [&](const char* szWrite) {
        return "printf '%s\\n' \"$(readlink -f \"$6\")\" >> " + ShellQuote(folder.Started()) +
               "\ni=0\nwhile [ ! -e " + ShellQuote(folder.Gate()) +
               " ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done\n" + szWrite;
    };
    struct Case {
        const char* szName;
        QString strEncoder;
        int lngSignal;     // sent once the window has gone, instead of opening the gate
        bool blnReplaced;  // the verified new file replaces the older output
        int lngExitCode;
    };
    const Case cases[] = {
        {"a good encode", encoder("cat \"$6\" > \"$7\""), 0, true, 0},
        {"a broken encode", encoder("echo 'not audio' > \"$7\""), 0, false, 0},
        {"a logout while the encoder runs", encoder("cat \"$6\" > \"$7\""), SIGTERM, false,
         128 + SIGTERM},
        {"a hang-up while the encoder runs", encoder("cat \"$6\" > \"$7\""), SIGHUP, false,
         128 + SIGHUP},
    };
    const QString strInput = QDir(folder.Music()).filePath("a.mp3");
    const QString strOutput = QDir(folder.Music()).filePath("a_32KBIT_REDUCED.mp3");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szName);
        for (const QString& strLeft : {folder.Started(), folder.Gate(), folder.Log()})
            QFile::remove(strLeft);
        ASSERT_TRUE(WriteScript(EncoderPath(folder.Program()), c.strEncoder));
        ASSERT_TRUE(WriteBytes(strInput, SyntheticMp3()));
        ASSERT_TRUE(WriteBytes(QDir(folder.Music()).filePath("b.mp3"), SyntheticMp3()));
        ASSERT_TRUE(WriteBytes(strOutput, "an older output"));

        QProcess child;
        StartChild(child, "reduce", folder);
        // The window closes at once; the process stays while the encoder works, the older output
        // untouched and no new file beside it.
        QElapsedTimer waited;
        waited.start();
        while (!(Lines(folder.Log()).contains("closing") && QFile::exists(folder.Started())) &&
               waited.elapsed() < 30000) {
            QThread::msleep(20);
        }
        ASSERT_EQ(Lines(folder.Log()), QStringList{"closing"});
        EXPECT_FALSE(child.waitForFinished(300)) << "the process did not wait for the encoder";
        EXPECT_EQ(ReadBytes(strOutput), "an older output");
        if (c.lngSignal != 0) {
            ASSERT_EQ(::kill(static_cast<pid_t>(child.processId()), c.lngSignal), 0);
        } else {
            ASSERT_TRUE(WriteBytes(folder.Gate(), "open"));
        }
        int lngExitCode = -1;
        ASSERT_TRUE(WaitForChild(child, lngExitCode)) << "the child did not end";
        EXPECT_EQ(lngExitCode, c.lngExitCode);
        // One encoder ran; its file replaced the older output only once verified; nothing else
        // is left beside the sources; no "Done." and the run never went on.
        EXPECT_EQ(Lines(folder.Started()), QStringList{strInput});
        EXPECT_EQ(ReadBytes(strOutput), c.blnReplaced ? SyntheticMp3() : "an older output");
        EXPECT_EQ(QDir(folder.Music()).entryList(QDir::Files | QDir::Hidden),
                  (QStringList{"a.mp3", "a_32KBIT_REDUCED.mp3", "b.mp3"}));
        EXPECT_EQ(Lines(folder.Log()), QStringList{"closing"});
        // The menu choice made in the child is in the store.
        QSettings stored(folder.Config() + "/Venmarrow/Kestrelund.conf", QSettings::IniFormat);
        EXPECT_EQ(stored.value("Kestrelund/Combo1").toString(), "3");
    }
}

TEST_F(ShutdownTest, ClosingWhileFilesAreAdmittedEndsWithoutTheRemainingFiles) {
    // The first warning (broken.mp3 in the top folder) closes the window; a second warning would
    // come from the subfolder's broken file if the walk went on.
    const QString strTree = folder.Path("tree");
    for (const QString strFile : {"a.mp3", "Sub/b.mp3"}) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(strTree + '/' + strFile).path()));
        ASSERT_TRUE(WriteBytes(strTree + '/' + strFile, foldertree::ValidMp3()));
    }
    ASSERT_TRUE(WriteBytes(strTree + "/broken.mp3", QByteArray(1000, 'x')));
    ASSERT_TRUE(WriteBytes(strTree + "/Sub/broken.mp3", QByteArray(1000, 'y')));

    int lngExitCode = -1;
    ASSERT_TRUE(RunChild("admitting", folder, lngExitCode)) << "the child did not end";
    EXPECT_EQ(lngExitCode, 0);
    EXPECT_EQ(
        Lines(folder.Log()),
        (QStringList{"message: Not a valid MP3 file! | " + strTree + "/broken.mp3", "closing"}));
}

TEST_F(ShutdownTest, ClosingWhileFoldersAreCollectedEndsBeforeAnyFileIsAdmitted) {
    const QString strTree = folder.Path("tree");
    ASSERT_TRUE(QDir().mkpath(strTree + "/Sub"));
    ASSERT_TRUE(WriteBytes(strTree + "/broken.mp3", QByteArray(1000, 'x')));

    int lngExitCode = -1;
    ASSERT_TRUE(RunChild("collecting", folder, lngExitCode)) << "the child did not end";
    EXPECT_EQ(lngExitCode, 0);
    EXPECT_EQ(Lines(folder.Log()), QStringList{"closing"});
}
