// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File names as the file system holds them (any bytes but NUL, "/" between the names of a path)
// and as the list shows them. A path is kept as its bytes wherever it goes, whatever their
// encoding: the analysis, the checks, the encoder and the output name use those bytes. Only what a
// person reads is text: the bytes decoded as UTF-8, each byte that is not part of valid UTF-8
// shown as U+FFFD. That text can stand for more than one file ("Caf\xE9" and "Caf\xEF\xBF\xBD"
// both show as "Caf\uFFFD"), so it is never turned back into a path.

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>
#include <cstddef>
#include <optional>
#include <string_view>

class QUrl;

// The path as text: its bytes decoded as UTF-8, U+FFFD for each byte that is not part of valid
// UTF-8. A leading byte order mark is kept as the character it is (U+FEFF), not dropped.
QString PathText(const QByteArray& btPath);

// True when the path's bytes are valid UTF-8 throughout (no overlong forms, no surrogates, nothing
// past U+10FFFF), so that its text stands for it alone.
bool IsUtf8Path(const QByteArray& btPath);

// The path written so that its bytes can be read back from it: valid UTF-8 as the characters it
// encodes, "\" as "\\", and every other byte as "\x" and two upper-case hex digits
// ("/m/Caf\xE9 del Mar.mp3").
QString EscapedPath(const QByteArray& btPath);

// The bytes of btPath as a view, for the name rules of Mp3Names.h.
inline std::string_view BytesOf(const QByteArray& btPath) {
    return std::string_view(btPath.constData(), static_cast<std::size_t>(btPath.size()));
}

// True when url names a file of this machine: "file:" with no host or the host "localhost".
bool IsLocalFileUrl(const QUrl& url);

// The path of a file of this machine that url names, as the bytes the file system holds: the
// URL's path with its percent escapes undone, so that bytes that are not UTF-8 (which a URL keeps
// percent-encoded) stay the bytes they were. Nothing for a URL of another host or scheme, or one
// without a path.
std::optional<QByteArray> LocalPathOf(const QUrl& url);

// The paths of those of urls that name files of this machine, in the order given.
QByteArrayList LocalFilePaths(const QList<QUrl>& urls);
