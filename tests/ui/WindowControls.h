// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's controls for tests and benchmarks, which drive the window through them as a user
// does.

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "filelist/FileListModel.h"
#include "ui/FileListView.h"
#include "ui/Form1.h"

namespace windowtest {

// A window's controls, found as inspection tools find them: by their object names, which are
// their design names. fileList is the model that ListView1 shows.
struct Controls {
    QPushButton* Command1;
    QToolButton* Check1;
    QToolButton* Check2;
    QToolButton* Check3;
    FileListView* ListView1;
    QComboBox* Combo1;
    QProgressBar* ProgressBar1;
    QLabel* Label1;
    FileListModel* fileList;
};
inline Controls ControlsOf(const Form1& window) {
    auto* list = window.findChild<FileListView*>(QStringLiteral("ListView1"));
    return Controls{window.findChild<QPushButton*>(QStringLiteral("Command1")),
                    window.findChild<QToolButton*>(QStringLiteral("Check1")),
                    window.findChild<QToolButton*>(QStringLiteral("Check2")),
                    window.findChild<QToolButton*>(QStringLiteral("Check3")),
                    list,
                    window.findChild<QComboBox*>(QStringLiteral("Combo1")),
                    window.findChild<QProgressBar*>(QStringLiteral("ProgressBar1")),
                    window.findChild<QLabel*>(QStringLiteral("Label1")),
                    list ? qobject_cast<FileListModel*>(list->model()) : nullptr};
}

}  // namespace windowtest
