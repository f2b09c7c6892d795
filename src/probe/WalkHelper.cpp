// SPDX-License-Identifier: GPL-3.0-or-later
// kestrelund-walk FOLDER: the folder walk of kestrelund-info -r, a program of its own so that the
// probe loads Qt Core only when it walks folders. Writes the path of each file found below FOLDER,
// in the folder button's order, as the file system's bytes (whatever their encoding) followed by a
// NUL byte. Exit status 0, or 1 when the output could not be written. Not for people; the probe
// starts it from its own folder.

#include <QByteArray>
#include <QByteArrayList>
#include <cstdio>
#include <string>

#include "filelist/FileNames.h"
#include "filelist/FolderWalk.h"
#include "filelist/Mp3Names.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    QByteArray top(argv[1]);
    if (top.isEmpty() || !top.endsWith('/')) top += '/';
    QByteArrayList folders{top};
    QList<QByteArrayList> names;
    CollectSubfolders(folders, true, kMp3Pattern, names);
    std::string out;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        for (const QByteArray& name : names.at(i)) {
            if (IsLeftOutName(BytesOf(name))) continue;
            const QByteArray& folder = folders.at(i);
            out.append(folder.constData(), static_cast<size_t>(folder.size()));
            out.append(name.constData(), static_cast<size_t>(name.size()));
            out += '\0';
        }
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}
