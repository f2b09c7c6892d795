// SPDX-License-Identifier: GPL-3.0-or-later
// A Reduce run's progress on the program's icon: the launcher-entry signal on a private session
// bus (a dbus-daemon of the test's own, in its temporary folder), heard as a dock hears it.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <utility>
#include <vector>

#include "WindowFixture.h"
#include "common/ProgramNames.h"
#include "ui/LauncherProgress.h"

namespace {

// What a dock hears: (progress, progress-visible) of each Update for the program.
class Dock : public QObject {
    Q_OBJECT

  public:
    std::vector<std::pair<double, bool>> updates;
    QStringList strApps;

  public slots:
    void Update(const QString& strApp, const QVariantMap& properties) {
        strApps << strApp;
        updates.emplace_back(properties.value("progress").toDouble(),
                             properties.value("progress-visible").toBool());
    }
};

// Sets an environment variable for one scope; restores it after.
class ScopedEnv {
  public:
    ScopedEnv(const char* szName, const QByteArray& btValue)
        : szName(szName), blnHad(qEnvironmentVariableIsSet(szName)), btOld(qgetenv(szName)) {
        if (btValue.isNull()) {
            qunsetenv(szName);
        } else {
            qputenv(szName, btValue);
        }
    }
    ~ScopedEnv() {
        if (blnHad) {
            qputenv(szName, btOld);
        } else {
            qunsetenv(szName);
        }
    }

  private:
    const char* szName;
    bool blnHad;
    QByteArray btOld;
};

class LauncherTest : public windowtest::WindowTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(runtime.isValid());
        strSocket = runtime.filePath("bus");
        daemon.start("dbus-daemon",
                     {"--session", "--nofork", "--nopidfile", "--address=unix:path=" + strSocket});
        ASSERT_TRUE(daemon.waitForStarted()) << "dbus-daemon is missing (scripts/deps.sh)";
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(strSocket); }, 10000));
        QDBusConnection listener = QDBusConnection::connectToBus(Address(), "dock");
        ASSERT_TRUE(listener.isConnected());
        ASSERT_TRUE(listener.connect(QString(), "/org/venmarrow/kestrelund",
                                     "com.canonical.Unity.LauncherEntry", "Update", &dock,
                                     SLOT(Update(QString, QVariantMap))));
        // The window under test connects to the bus as the environment announces it.
        ASSERT_NO_FATAL_FAILURE(WindowTest::SetUp());
    }
    void TearDown() override {
        WindowTest::TearDown();
        QDBusConnection::disconnectFromBus("dock");
        daemon.terminate();
        daemon.waitForFinished();
    }
    QString Address() const { return "unix:path=" + strSocket; }
    bool Heard(size_t lngCount) {
        return QTest::qWaitFor([&] { return dock.updates.size() >= lngCount; }, 5000);
    }

    QTemporaryDir runtime;
    QString strSocket;
    QProcess daemon;
    Dock dock;
    ScopedEnv address{"DBUS_SESSION_BUS_ADDRESS", QByteArray()};
    ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", QFile::encodeName(runtime.path())};
};

TEST_F(LauncherTest, ARunShowsItsProgressOnTheIconAndClearsItAtItsEndAndAtTheClose) {
    ASSERT_TRUE(WriteEncoder("sleep 0.1\ncp \"$6\" \"$7\""));
    for (const char* szName : {"a.mp3", "b.mp3"}) {
        ASSERT_TRUE(reducetest::WriteBytes(runtime.filePath(szName), reducetest::SyntheticMp3()));
        Ui().fileList->AppendAdmitted(QFile::encodeName(runtime.filePath(szName)), 128);
    }
    form->SetProgressValue(30.0f);  // outside a run the icon shows nothing
    Ui().Check2->click();
    ASSERT_TRUE(Heard(3));
    EXPECT_EQ(dock.updates,
              (std::vector<std::pair<double, bool>>{{0.5, true}, {1.0, true}, {0.0, false}}));
    // The program's desktop entry is named by the same id.
    EXPECT_EQ(dock.strApps.value(0), "application://" KESTRELUND_APP_ID ".desktop");
    EXPECT_EQ(ProgramNames::kDesktopFileId, KESTRELUND_APP_ID);

    // Closing in the middle of a run takes the progress off before the program ends, and the run
    // goes no further.
    dock.updates.clear();
    Form1TestAccess::EndProgram(*form) = [] {};
    QTimer::singleShot(0, [&] { form->close(); });
    Ui().Check2->click();
    ASSERT_TRUE(Heard(2));
    EXPECT_EQ(dock.updates, (std::vector<std::pair<double, bool>>{{0.5, true}, {0.0, false}}));
}

TEST_F(LauncherTest, OnlyAnAnnouncedBusIsUsed) {
    {
        ScopedEnv viaAddress("DBUS_SESSION_BUS_ADDRESS", Address().toUtf8());
        ScopedEnv noRuntime("XDG_RUNTIME_DIR", QByteArray());
        LauncherProgress progress("org.venmarrow.kestrelund");
        EXPECT_TRUE(progress.Connected());
        progress.Show(0.25);
    }  // and cleared as it goes
    ASSERT_TRUE(Heard(2));
    EXPECT_EQ(dock.updates, (std::vector<std::pair<double, bool>>{{0.25, true}, {0.0, false}}));
    // $XDG_RUNTIME_DIR/bus, the fixture's, is announced too; a runtime folder without one is not,
    // and nothing starts a bus then.
    EXPECT_TRUE(LauncherProgress("x").Connected());
    QTemporaryDir empty;
    ScopedEnv noBus("XDG_RUNTIME_DIR", QFile::encodeName(empty.path()));
    LauncherProgress none("x");
    EXPECT_FALSE(none.Connected());
    none.Show(0.5);
    none.Clear(true);
    EXPECT_EQ(QDir(empty.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

}  // namespace

#include "Launcher_test.moc"
