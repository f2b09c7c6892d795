// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The directory walk behind the "Add All MP3 File(s) In Folder" button, also used by
// kestrelund-info -r. Folder paths in the walk end in one "/". Needs Qt Core only.

#include <QList>
#include <QString>
#include <QStringList>

// Appends to folders every folder found below the folders in it, level by level: first the direct
// subfolders of every listed folder (grouped by parent, each parent's in name order: see
// NameOrder), then theirs, and so on (only one level when recurse is false). Hidden folders (names
// beginning with ".") are not entered; links to folders are followed, but each real folder is
// entered once, so link cycles end; folders that cannot be read are passed over. Window events
// run while the tree is walked (when there is an event loop).
void CollectSubfolders(QStringList& folders, bool recurse);

// The same walk, which also reads the file names of every folder it ends with, in the listing that
// finds the folder's subfolders, so that no folder is read twice: on return strFileNames[i] holds
// what ListFolderFiles(folders[i], strPattern) gives (empty for a folder that cannot be read).
// Files and folders whose names are bytes with no text of their own (not UTF-8: see FileNames)
// are neither listed nor entered; with strRefused, their paths as text go there (a folder's with a
// final "/"), in walk order.
void CollectSubfolders(QStringList& folders, bool recurse, const QString& strPattern,
                       QList<QStringList>& strFileNames, QStringList* strRefused = nullptr);

// The bare names of the files in strFolder whose names match strPattern ("*.mp3"; letter case
// ignored), hidden files included, folders never, in name order (NameOrder, by the user's locale);
// names with no text of their own are left out. Empty when there are none or the folder cannot be
// read.
QStringList ListFolderFiles(const QString& strFolder, const QString& strPattern);
