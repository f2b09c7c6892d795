// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bitrate menu's entries and its remembered choice.

#include <QString>
#include <QStringList>

// The eighteen entries, "Reduce to 8 kbps" (index 0) to "Reduce to 320 kbps" (index 17).
const QStringList& BitrateMenuEntries();

inline constexpr int kDefaultMenuIndex = 9;  // "Reduce to 96 kbps"

// The menu index a stored text stands for: a whole decimal number from 0 to 17 ("9", " 12 ",
// "7.0"); anything else (empty, "-1", "18", "abc", "9.5") gives the default 9.
int MenuIndexFromSetting(const QString& strStored);

// The settings store: organisation "Venmarrow", application "Kestrelund", group "Kestrelund",
// key "Combo1"; the default "9" when the key is absent.
QString ReadMenuSetting();
void WriteMenuSetting(int intIndex);  // written and synced at once
