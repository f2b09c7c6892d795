// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/QtPrompts.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>

#include "filelist/FileNames.h"
#include "ui/MessageFit.h"

namespace {

// The widest a box's text grows before long lines wrap: wide enough for a deep path, narrow
// enough to read, and never wider than most of the screen.
int MaxTextWidth(const QWidget* owner) {
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const int lngScreen = screen ? screen->availableGeometry().width() : 1024;
    return qMin(640, lngScreen * 3 / 5);
}

}  // namespace

void QtPrompts::ShowMessage(QWidget* owner, const QString& strTitle, const QString& strText,
                            Icon icon, const QString& strInformative, const QString& strDetails) {
    QMessageBox box(owner);
    box.setWindowTitle(strTitle);
    box.setText(WithPathBreaks(strText));
    box.setIcon(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (!strInformative.isEmpty()) box.setInformativeText(WithPathBreaks(strInformative));
    if (!strDetails.isEmpty()) box.setDetailedText(strDetails);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    // Qt sizes the box for its text alone, which leaves the window manager too little room for the
    // title and wraps a path anywhere; the text column is given the width they need.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont fntTitle = QFontDatabase::systemFont(QFontDatabase::TitleFont);
        fntTitle.setBold(true);
        label->setMinimumWidth(MessageTextWidth(label->fontMetrics(), QFontMetrics(fntTitle),
                                                strTitle, {strText, strInformative},
                                                MaxTextWidth(owner)));
    }
    // The breaks are for the eye only: a screen reader or braille display gets the texts as they
    // are, with the paths as the files have them.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
        label->setAccessibleName(strText);
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setAccessibleName(strInformative);
    box.exec();
}

QString DialogStartFolder(const QString& strLastFolder, const QString& strMusicFolder,
                          const QString& strHomeFolder) {
    for (const QString& strFolder : {strLastFolder, strMusicFolder}) {
        if (!strFolder.isEmpty() && QFileInfo(strFolder).isDir()) return strFolder;
    }
    return strHomeFolder;
}

QString QtPrompts::StartFolder() const {
    return DialogStartFolder(strLastFolder,
                             QStandardPaths::writableLocation(QStandardPaths::MusicLocation),
                             QDir::homePath());
}

QByteArrayList QtPrompts::GetOpenFileNames(QWidget* owner, const QString& strTitle,
                                           const QString& strFilter) {
    // A fresh dialog on every press, with no initial file name.
    QFileDialog dialog(owner, strTitle, StartFolder());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(strFilter);
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted) return {};
    // The dialog takes local files only (it is given no other schemes), so every URL is one.
    const QByteArrayList btPaths = LocalFilePaths(dialog.selectedUrls());
    if (!btPaths.isEmpty()) {
        const QByteArray& btFirst = btPaths.first();
        strLastFolder = PathText(btFirst.left(qMax<qsizetype>(btFirst.lastIndexOf('/'), 1)));
    }
    return btPaths;
}

QByteArray QtPrompts::GetExistingDirectory(QWidget* owner, const QString& strPrompt) {
    QFileDialog dialog(owner, strPrompt, StartFolder());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QByteArray btFolder = LocalFilePaths(dialog.selectedUrls()).value(0);
    if (!btFolder.isEmpty()) strLastFolder = PathText(btFolder);
    return btFolder;
}
