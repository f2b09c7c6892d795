// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file a row's encoder writes into, and how it takes the output's name. Before the encoder
// starts, the output name is looked at: a link, the row's own source, a file the list holds or an
// output this run already wrote are never replaced. The new file is then made in the output's
// folder and held open; the encoder writes it through that descriptor (handed over as
// /dev/fd/N), so nothing renamed or linked meanwhile changes what it writes. Where the file system
// allows, the new file has no name at all until it is verified (O_TMPFILE), so a program killed
// meanwhile leaves nothing behind; elsewhere it is made exclusively and without following links as
// ".NAME.XXXXXX.part" beside the output (NewFileName), which no add path lists. Only once the new
// file has been checked is it synced and given the output's name, so an older output of that name
// stays as it was until a verified one replaces it, and its other names, if any, keep their data.

#include <QByteArray>
#include <QSet>
#include <QString>
#include <cstdint>
#include <functional>

#include "common/FileIdentity.h"
#include "reduce/Failure.h"

class OutputFile {
  public:
    // What the output name is checked against.
    struct Guard {
        FileIdentity source;                       // the row's input file
        const QSet<FileIdentity>* writtenOutputs;  // outputs this run has already written
        // Whether the file of this identity, or this path, is in the list now.
        std::function<bool(const FileIdentity&, const QByteArray&)> isListed;
    };

    // How a new file is made: unnamed where the file system allows (else named), or named.
    enum class Making { UnnamedWherePossible, Named };

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Checks the output name output (the file system's bytes) against guard and makes the new file
    // for it. No failure once the new file exists, empty and held open, or the reason the row
    // fails ("the output name is a link", "the output would replace a file in the list", ...);
    // nothing has been written or removed then.
    Failure Create(const QByteArray& output, const Guard& guard,
                   Making making = Making::UnnamedWherePossible);

    // The new file, open for reading and writing.
    int Descriptor() const { return lngFd; }
    // The output's name, which the new file takes once it counts.
    const QByteArray& Path() const { return btPath; }
    // The new file's own name while it has one (the named kind), else empty.
    const QByteArray& NewPath() const { return btNewPath; }

    // True when the new file is still where Create put it: unnamed, or its name still standing
    // for it.
    bool IsStillNamed() const;

    // The new file's size in bytes now (-1 when it cannot be had).
    int64_t Size() const;

    // True when the new file ends with a 128-byte block that starts with "TAG".
    bool HasTrailingTag() const;

    // Appends tag (a whole trailing ID3v1 block) to the new file; false when not all of it could
    // be written.
    bool AppendTrailingTag(const QByteArray& tag);

    // Syncs the new file with sync (fsync), checks the output's name against guard once more,
    // and gives the new file that name: a name nothing holds is taken without replacing anything
    // that appears there meanwhile; an older output is replaced in one step. No failure when the
    // output now names the new file; else the reason, and the new file is not at the output name.
    Failure Place(const Guard& guard, const std::function<int(int)>& sync);

    // Removes the new file's name when it still stands for the file Create made; a name that
    // someone else has put there meanwhile is left alone. An unnamed file needs nothing: it goes
    // with its descriptor.
    void RemoveIfOurs();

    FileIdentity Identity() const { return identity; }

  private:
    Failure CreateUnnamed(const QByteArray& folder);
    Failure CreateNamed();

    QByteArray btPath;
    QByteArray btNewPath;
    int lngFd = -1;
    FileIdentity identity;
    bool blnPlaced = false;  // the new file has taken the output's name
};
