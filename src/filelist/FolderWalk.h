// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The directory walk behind the "Add All MP3 File(s) In Folder" button, also used by
// kestrelund-info -r. Folders and names are the file system's bytes, whatever their encoding, from
// the listing to the caller: a name that is not UTF-8 is listed and followed like any other.
// Folder paths in the walk end in one "/". Needs Qt Core only.

#include <QByteArray>
#include <QByteArrayList>
#include <QList>

// Appends to folders every folder found below the folders in it, level by level: first the direct
// subfolders of every listed folder (grouped by parent, each parent's in name order: see
// NameOrder), then theirs, and so on (only one level when recurse is false). Hidden folders (names
// beginning with ".") are not entered; links to folders are followed, but each real folder is
// entered once, so link cycles end; folders that cannot be read are passed over. Window events
// run while the tree is walked (when there is an event loop).
void CollectSubfolders(QByteArrayList& folders, bool recurse);

// The same walk, which also reads the file names of every folder it ends with, in the listing that
// finds the folder's subfolders, so that no folder is read twice: on return fileNames[i] holds
// what ListFolderFiles(folders[i], pattern) gives (empty for a folder that cannot be read).
void CollectSubfolders(QByteArrayList& folders, bool recurse, const QByteArray& pattern,
                       QList<QByteArrayList>& fileNames);

// The bare names of the files in folder whose names match pattern ("*.mp3"; letter case ignored),
// hidden files included, folders never, in name order (NameOrder, by the user's locale). Empty when
// there are none or the folder cannot be read.
QByteArrayList ListFolderFiles(const QByteArray& folder, const QByteArray& pattern);
