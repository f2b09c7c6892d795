// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/AdmitFile.h"

#include <fcntl.h>

#include "analysis/MP3Info.h"
#include "analysis/Rounding.h"
#include "common/ProgramNames.h"
#include "common/Prompts.h"
#include "filelist/FileListModel.h"
#include "filelist/FileNames.h"
#include "filelist/Mp3Names.h"

namespace {

// Admits btPath; the analysis opens btOpen relative to folderFd (AT_FDCWD: btPath itself).
void Admit(const Admission& admission, const QByteArray& btPath, int folderFd,
           const QByteArray& btOpen) {
    if (admission.mp3Info == nullptr || admission.fileList == nullptr) return;
    // A Reduce run's new file is never listed, whatever it holds.
    if (IsNewFilePath(BytesOf(btPath))) {
        RefuseFile(admission, btPath);
        return;
    }
    if (admission.mp3Info->ReadMP3Info(folderFd, btOpen.toStdString())) {
        // Path and bitrate text arrive together, as one new row at the end.
        admission.fileList->AppendAdmitted(btPath, KbpsOf(admission.mp3Info->Bitrate()));
    } else {
        RefuseFile(admission, btPath);
    }
}

}  // namespace

void AdmitFile(const Admission& admission, const QByteArray& btPath) {
    Admit(admission, btPath, AT_FDCWD, btPath);
}

void RefuseFile(const Admission& admission, const QByteArray& btPath) {
    if (admission.prompts == nullptr) return;
    // The box lets the window paint: the rows admitted before it show.
    if (admission.fileList != nullptr) admission.fileList->ShowNewRows();
    // A name that is not UTF-8 gets its bytes written out below its text, as in the list's
    // tooltip, so that two such names that look alike can be told apart.
    const QString strPath =
        IsUtf8Path(btPath) ? PathText(btPath) : PathText(btPath) + u'\n' + EscapedPath(btPath);
    admission.prompts->ShowMessage(admission.owner, ProgramNames::kWindowTitle,
                                   QStringLiteral("Not a valid MP3 file!"), Prompts::Icon::Warning,
                                   strPath, QString());
}

void AdmitFile(const Admission& admission, const QByteArray& btPath, int folderFd,
               const QByteArray& btName) {
    if (folderFd < 0) {
        Admit(admission, btPath, AT_FDCWD, btPath);
    } else {
        Admit(admission, btPath, folderFd, btName);
    }
}

QByteArray JoinPath(const QByteArray& btFolder, const QByteArray& btName) {
    if (btFolder.endsWith('/')) return btFolder + btName;
    return btFolder + '/' + btName;
}

int32_t KbpsOf(int32_t lngBitrate) {
    // 128500 -> 128, 129500 -> 130. The quotient of a 32-bit count by 1000 is exact at every half
    // and never near one otherwise.
    return static_cast<int32_t>(RoundHalfEven(lngBitrate / 1000.0));
}

QString BitrateText(int32_t lngBitrate) { return FileListModel::KbpsText(KbpsOf(lngBitrate)); }
