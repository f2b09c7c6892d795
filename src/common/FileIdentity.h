// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which file a name stands for: its device and inode, the same for every hard link of it. Two
// names stand for the same data exactly when their identities are equal.

#include <sys/stat.h>
#include <sys/types.h>

#include <QByteArray>
#include <QHashFunctions>
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

// The identity of the file btPath (the file system's bytes) names, following symbolic links; none
// when it cannot be had (missing, unreadable folder).
inline std::optional<FileIdentity> IdentityOf(const QByteArray& btPath) {
    struct stat st {};
    if (::stat(btPath.constData(), &st) != 0) return std::nullopt;
    return FileIdentity::Of(st);
}

// The identity of the regular file that the name btPath itself holds, a link at that name not
// followed; none when the name holds nothing, a link or anything but a regular file.
inline std::optional<FileIdentity> RegularFileAt(const QByteArray& btPath) {
    struct stat st {};
    if (::lstat(btPath.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileIdentity::Of(st);
}
