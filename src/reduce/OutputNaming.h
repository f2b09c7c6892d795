// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What one reduce run needs for each file: the target bitrate taken from the menu text, the path of
// the file the encoder writes, the encoder's own path and its argument list. Pure string work: no
// file or folder is looked at here. File paths are the file system's bytes, whatever their
// encoding; the output's name is made from the source's bytes.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

// The kbps number in a menu text such as "Reduce to 64 kbps": the text is split at every single
// blank, and the decimal number at the start of the third piece (optional sign, digits, optional
// decimal point) is rounded to the nearest whole number, a half going to the even neighbour.
// A text with fewer than three pieces, a third piece that does not start with a number, or a
// number outside the 16-bit range gives 0.
int16_t BitrateFromMenuText(const QString& strMenuText);

// The path without the last full stop of its file-name part and what follows it. Full stops in
// folder names do not count, and a file name without one is returned whole, so that a name formed
// from the result always lies beside the original file.
QByteArray PathBeforeLastDot(const QByteArray& btPath);

// The encoder's output for btInputPath at the bitrate of strMenuText: the input path before its
// last full stop, then "_", the kbps, "KBIT_REDUCED." and "mp3" ("/m/Song.MP3" at "Reduce to
// 64 kbps" becomes "/m/Song_64KBIT_REDUCED.mp3"; "/m/Caf\xE9.mp3" becomes
// "/m/Caf\xE9_64KBIT_REDUCED.mp3").
QByteArray OutputPath(const QByteArray& btInputPath, const QString& strMenuText);
// The same for a path given as text (taken as UTF-8).
QString OutputPath(const QString& strInputPath, const QString& strMenuText);

// The encoder beside the program: strProgramFolder followed by "/lame".
QString EncoderPath(const QString& strProgramFolder);

// The encoder's argument list: the encoder path, "-h", "-m", "s", "-b", the kbps of strMenuText,
// the input path and the output path, then the input's kind by its MPEG audio layer lngLayer
// ("--mp1input", "--mp2input", "--mp3input"): the run hands the encoder open files (/dev/fd/N),
// whose names tell it nothing of what they hold. Each path is one item, passed whole.
QStringList EncoderArguments(const QString& strEncoderPath, const QString& strInputPath,
                             const QString& strOutputPath, const QString& strMenuText,
                             int lngLayer);
