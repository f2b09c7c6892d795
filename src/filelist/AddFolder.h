#pragma once
// Adding a whole folder tree: the folder dialog and the directory walk behind the "Add All MP3
// File(s) In Folder" button. Folder paths in the walk end in one "/".

#include <QString>
#include <QStringList>

struct Admission;
class Prompts;
class QWidget;

// Asks for one folder with strPrompt above the dialog; the chosen folder's path, or "" when the
// user cancelled.
QString BrowseForFolder(Prompts& prompts, QWidget* owner, const QString& strPrompt);

// Admits every file named "*.mp3" (letter case ignored) in strFolder and in every folder below it,
// folder by folder as CollectSubfolders orders them and each folder's files in listing order;
// names beginning with "~" are passed over. Each file is opened relative to its folder, held open
// while its files are admitted; a folder that has gone since the walk read it is passed over.
void AddFolderFiles(const Admission& admission, const QString& strFolder);

// Appends to folders every folder found below the folders in it, level by level: first the direct
// subfolders of every listed folder (grouped by parent, in listing order), then theirs, and so on
// (only one level when recurse is false). Hidden folders (names beginning with ".") are not
// entered; links to folders are followed, but each real folder is entered once, so link cycles
// end; folders that cannot be read are passed over. Window events run while the tree is walked.
void CollectSubfolders(QStringList& folders, bool recurse);

// The same walk, which also reads the file names of every folder it ends with, in the listing that
// finds the folder's subfolders, so that no folder is read twice: on return strFileNames[i] holds
// what ListFolderFiles(folders[i], strPattern) gives (empty for a folder that cannot be read).
void CollectSubfolders(QStringList& folders, bool recurse, const QString& strPattern,
                       QList<QStringList>& strFileNames);

// The bare names of the files in strFolder whose names match strPattern ("*.mp3"; letter case
// ignored), hidden files included, folders never, in the order the directory listing gives them.
// Empty when there are none or the folder cannot be read.
QStringList ListFolderFiles(const QString& strFolder, const QString& strPattern);

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
