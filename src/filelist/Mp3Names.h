// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which files of a folder the folder add takes, the same for "Add All MP3 File(s) In Folder" and
// for kestrelund-info -r: names matching "*.mp3", letter case ignored, except those beginning
// with "~" (the temporary copies that editors and office programs leave beside a file). Plain
// C++, no Qt.

// The pattern the folder walk lists a folder's files by.
inline constexpr char kMp3Pattern[] = "*.mp3";

// Whether a name that matched kMp3Pattern is still left out, by its first character.
inline bool IsLeftOutName(char32_t chFirst) { return chFirst == U'~'; }
