// SPDX-License-Identifier: GPL-3.0-or-later
#include "probe/ProbeWalk.h"

#include <QFile>
#include <QStringList>

#include "filelist/FileNames.h"
#include "filelist/FolderWalk.h"

std::vector<std::string> Mp3FilesBelow(const std::string& folder,
                                       std::vector<std::string>& unnamed) {
    // The folder's own bytes are kept as given; only the parts the walk found go through QString.
    std::string top = folder;
    if (top.empty() || top.back() != '/') top += '/';
    // The walk opens folders by their text: a folder whose bytes have no text cannot be walked.
    if (!SurvivesRoundTrip(QByteArray::fromStdString(top))) {
        unnamed.push_back(folder);
        return {};
    }
    const QString topText = QFile::decodeName(QByteArray::fromStdString(top));
    QStringList folders{topText};
    QList<QStringList> names;
    QStringList refused;
    CollectSubfolders(folders, true, QStringLiteral("*.mp3"), names, &refused);
    for (const QString& path : std::as_const(refused)) {
        unnamed.push_back(top + QFile::encodeName(path.mid(topText.size())).toStdString());
    }

    std::vector<std::string> paths;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        const std::string below =
            top + QFile::encodeName(folders.at(i).mid(topText.size())).toStdString();
        for (const QString& name : names.at(i)) {
            if (name.startsWith(u'~')) continue;
            paths.push_back(below + QFile::encodeName(name).toStdString());
        }
    }
    return paths;
}
