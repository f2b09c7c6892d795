// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file a row's encoder writes into. Before the encoder starts, the output name is looked at:
// a link, the row's own source, a file the list holds or an output this run already wrote are
// never written into; an older output of that name is removed (its other names, if any, keep
// their data), and the output is then made afresh, exclusively and without following links, so
// that what the encoder writes is a new file of this run. The file stays open here until the row
// is done, so that its identity can be checked against its name at every later step.

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "reduce/FileIdentity.h"

// The length of a trailing ID3v1 block ("TAG" and 125 bytes of fields).
inline constexpr int kTrailingTagLength = 128;

class OutputFile {
  public:
    // What the output name is checked against.
    struct Guard {
        FileIdentity source;                       // the row's input file
        const QSet<FileIdentity>* writtenOutputs;  // outputs this run has already written
        std::function<QStringList()> listedPaths;  // the paths the list holds now
    };

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks strPath against guard, removes an older file of that name and creates the output.
    // Returns "" once the output exists as a new empty file of this run, or the reason the row
    // fails ("the output name is a link", "the output would replace a file in the list", ...);
    // nothing has been written or removed then.
    QString Create(const QString& strPath, const Guard& guard);

    // True when the output's name still stands for the file Create made.
    bool IsStillNamed() const;

    // The created file's size in bytes now (-1 when it cannot be had).
    int64_t Size() const;

    // True when the created file ends with a 128-byte block that starts with "TAG".
    bool HasTrailingTag() const;

    // Appends tag (a whole trailing ID3v1 block) to the created file; false when not all of it
    // could be written.
    bool AppendTrailingTag(const QByteArray& tag);

    // Removes the output's name when it still stands for the file Create made; a name that
    // someone else has put there meanwhile is left alone.
    void RemoveIfOurs();

    FileIdentity Identity() const { return identity; }
    const QString& Path() const { return strPath; }

  private:
    QString strPath;
    int lngFd = -1;
    FileIdentity identity;
};
