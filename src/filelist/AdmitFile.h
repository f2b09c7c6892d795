// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Admission of candidate files into the file list, shared by the dialog add and the folder add.

#include <QString>
#include <cstdint>

class FileListModel;
class MP3Info;
class Prompts;
class QWidget;

// What admission needs from the window: its list, its one analysis object and the prompt seam.
struct Admission {
    FileListModel* fileList;
    MP3Info* mp3Info;
    Prompts* prompts;
    QWidget* owner;  // owner of the warning box
};

// Analyses strPath; on success appends a row (path exactly as given, bitrate text), otherwise shows
// "Not a valid MP3 file!" (warning, titled "Kestrelund", the path as informative text). A path
// whose text does not name exactly one file (see PathStandsForItself) is refused the same way.
void AdmitFile(const Admission& admission, const QString& strPath);
// The same, with the file opened as strName relative to the folder open as the descriptor
// folderFd, which spares the lookup of the folder's path; strPath (the folder's path joined with
// strName) is still the row's text. A negative folderFd opens strPath instead.
void AdmitFile(const Admission& admission, const QString& strPath, int folderFd,
               const QString& strName);

// The warning every refused file gets: "Not a valid MP3 file!", with strPath below it.
void RefuseFile(const Admission& admission, const QString& strPath);

// The folder, one "/", the name; no second separator when the folder already ends in "/".
QString JoinPath(const QString& strFolder, const QString& strName);

// Bits per second as whole kbps, an exact half going to the even neighbour.
int32_t KbpsOf(int32_t lngBitrate);
// Bits per second as the list shows them: KbpsOf, then " kbps".
QString BitrateText(int32_t lngBitrate);
