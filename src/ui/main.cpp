// SPDX-License-Identifier: GPL-3.0-or-later
// Kestrelund: makes MP3 files smaller. The program takes no arguments; its one window does the
// rest.
#include <QApplication>
#include <QIcon>

#include "common/ProgramNames.h"
#include "ui/Form1.h"
#include "ui/QtPrompts.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(ProgramNames::kOrganisation);
    QApplication::setApplicationName(ProgramNames::kApplication);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/kestrelund.png")));
    // Lets desktops match the window to its installed desktop entry.
    QGuiApplication::setDesktopFileName(ProgramNames::kDesktopFileId);

    QtPrompts prompts;
    Form1 form(prompts, QCoreApplication::applicationDirPath());
    form.show();
    return QApplication::exec();
}
