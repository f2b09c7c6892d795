// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file a row's encoder writes into, and how it takes the output's name. Before the encoder
// starts, the output name is looked at: a link, the row's own source, a file the list holds or an
// output this run already wrote are never replaced. The encoder then writes into a new file of
// its own in the same folder, made exclusively and without following links, named
// ".NAME.XXXXXX.part" after the output's name NAME (six random letters or digits; a name too long
// for that gets ".reduced.XXXXXX.part"), which no add path lists. Only once the new file has been
// checked is it synced and renamed onto the output's name, so an older output of that name stays
// as it was until a verified one replaces it, and its other names, if any, keep their data.

#include <QByteArray>
#include <QSet>
#include <QString>
#include <cstdint>
#include <functional>

#include "analysis/TrailingTag.h"
#include "common/FileIdentity.h"
#include "reduce/Failure.h"

class OutputFile {
  public:
    // What the output name is checked against.
    struct Guard {
        FileIdentity source;                       // the row's input file
        const QSet<FileIdentity>* writtenOutputs;  // outputs this run has already written
        // Whether the file of this identity, or this path, is in the list now.
        std::function<bool(const FileIdentity&, const QString&)> isListed;
    };

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks strOutputPath against guard and creates the new file beside it. Returns no failure
    // once the new file exists, empty, or the reason the row fails ("the output name is a link",
    // "the output would replace a file in the list", ...); nothing has been written or removed
    // then.
    Failure Create(const QString& strOutputPath, const Guard& guard);

    // The new file's path: the encoder's output argument.
    const QString& NewPath() const { return strNewPath; }
    // The output's name, which the new file takes once it counts.
    const QString& Path() const { return strPath; }

    // True when the new file's name still stands for the file Create made (before Replace).
    bool IsStillNamed() const;

    // The new file's size in bytes now (-1 when it cannot be had).
    int64_t Size() const;

    // True when the new file ends with a 128-byte block that starts with "TAG".
    bool HasTrailingTag() const;

    // Appends tag (a whole trailing ID3v1 block) to the new file; false when not all of it could
    // be written.
    bool AppendTrailingTag(const QByteArray& tag);

    // Syncs the new file, checks the output's name against guard once more, and renames the new
    // file onto it. No failure when the output now names the new file; else the reason, and the new
    // file is still where it was.
    Failure Replace(const Guard& guard);

    // Renames the new file onto the output's name at once, unchecked and unsynced: what the
    // window does for the running encoder's file when the program ends. The encoder goes on
    // writing it through the handle it holds.
    void HandOver();

    // Removes the new file when its name still stands for the file Create made; a name that
    // someone else has put there meanwhile is left alone.
    void RemoveIfOurs();

    FileIdentity Identity() const { return identity; }

  private:
    QString strPath;
    QString strNewPath;
    int lngFd = -1;
    FileIdentity identity;
    bool blnPlaced = false;  // the new file has taken the output's name
};
