// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real dialogs behind the Prompts seam: QMessageBox and QFileDialog, all modal. Both file
// dialogs open in the folder last used by either of them while the program runs; nothing of that
// is stored between runs.

#include "common/Prompts.h"

// Where a file dialog opens: strLastFolder when it names an existing folder, else strMusicFolder
// when that exists, else strHomeFolder.
QString DialogStartFolder(const QString& strLastFolder, const QString& strMusicFolder,
                          const QString& strHomeFolder);

class QtPrompts : public Prompts {
  public:
    void ShowMessage(QWidget* owner, const QString& strTitle, const QString& strText, Icon icon,
                     const QString& strInformative, const QString& strDetails) override;
    QStringList GetOpenFileNames(QWidget* owner, const QString& strTitle,
                                 const QString& strFilter) override;
    QString GetExistingDirectory(QWidget* owner, const QString& strPrompt) override;

  private:
    // The folder a dialog opens in now: the last one used, at first the user's Music folder.
    QString StartFolder() const;

    QString strLastFolder;  // the folder the last accepted dialog was used in
};
