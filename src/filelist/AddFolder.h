// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Adding a whole folder tree: the folder dialog behind the "Add All MP3 File(s) In Folder" button,
// the directory walk (FolderWalk.h) and the folder held open while its files are admitted.

#include <QString>
#include <QStringList>

#include "filelist/FolderWalk.h"

struct Admission;
class Prompts;
class QWidget;

// Asks for one folder with strPrompt above the dialog; the chosen folder's path, or "" when the
// user cancelled.
QString BrowseForFolder(Prompts& prompts, QWidget* owner, const QString& strPrompt);

// Admits every file named "*.mp3" (letter case ignored) in strFolder and in every folder below it,
// folder by folder as CollectSubfolders orders them and each folder's files in name order; names
// beginning with "~" are passed over. Each file is opened relative to its folder, held open while
// its files are admitted; a folder that has gone since the walk read it is passed over. Files and
// folders whose names have no text of their own are refused with the usual warning, after the rest.
void AddFolderFiles(const Admission& admission, const QString& strFolder);

// A folder held open while its files are admitted, so that each file is opened relative to it
// (AdmitFile with a folder) rather than by its full path. Descriptor() is -1 when the folder
// cannot be opened; the full paths are used then.
class OpenFolder {
  public:
    explicit OpenFolder(const QString& strFolder);
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    int Descriptor() const { return fd; }

  private:
    int fd;
};
