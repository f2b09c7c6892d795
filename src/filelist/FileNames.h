// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File names as the file system holds them (any bytes but "/" and NUL) and as the list shows them
// (text). Names are taken as UTF-8; bytes that are not UTF-8 decode to U+FFFD and cannot be turned
// back, so the text of such a name would stand for another file, or for none. Every add path
// refuses those names instead of listing them.

#include <QByteArray>
#include <QString>
#include <optional>

class QUrl;

// True when the text of bytes turns back into the same bytes.
bool SurvivesRoundTrip(const QByteArray& bytes);

// True when the text strPath (a full path from the file dialog, which hands over text only)
// names exactly the file it was made from: each part holding U+FFFD, the one mark of bytes that
// did not decode, must be the only entry of its folder with that text, and its own bytes.
bool PathStandsForItself(const QString& strPath);

// True when url names a file of this machine: "file:" with no host or the host "localhost".
bool IsLocalFileUrl(const QUrl& url);

// The local path of a dropped file, or nothing when it is not a local file or its bytes (as the
// drag source percent-encoded them) do not survive the round trip.
std::optional<QString> DroppedLocalPath(const QUrl& url);
