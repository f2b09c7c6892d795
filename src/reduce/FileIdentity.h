// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which file a name stands for: its device and inode, the same for every hard link of it. Two
// names stand for the same data exactly when their identities are equal.

#include <sys/types.h>

#include <QHashFunctions>
#include <QString>
#include <optional>

struct FileIdentity {
    dev_t lngDevice = 0;
    ino_t lngInode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

inline size_t qHash(const FileIdentity& identity, size_t lngSeed = 0) {
    return qHashMulti(lngSeed, identity.lngDevice, identity.lngInode);
}

// The identity of the file strPath names, following symbolic links; none when it cannot be had
// (missing, unreadable folder). The path is turned into bytes by QFile::encodeName.
std::optional<FileIdentity> IdentityOf(const QString& strPath);
