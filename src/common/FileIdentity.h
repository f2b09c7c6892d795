// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which file a name stands for: its device and inode, the same for every hard link of it. Two
// names stand for the same data exactly when their identities are equal.

#include <sys/stat.h>
#include <sys/types.h>

#include <QFile>
#include <QHashFunctions>
#include <QString>
#include <compare>
#include <optional>

struct FileIdentity {
    dev_t lngDevice = 0;
    ino_t lngInode = 0;

    // The file that st describes, as stat, fstat or fstatat filled it in.
    static FileIdentity Of(const struct stat& st) { return FileIdentity{st.st_dev, st.st_ino}; }

    friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

inline size_t qHash(const FileIdentity& identity, size_t lngSeed = 0) {
    return qHashMulti(lngSeed, identity.lngDevice, identity.lngInode);
}

// The identity of the file strPath names, following symbolic links; none when it cannot be had
// (missing, unreadable folder). The path is turned into bytes by QFile::encodeName.
inline std::optional<FileIdentity> IdentityOf(const QString& strPath) {
    struct stat st {};
    if (::stat(QFile::encodeName(strPath).constData(), &st) != 0) return std::nullopt;
    return FileIdentity::Of(st);
}
