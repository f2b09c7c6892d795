#include "ui/QtPrompts.h"

#include <QCursor>
#include <QFileDialog>
#include <QMessageBox>

void QtPrompts::ShowMessage(QWidget* owner, const QString& strTitle, const QString& strText,
                            Icon icon, const QString& strInformative) {
    QMessageBox box(owner);
    box.setWindowTitle(strTitle);
    box.setText(strText);
    box.setIcon(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (!strInformative.isEmpty()) box.setInformativeText(strInformative);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

QStringList QtPrompts::GetOpenFileNames(QWidget* owner, const QString& strTitle,
                                        const QString& strFilter) {
    // A fresh dialog on every press: no initial file name, no remembered folder.
    QFileDialog dialog(owner, strTitle);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(strFilter);
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

QString QtPrompts::GetExistingDirectory(QWidget* owner, const QString& strPrompt) {
    QFileDialog dialog(owner, strPrompt);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

QPoint QtPrompts::CursorPos() { return QCursor::pos(); }
