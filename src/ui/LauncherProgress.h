// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A run's progress on the program's icon: the launcher-entry signal that task managers and docks
// read (com.canonical.Unity.LauncherEntry.Update on the session bus, for
// "application://<desktop id>.desktop", with "progress" 0..1 and "progress-visible"). It talks only
// to a session bus that is announced (DBUS_SESSION_BUS_ADDRESS, or $XDG_RUNTIME_DIR/bus): it never
// has a bus daemon started for it. Without one it does nothing.

#include <QDBusConnection>
#include <QString>
#include <optional>

class LauncherProgress {
  public:
    explicit LauncherProgress(const QString& strDesktopFileId);
    ~LauncherProgress();
    LauncherProgress(const LauncherProgress&) = delete;
    LauncherProgress& operator=(const LauncherProgress&) = delete;

    // Shows dblFraction (0..1) on the icon.
    void Show(double dblFraction);
    // Takes the progress off the icon. blnBeforeExit: the signal has left the program when this
    // returns, as the process is about to end.
    void Clear(bool blnBeforeExit = false);

    bool Connected() const { return bus.has_value(); }

    // The announced session bus's address, or "" when none is announced.
    static QString AnnouncedBusAddress();

  private:
    void Send(double dblFraction, bool blnVisible);

    QString strAppUri;
    QString strConnection;
    std::optional<QDBusConnection> bus;
    bool blnShown = false;
};
