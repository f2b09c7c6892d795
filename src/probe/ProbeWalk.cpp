#include "probe/ProbeWalk.h"

#include <QFile>
#include <QStringList>

#include "filelist/FolderWalk.h"

std::vector<std::string> Mp3FilesBelow(const std::string& folder) {
    // The folder's own bytes are kept as given; only the parts the walk found go through QString.
    std::string top = folder;
    if (top.empty() || top.back() != '/') top += '/';
    const QString topText = QFile::decodeName(QByteArray::fromStdString(top));
    QStringList folders{topText};
    QList<QStringList> names;
    CollectSubfolders(folders, true, QStringLiteral("*.mp3"), names);

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
