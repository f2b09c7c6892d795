// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Admission of candidate files into the file list, shared by the dialog add and the folder add.
// Paths are the file system's bytes, whatever their encoding; messages show them as text.

#include <QByteArray>
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

// Analyses the file at btPath; on success appends a row (the path's bytes exactly as given, the
// bitrate text), otherwise shows "Not a valid MP3 file!" (warning, titled "Kestrelund", the path
// as text below it). A Reduce run's new file (IsNewFilePath) is refused the same way unread.
void AdmitFile(const Admission& admission, const QByteArray& btPath);
// The same, with the file opened as btName relative to the folder open as the descriptor
// folderFd, which spares the lookup of the folder's path; btPath (the folder's path joined with
// btName) is still the row's path. A negative folderFd opens btPath instead.
void AdmitFile(const Admission& admission, const QByteArray& btPath, int folderFd,
               const QByteArray& btName);

// The warning every refused file gets: "Not a valid MP3 file!", with the path below it as text.
void RefuseFile(const Admission& admission, const QByteArray& btPath);

// The folder, one "/", the name; no second separator when the folder already ends in "/".
QByteArray JoinPath(const QByteArray& btFolder, const QByteArray& btName);

// Bits per second as whole kbps, an exact half going to the even neighbour.
int32_t KbpsOf(int32_t lngBitrate);
// Bits per second as the list shows them: KbpsOf, then " kbps".
QString BitrateText(int32_t lngBitrate);
