// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Adding a whole folder tree: the folder dialog behind the "Add All MP3 File(s) In Folder" button,
// the directory walk (FolderWalk.h) and the folder held open while its files are admitted.

#include <QByteArray>
#include <QString>

#include "filelist/FolderWalk.h"

struct Admission;
class Prompts;
class QWidget;

// Asks for one folder with strPrompt above the dialog; the chosen folder's path as the file
// system's bytes, or empty when the user cancelled.
QByteArray BrowseForFolder(Prompts& prompts, QWidget* owner, const QString& strPrompt);

// Admits every file named "*.mp3" (letter case ignored) in btFolder and in every folder below it,
// folder by folder as CollectSubfolders orders them and each folder's files in name order, names
// in any encoding; names beginning with "~" and a Reduce run's new files are passed over
// (IsLeftOutName). Each file is opened relative to its folder, held open while its files are
// admitted; a folder that has gone since the walk read it is passed over.
void AddFolderFiles(const Admission& admission, const QByteArray& btFolder);

// A folder held open while its files are admitted, so that each file is opened relative to it
// (AdmitFile with a folder) rather than by its full path. Descriptor() is -1 when the folder
// cannot be opened; the full paths are used then.
class OpenFolder {
  public:
    explicit OpenFolder(const QByteArray& btFolder);
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    int Descriptor() const { return fd; }

  private:
    int fd;
};
