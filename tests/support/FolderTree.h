// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers for tests that walk folder trees: a temporary tree built file by file, small valid MP3
// files synthesised byte by byte, the order in which the directory listing returns names, and the
// name order in which the walk gives them.

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "filelist/FileNames.h"
#include "filelist/NameOrder.h"
#include "support/Mp3Bytes.h"

namespace foldertree {

// Three MPEG-1 Layer III frames at 128 kbps, 44100 Hz (1,251 bytes).
inline QByteArray ValidMp3() { return testsupport::Mp3Frames(3); }

// A temporary folder; Make creates folders and files below it from relative paths.
class Tree {
  public:
    Tree() : strRoot(dir.path() + "/R") { QDir().mkpath(strRoot); }
    // Removed by bytes first: the folder's own removal goes by text and misses names that are
    // not UTF-8.
    ~Tree() { std::filesystem::remove_all(QFile::encodeName(strRoot).toStdString()); }

    // The tree's top folder, without a trailing "/".
    const QString& Root() const { return strRoot; }
    QString Path(const QString& strRelative) const { return strRoot + "/" + strRelative; }

    void Folder(const QString& strRelative) const { QDir().mkpath(Path(strRelative)); }
    void File(const QString& strRelative, const QByteArray& bytes = ValidMp3()) const {
        const QString strPath = Path(strRelative);
        QDir().mkpath(strPath.section('/', 0, -2));
        QFile file(strPath);
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    }
    // The same for a path given as the bytes the file system holds, which need not be UTF-8.
    void RawFile(const std::string& relative, const QByteArray& bytes = ValidMp3()) const {
        const std::filesystem::path path =
            QFile::encodeName(strRoot).toStdString() + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes.toStdString();
    }

  private:
    QTemporaryDir dir;
    QString strRoot;
};

// The names in strFolder (without "." and "..") in the order readdir returns them, as bytes.
inline QByteArrayList ReaddirOrder(const QString& strFolder) {
    QByteArrayList names;
    DIR* dir = opendir(QFile::encodeName(strFolder));
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") names << name;
    }
    closedir(dir);
    return names;
}

// Only the names of strFolder's listing that are also in wanted, in name order, as text.
inline QStringList InNameOrder(const QString& strFolder, const QStringList& wanted) {
    QByteArrayList names;
    for (const QByteArray& name : ReaddirOrder(strFolder))
        if (wanted.contains(PathText(name))) names << name;
    NameOrder().Sort(names);
    QStringList texts;
    for (const QByteArray& name : std::as_const(names)) texts << PathText(name);
    return texts;
}

}  // namespace foldertree
