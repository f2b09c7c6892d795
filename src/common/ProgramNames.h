// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's names as people and the settings store see them.

#include <QString>

namespace ProgramNames {

// The window's title, which every message box of the program carries too.
inline const QString kWindowTitle = QStringLiteral("Kestrelund");

// The settings store: organisation and application (so ~/.config/Venmarrow/Kestrelund.conf), and
// the group the menu choice is kept in.
inline const QString kOrganisation = QStringLiteral("Venmarrow");
inline const QString kApplication = QStringLiteral("Kestrelund");
inline const QString kSettingsGroup = QStringLiteral("Kestrelund");

}  // namespace ProgramNames
