// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/FileIdentity.h"

#include <sys/stat.h>

#include <QFile>

std::optional<FileIdentity> IdentityOf(const QString& strPath) {
    struct stat st {};
    if (::stat(QFile::encodeName(strPath).constData(), &st) != 0) return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}
