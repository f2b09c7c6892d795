// SPDX-License-Identifier: GPL-3.0-or-later
// Closing the window: the analysis object is released, the close is never refused, and the
// program ends at once, also in the middle of a Reduce run or a folder add. In-process tests use
// the window's EndProgram seam; the real ending runs in a child process (this test program
// started again in the ShutdownChild mode), which the parent then inspects from outside.
#include <gtest/gtest.h>

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
        Form1TestAccess::EndProgram(*form) = [this] {
            ++lngEnds;
            blnReleasedBeforeEnd = !Form1TestAccess::HoldsAnalysis(*form);
        };
        ASSERT_NO_FATAL_FAILURE(ShowForm());
    }

    int lngEnds = 0;
    bool blnReleasedBeforeEnd = false;
};

TEST_F(CloseTest, CloseReleasesTheAnalysisObjectThenEndsTheProgram) {
    ASSERT_TRUE(Form1TestAccess::HoldsAnalysis(*form));
    EXPECT_TRUE(form->close());
    EXPECT_EQ(lngEnds, 1);
    EXPECT_TRUE(blnReleasedBeforeEnd);
    EXPECT_FALSE(Form1TestAccess::HoldsAnalysis(*form));
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(CloseTest, TheWindowSystemsCloseIsNeverRefused) {
    // As when the close button of the frame is pressed.
    QCloseEvent event;
    event.ignore();
    QApplication::sendEvent(form->windowHandle(), &event);
    EXPECT_TRUE(event.isAccepted());
    EXPECT_EQ(lngEnds, 1);
    EXPECT_TRUE(blnReleasedBeforeEnd);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(CloseTest, TheHandlersOneByOne) {
    form->Form_QueryUnload();
    EXPECT_FALSE(Form1TestAccess::HoldsAnalysis(*form));
    EXPECT_EQ(lngEnds, 0);
    form->Form_Unload();
    EXPECT_EQ(lngEnds, 1);
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

// Runs this test program again in mode strMode with the meeting folder; returns once the child
// has ended (or after a minute). The child's exit code goes to lngExitCode.
bool RunChild(const QString& strMode, const ChildFolder& folder, int& lngExitCode) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KESTRELUND_SHUTDOWN_CHILD", strMode);
    environment.insert("KESTRELUND_SHUTDOWN_DIR", folder.strDir);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ShutdownChild.Run"});
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return false;
    }
    lngExitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    return true;
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
            ControlsOf(form).fileList->AppendAdmitted(QDir(folder.Music()).filePath(strName), 128);
        }
        ControlsOf(form).Combo1->setCurrentIndex(3);  // "Reduce to 32 kbps", saved at once
        // Closes the window once the first encoder has started and waits.
        auto* watch = new QTimer(&form);
        QObject::connect(watch, &QTimer::timeout, [&] {
            if (!QFile::exists(folder.Started())) return;
            AppendLine(folder.Log(), "closing");
            form.close();
        });
        watch->start(10);
        ControlsOf(form).Check2->setChecked(true);
        form.Check2_Click();
    } else {
        if (strMode == "collecting") {
            QTimer::singleShot(0, [&] {
                AppendLine(folder.Log(), "closing");
                form.close();
            });
        }
        prompts.folderAnswers.push_back(folder.Path("tree"));
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

TEST_F(ShutdownTest, ClosingDuringAReduceRunEndsAtOnceAndTheEncoderFinishesAlone) {
    // The stand-in encoder opens its output, as the encoder does, notes that it started, waits
    // for the gate (at most a minute), then writes a copy of its input through that handle.
    ASSERT_TRUE(WriteScript(EncoderPath(folder.Program()),
                            "exec 3>\"$7\"\nprintf '%s\\n' \"$6\" >> " +
                                ShellQuote(folder.Started()) + "\ni=0\nwhile [ ! -e " +
                                ShellQuote(folder.Gate()) +
                                " ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done\n"
                                "cat \"$6\" >&3"));
    const QString strInput = QDir(folder.Music()).filePath("a.mp3");
    const QString strOutput = QDir(folder.Music()).filePath("a_32KBIT_REDUCED.mp3");
    ASSERT_TRUE(WriteBytes(strInput, SyntheticMp3()));
    ASSERT_TRUE(WriteBytes(QDir(folder.Music()).filePath("b.mp3"), SyntheticMp3()));

    int lngExitCode = -1;
    ASSERT_TRUE(RunChild("reduce", folder, lngExitCode)) << "the child did not end";
    EXPECT_EQ(lngExitCode, 0);
    // It ended while the first encoder still waited: one encoder started, its new file given the
    // output's name (nothing written into it yet), no other file left beside it, no "Done." and
    // the run never returned.
    EXPECT_EQ(Lines(folder.Started()), QStringList{strInput});
    EXPECT_TRUE(QFile::exists(strOutput));
    EXPECT_EQ(ReadBytes(strOutput), QByteArray());
    EXPECT_EQ(QDir(folder.Music()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"a.mp3", "a_32KBIT_REDUCED.mp3", "b.mp3"}));
    EXPECT_EQ(Lines(folder.Log()), QStringList{"closing"});
    // The menu choice made in the child is in the store.
    QSettings stored(folder.Config() + "/Venmarrow/Kestrelund.conf", QSettings::IniFormat);
    EXPECT_EQ(stored.value("Kestrelund/Combo1").toString(), "3");

    // The encoder was left running: let it go on, and it writes its file.
    ASSERT_TRUE(WriteBytes(folder.Gate(), "open"));
    QElapsedTimer waited;
    waited.start();
    while (ReadBytes(strOutput) != SyntheticMp3() && waited.elapsed() < 30000) QThread::msleep(20);
    EXPECT_EQ(ReadBytes(strOutput), SyntheticMp3());
    EXPECT_EQ(Lines(folder.Started()), QStringList{strInput});
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
