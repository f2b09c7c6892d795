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

// The desktop entry's id (its file name without ".desktop"), by which desktops match the window
// and its progress to the installed program.
inline const QString kDesktopFileId = QStringLiteral("org.venmarrow.kestrelund");

}  // namespace ProgramNames
