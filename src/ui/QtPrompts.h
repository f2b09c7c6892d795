// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real dialogs behind the Prompts seam: QMessageBox and QFileDialog, all modal.

#include "common/Prompts.h"

class QtPrompts : public Prompts {
  public:
    void ShowMessage(QWidget* owner, const QString& strTitle, const QString& strText, Icon icon,
                     const QString& strInformative, const QString& strDetails) override;
    QStringList GetOpenFileNames(QWidget* owner, const QString& strTitle,
                                 const QString& strFilter) override;
    QString GetExistingDirectory(QWidget* owner, const QString& strPrompt) override;
};
