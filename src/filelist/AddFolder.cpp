// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/AddFolder.h"

#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <optional>

#include "common/Prompts.h"
#include "filelist/AdmitFile.h"
#include "filelist/FileListModel.h"
#include "filelist/Mp3Names.h"

namespace {

QString WithSlash(const QString& folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

}  // namespace

QString BrowseForFolder(Prompts& prompts, QWidget* owner, const QString& strPrompt) {
    return prompts.GetExistingDirectory(owner, strPrompt);
}

void AddFolderFiles(const Admission& admission, const QString& strFolder) {
    QStringList strFolders{WithSlash(strFolder)};
    // The walk reads each folder once: strFileNames[i] is ListFolderFiles(strFolders[i],
    // kMp3Pattern).
    QList<QStringList> strFileNames;
    QStringList strRefused;
    CollectSubfolders(strFolders, true, QString::fromLatin1(kMp3Pattern), strFileNames,
                      &strRefused);
    // The rows reach the window's view in one step, once all are in.
    std::optional<FileListModel::Batch> batch;
    if (admission.fileList != nullptr) batch.emplace(*admission.fileList);
    for (qsizetype i = 0; i < strFolders.size(); ++i) {
        const QString& strQueued = strFolders.at(i);
        // The folder's files are opened relative to it, not each by its full path. A folder that
        // has gone since the walk read it is passed over, like one that cannot be read.
        const OpenFolder folder(strQueued);
        if (folder.Descriptor() < 0) continue;
        for (const QString& strName : strFileNames.at(i)) {
            if (IsLeftOutName(strName.front().unicode())) continue;
            AdmitFile(admission, JoinPath(strQueued, strName), folder.Descriptor(), strName);
        }
    }
    // Files and folders whose names have no text that leads back to them get the warning of a
    // refused file, once the files that could be named are in.
    for (const QString& strPath : std::as_const(strRefused)) RefuseFile(admission, strPath);
}

OpenFolder::OpenFolder(const QString& strFolder)
    : fd(open(QFile::encodeName(strFolder), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}

OpenFolder::~OpenFolder() {
    if (fd >= 0) close(fd);
}
