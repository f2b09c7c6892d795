// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/AdmitFile.h"

#include <fcntl.h>
#include <QFile>
#include <optional>

#include "analysis/MP3Info.h"
#include "analysis/Rounding.h"
#include "common/ProgramNames.h"
#include "common/Prompts.h"
#include "filelist/FileList.h"
#include "filelist/FileNames.h"

namespace {

// A folder of music mostly holds files of one bitrate: the text made last is kept, and the rows
// with that bitrate share it instead of each making its own. Admission runs on the window's thread.
const QString& SharedBitrateText(int32_t lngBitrate) {
    static std::optional<int32_t> lngLast;
    static QString strLast;
    if (lngLast != lngBitrate) {
        strLast = BitrateText(lngBitrate);
        lngLast = lngBitrate;
    }
    return strLast;
}

// Admits strPath; the analysis opens strOpen relative to folderFd (AT_FDCWD: strPath itself).
void Admit(const Admission& admission, const QString& strPath, int folderFd,
           const QString& strOpen) {
    if (admission.mp3Info == nullptr || admission.fileList == nullptr) return;
    // The analysis takes the path as the bytes the file system uses.
    if (admission.mp3Info->ReadMP3Info(folderFd, QFile::encodeName(strOpen).toStdString())) {
        // Path and bitrate text arrive together, as one new row at the end.
        admission.fileList->AppendAdmitted(strPath,
                                           SharedBitrateText(admission.mp3Info->Bitrate()));
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

QString BitrateText(int32_t lngBitrate) {
    // Whole kbps, an exact half going to the even neighbour (128500 -> 128, 129500 -> 130). The
    // quotient of a 32-bit count by 1000 is exact at every half and never near one otherwise.
    const auto lngKbps = static_cast<int32_t>(RoundHalfEven(lngBitrate / 1000.0));
    return QString::number(lngKbps) + QStringLiteral(" kbps");
}
