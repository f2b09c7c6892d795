// SPDX-License-Identifier: GPL-3.0-or-later
// kestrelund-walk FOLDER: the folder walk of kestrelund-info -r, a program of its own so that the
// probe loads Qt Core only when it walks folders. Writes one record for each file found below
// FOLDER, in the folder button's order: "F", the path's bytes and a NUL byte; then one for each
// path that has no text of its own: "U", the path, NUL. Exit status 0, or 1 when the output could
// not be written. Not for people; the probe starts it from its own folder.

#include <QFile>
#include <QStringList>
#include <cstdio>
#include <string>

#include "filelist/FileNames.h"
#include "filelist/FolderWalk.h"
#include "filelist/Mp3Names.h"

namespace {

void Put(std::string& out, char kind, const std::string& path) {
    out += kind;
    out += path;
    out += '\0';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string folder = argv[1];
    std::string out;
    // The folder's own bytes are kept as given; only the parts the walk found go through QString.
    std::string top = folder;
    if (top.empty() || top.back() != '/') top += '/';
    // The walk opens folders by their text: a folder whose bytes have no text cannot be walked.
    if (!SurvivesRoundTrip(QByteArray::fromStdString(top))) {
        Put(out, 'U', folder);
    } else {
        const QString topText = QFile::decodeName(QByteArray::fromStdString(top));
        QStringList folders{topText};
        QList<QStringList> names;
        QStringList refused;
        CollectSubfolders(folders, true, QString::fromLatin1(kMp3Pattern), names, &refused);
        for (qsizetype i = 0; i < folders.size(); ++i) {
            const std::string below =
                top + QFile::encodeName(folders.at(i).mid(topText.size())).toStdString();
            for (const QString& name : names.at(i)) {
                if (IsLeftOutName(name.front().unicode())) continue;
                Put(out, 'F', below + QFile::encodeName(name).toStdString());
            }
        }
        for (const QString& path : std::as_const(refused)) {
            Put(out, 'U', top + QFile::encodeName(path.mid(topText.size())).toStdString());
        }
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}
