// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/LauncherProgress.h"

#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

namespace {

const QString kObjectPath = QStringLiteral("/org/venmarrow/kestrelund");

}  // namespace

QString LauncherProgress::AnnouncedBusAddress() {
    const QString strAddress = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!strAddress.isEmpty()) return strAddress;
    const QString strRuntime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (strRuntime.isEmpty()) return {};
    const QFileInfo socket(strRuntime + QStringLiteral("/bus"));
    if (!socket.exists() || socket.isDir()) return {};
    return QStringLiteral("unix:path=") + socket.absoluteFilePath();
}

LauncherProgress::LauncherProgress(const QString& strDesktopFileId)
    : strAppUri(QStringLiteral("application://") + strDesktopFileId + QStringLiteral(".desktop")) {
    // A connection of its own, named apart from any other window's.
    static int lngConnections = 0;
    strConnection = QStringLiteral("kestrelund-launcher-progress-%1").arg(++lngConnections);
    const QString strAddress = AnnouncedBusAddress();
    if (strAddress.isEmpty()) return;
    // Connecting to the address itself, never through the session bus's autolaunch.
    QDBusConnection connection = QDBusConnection::connectToBus(strAddress, strConnection);
    if (connection.isConnected()) {
        bus = connection;
    } else {
        QDBusConnection::disconnectFromBus(strConnection);
    }
}

LauncherProgress::~LauncherProgress() {
    if (!bus) return;
    Clear(true);
    bus.reset();
    QDBusConnection::disconnectFromBus(strConnection);
}

void LauncherProgress::Show(double dblFraction) {
    Send(qBound(0.0, dblFraction, 1.0), true);
    blnShown = true;
}

void LauncherProgress::Clear(bool blnBeforeExit) {
    if (!blnShown) return;
    Send(0.0, false);
    blnShown = false;
    if (blnBeforeExit && bus) {
        // Messages leave a connection in order: once the bus has answered a call sent after the
        // signal, the signal has left too.
        bus->call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                 QStringLiteral("/org/freedesktop/DBus"),
                                                 QStringLiteral("org.freedesktop.DBus.Peer"),
                                                 QStringLiteral("Ping")),
                  QDBus::Block, 1000);
    }
}

void LauncherProgress::Send(double dblFraction, bool blnVisible) {
    if (!bus) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        kObjectPath, QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    const QVariantMap properties{{QStringLiteral("progress"), dblFraction},
                                 {QStringLiteral("progress-visible"), blnVisible}};
    signal << strAppUri << properties;
    bus->send(signal);
}
