// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/AddFolder.h"

#include <fcntl.h>
#include <unistd.h>
#include <optional>

#include "common/Prompts.h"
#include "filelist/AdmitFile.h"
#include "filelist/FileListModel.h"
#include "filelist/FileNames.h"
#include "filelist/Mp3Names.h"

namespace {

QByteArray WithSlash(const QByteArray& btFolder) {
    return btFolder.endsWith('/') ? btFolder : btFolder + '/';
}

}  // namespace

QByteArray BrowseForFolder(Prompts& prompts, QWidget* owner, const QString& strPrompt) {
    return prompts.GetExistingDirectory(owner, strPrompt);
}

void AddFolderFiles(const Admission& admission, const QByteArray& btFolder) {
    QByteArrayList btFolders{WithSlash(btFolder)};
    // The walk reads each folder once: btFileNames[i] is ListFolderFiles(btFolders[i],
    // kMp3Pattern).
    QList<QByteArrayList> btFileNames;
    CollectSubfolders(btFolders, true, kMp3Pattern, btFileNames);
    // The rows reach the window's view in one step, once all are in.
    std::optional<FileListModel::Batch> batch;
    if (admission.fileList != nullptr) batch.emplace(*admission.fileList);
    for (qsizetype i = 0; i < btFolders.size(); ++i) {
        const QByteArray& btQueued = btFolders.at(i);
        // The folder's files are opened relative to it, not each by its full path. A folder that
        // has gone since the walk read it is passed over, like one that cannot be read.
        const OpenFolder folder(btQueued);
        if (folder.Descriptor() < 0) continue;
        for (const QByteArray& btName : btFileNames.at(i)) {
            if (IsLeftOutName(BytesOf(btName))) continue;
            AdmitFile(admission, JoinPath(btQueued, btName), folder.Descriptor(), btName);
        }
    }
}

OpenFolder::OpenFolder(const QByteArray& btFolder)
    : fd(open(btFolder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}

OpenFolder::~OpenFolder() {
    if (fd >= 0) close(fd);
}
