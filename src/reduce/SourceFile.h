// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A row's source, opened once and held for the row's whole turn: its checks, the analysis, the
// frame walk and the trailing tag all read through this descriptor, and the encoder is handed the
// same descriptor, so a name renamed, linked or swapped for a pipe after the checks changes
// nothing of what is read.

#include <QByteArray>
#include <cstdint>

#include "common/FileIdentity.h"
#include "reduce/Failure.h"

class SourceFile {
  public:
    SourceFile() = default;
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    // Opens path (the file system's bytes) without waiting on a pipe. No failure when it is a
    // regular file, now held; else the reason in the words the probe uses ("no such file",
    // "permission denied", "is a folder", "not a valid MP3 file").
    Failure Open(const QByteArray& path);

    int Descriptor() const { return lngFd; }
    FileIdentity Identity() const { return identity; }
    int64_t Size() const { return lngSize; }

    // The file's trailing ID3v1 block (128 bytes starting with "TAG"), or empty.
    QByteArray TrailingTag() const;

  private:
    int lngFd = -1;
    FileIdentity identity;
    int64_t lngSize = 0;
};
