// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/AdmitFile.h"

#include <fcntl.h>
#include <QFile>

#include "analysis/MP3Info.h"
#include "analysis/Rounding.h"
#include "common/ProgramNames.h"
#include "common/Prompts.h"
#include "filelist/FileListModel.h"
#include "filelist/FileNames.h"

namespace {

// Admits strPath; the analysis opens strOpen relative to folderFd (AT_FDCWD: strPath itself).
void Admit(const Admission& admission, const QString& strPath, int folderFd,
           const QString& strOpen) {
    if (admission.mp3Info == nullptr || admission.fileList == nullptr) return;
    // The analysis takes the path as the bytes the file system uses.
    if (admission.mp3Info->ReadMP3Info(folderFd, QFile::encodeName(strOpen).toStdString())) {
        // Path and bitrate text arrive together, as one new row at the end.
        admission.fileList->AppendAdmitted(QFile::encodeName(strPath),
                                           KbpsOf(admission.mp3Info->Bitrate()));
    } else {
        RefuseFile(admission, strPath);
    }
}

}  // namespace

void AdmitFile(const Admission& admission, const QString& strPath) {
    // Text whose bytes could be another file's (or no file's) is refused before it is opened.
    if (!PathStandsForItself(strPath)) {
        RefuseFile(admission, strPath);
        return;
    }
    Admit(admission, strPath, AT_FDCWD, strPath);
}

void RefuseFile(const Admission& admission, const QString& strPath) {
    if (admission.prompts == nullptr) return;
    // The box lets the window paint: the rows admitted before it show.
    if (admission.fileList != nullptr) admission.fileList->ShowNewRows();
    admission.prompts->ShowMessage(admission.owner, ProgramNames::kWindowTitle,
                                   QStringLiteral("Not a valid MP3 file!"), Prompts::Icon::Warning,
                                   strPath, QString());
}

void AdmitFile(const Admission& admission, const QString& strPath, int folderFd,
               const QString& strName) {
    if (folderFd < 0) {
        Admit(admission, strPath, AT_FDCWD, strPath);
    } else {
        Admit(admission, strPath, folderFd, strName);
    }
}

QString JoinPath(const QString& strFolder, const QString& strName) {
    if (strFolder.endsWith(QLatin1Char('/'))) return strFolder + strName;
    return strFolder + QLatin1Char('/') + strName;
}

int32_t KbpsOf(int32_t lngBitrate) {
    // 128500 -> 128, 129500 -> 130. The quotient of a 32-bit count by 1000 is exact at every half
    // and never near one otherwise.
    return static_cast<int32_t>(RoundHalfEven(lngBitrate / 1000.0));
}

QString BitrateText(int32_t lngBitrate) { return FileListModel::KbpsText(KbpsOf(lngBitrate)); }
