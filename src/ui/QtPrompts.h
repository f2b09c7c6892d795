// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real dialogs behind the Prompts seam: QMessageBox and QFileDialog, all modal. Both file
// dialogs open in the folder last used by either of them while the program runs; nothing of that
// is stored between runs. A file dialog's answer is taken through its URLs, which keep a name's
// bytes whatever their encoding: Qt's own dialog does not show names that are not UTF-8, but a
// platform's dialog that shows them hands them over that way.

#include "common/Prompts.h"

// Where a file dialog opens: strLastFolder when it names an existing folder, else strMusicFolder
// when that exists, else strHomeFolder.
QString DialogStartFolder(const QString& strLastFolder, const QString& strMusicFolder,
                          const QString& strHomeFolder);

class QtPrompts : public Prompts {
  public:
    void ShowMessage(QWidget* owner, const QString& strTitle, const QString& strText, Icon icon,
                     const QString& strInformative, const QString& strDetails) override;
    QByteArrayList GetOpenFileNames(QWidget* owner, const QString& strTitle,
                                    const QString& strFilter) override;
    QByteArray GetExistingDirectory(QWidget* owner, const QString& strPrompt) override;

  private:
    // The folder a dialog opens in now: the last one used, at first the user's Music folder.
    QString StartFolder() const;

    // The folder the last accepted dialog was used in, as text: the dialogs take no other; a
    // folder whose name is not UTF-8 is not found again, and the next dialog opens in Music.
    QString strLastFolder;
};
