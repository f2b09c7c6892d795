// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one seam for everything that waits on a person: message boxes, the open-file dialog and the
// folder dialog. The program uses QtPrompts, which shows the real Qt dialogs; tests install a fake
// that records what was asked and answers at once.

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

class QWidget;

class Prompts {
  public:
    enum class Icon { None, Warning };

    virtual ~Prompts() = default;

    // A modal box with one OK button, titled strTitle. strInformative, when not empty, is shown as
    // the box's informative text below strText; strDetails, when not empty, goes into the box's
    // expandable details, which scroll however long they are.
    virtual void ShowMessage(QWidget* owner, const QString& strTitle, const QString& strText,
                             Icon icon, const QString& strInformative,
                             const QString& strDetails) = 0;

    // The multi-select open-file dialog: the chosen files' full paths as the file system's bytes,
    // in the order the dialog gives them; empty when the user cancelled.
    virtual QByteArrayList GetOpenFileNames(QWidget* owner, const QString& strTitle,
                                            const QString& strFilter) = 0;

    // The folders-only dialog showing strPrompt: the chosen folder's path as the file system's
    // bytes, or empty on cancel.
    virtual QByteArray GetExistingDirectory(QWidget* owner, const QString& strPrompt) = 0;
};
