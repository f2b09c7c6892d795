// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/FileNames.h"

#include <dirent.h>
#include <QFile>
#include <QUrl>
#include <memory>

namespace {

constexpr QChar kReplacement(0xFFFD);

// How many entries of the folder at folderBytes have the text strName, and whether one of them has
// exactly the bytes that strName encodes to.
struct Matches {
    int lngCount = 0;
    bool blnExact = false;
};

Matches EntriesNamed(const QByteArray& folderBytes, const QString& strName) {
    Matches matches;
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(folderBytes.constData()), closedir);
    if (!folder) return matches;
    const QByteArray nameBytes = QFile::encodeName(strName);
    while (const dirent* entry = readdir(folder.get())) {
        const QByteArray entryBytes(entry->d_name);
        if (QFile::decodeName(entryBytes) != strName) continue;
        ++matches.lngCount;
        matches.blnExact = matches.blnExact || entryBytes == nameBytes;
    }
    return matches;
}

}  // namespace

bool SurvivesRoundTrip(const QByteArray& bytes) {
    return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

bool PathStandsForItself(const QString& strPath) {
    // Text without U+FFFD comes from bytes that decoded cleanly: the usual case costs one search.
    if (!strPath.contains(kReplacement)) return true;
    qsizetype lngStart = 0;
    while (lngStart < strPath.size()) {
        qsizetype lngEnd = strPath.indexOf(u'/', lngStart);
        if (lngEnd < 0) lngEnd = strPath.size();
        const QString strPart = strPath.mid(lngStart, lngEnd - lngStart);
        if (strPart.contains(kReplacement)) {
            // The folder holding this part: "." before a relative path's first part, "/" before
            // an absolute path's.
            const QByteArray folderBytes = lngStart == 0 ? QByteArray(".")
                                           : lngStart == 1
                                               ? QByteArray("/")
                                               : QFile::encodeName(strPath.left(lngStart - 1));
            const Matches matches = EntriesNamed(folderBytes, strPart);
            if (matches.lngCount != 1 || !matches.blnExact) return false;
        }
        lngStart = lngEnd + 1;
    }
    return true;
}

bool IsLocalFileUrl(const QUrl& url) {
    return url.isLocalFile() &&
           (url.host().isEmpty() || url.host().compare(u"localhost", Qt::CaseInsensitive) == 0);
}

std::optional<QString> DroppedLocalPath(const QUrl& url) {
    if (!IsLocalFileUrl(url)) return std::nullopt;
    // "file://localhost/x" is "/x" of this machine.
    QUrl local = url;
    local.setHost(QString());
    const QString strPath = local.toLocalFile();
    // The bytes the drag source meant: the path as it came, percent escapes undone.
    const QByteArray sentBytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (QFile::encodeName(strPath) != sentBytes) return std::nullopt;
    return strPath;
}
