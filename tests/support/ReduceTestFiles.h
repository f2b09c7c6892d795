// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files the reduce tests make for themselves: small shell scripts standing in for programs,
// synthesised MP3 data, and the argument records a recording script leaves behind.

#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <ostream>

#include "support/Mp3Bytes.h"

namespace reducetest {

inline bool WriteBytes(const QString& strPath, const QByteArray& bytes) {
    QFile file(strPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const bool blnOk = file.write(bytes) == bytes.size();
    file.close();
    return blnOk;
}

inline QByteArray ReadBytes(const QString& strPath) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// A "#!/bin/sh" script at strPath with strBody as its commands, executable when blnExecutable.
inline bool WriteScript(const QString& strPath, const QString& strBody, bool blnExecutable = true) {
    if (!WriteBytes(strPath, QByteArray("#!/bin/sh\n") + strBody.toUtf8() + '\n')) return false;
    return chmod(QFile::encodeName(strPath).constData(), blnExecutable ? 0755 : 0644) == 0;
}

// A quoted shell word for strText (single quotes, embedded ones closed and escaped).
inline QString ShellQuote(const QString& strText) {
    QString strQuoted = strText;
    strQuoted.replace(QStringLiteral("'"), QStringLiteral("'\\''"));
    return u'\'' + strQuoted + u'\'';
}

// Script lines that append the script's path and every argument to strRecordPath, each item
// ended by a NUL byte, so that blanks, quotes and newlines survive.
inline QString RecordArgumentsLines(const QString& strRecordPath) {
    return QStringLiteral("printf '%s\\0' \"$0\" \"$@\" >> ") + ShellQuote(strRecordPath);
}

// For a stand-in encoder: script lines that append the script's path, its eight arguments and,
// last, the path of the file its input descriptor (argument 6, "/dev/fd/3") stands for, each item
// ended by a NUL byte. ReadRecord(strRecordPath, kEncoderCallItems) reads them back.
inline QString RecordEncoderCallLines(const QString& strRecordPath) {
    return QStringLiteral("printf '%s\\0' \"$0\" \"$@\" \"$(readlink -f \"$6\")\" >> ") +
           ShellQuote(strRecordPath);
}
inline constexpr int kEncoderCallItems = 10;
inline constexpr int kCallSource = 9;  // the item holding the input descriptor's file

// The items a recording script wrote, grouped into calls of lngItemsPerCall items.
inline QList<QStringList> ReadRecord(const QString& strRecordPath, int lngItemsPerCall) {
    const QList<QByteArray> items = ReadBytes(strRecordPath).split('\0');
    QList<QStringList> calls;
    // split leaves one empty piece after the last NUL.
    for (qsizetype i = 0; i + lngItemsPerCall < items.size(); i += lngItemsPerCall) {
        QStringList call;
        for (int k = 0; k < lngItemsPerCall; ++k) call << QFile::decodeName(items[i + k]);
        calls << call;
    }
    return calls;
}

// lngFrames MPEG-1 Layer III frames at 44100 Hz, 128 kbps (417 bytes each) or the bitrate of
// lngBitrateIndex (5: 64 kbps, 208 bytes), the rest of each frame zeros but its last byte, so
// that no frame is a bare header: a file the analysis admits, made without an encoder.
inline QByteArray SyntheticMp3(int lngFrames = 20, int lngBitrateIndex = 9) {
    QByteArray bytes = testsupport::Mp3Frames(lngFrames, lngBitrateIndex);
    const qsizetype lngFrame = bytes.size() / lngFrames;
    for (qsizetype i = lngFrame - 1; i < bytes.size(); i += lngFrame) bytes[i] = 0x55;
    return bytes;
}

}  // namespace reducetest

// Failures show paths as text rather than as code units.
inline void PrintTo(const QString& strText, std::ostream* os) { *os << strText.toStdString(); }
