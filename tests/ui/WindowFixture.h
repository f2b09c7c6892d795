// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The set-up the window tests share: the menu setting kept in a temporary folder instead of the
// user's own, a temporary program folder, prompts answered by a fake, the window itself, and the
// list read back as rows. Tests that start windows of their own (after changing the stored
// setting, say) override SetUp and call Start.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <utility>
#include <vector>

#include "Form1TestAccess.h"
#include "WindowControls.h"
#include "filelist/FileListModel.h"
#include "reduce/OutputNaming.h"
#include "support/FakePrompts.h"
#include "support/ReduceTestFiles.h"
#include "ui/FileListView.h"
#include "ui/Form1.h"

namespace windowtest {

using Row = std::pair<QString, QString>;  // path, bitrate text

class WindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static QTemporaryDir config;  // the menu setting goes here, not to the user's own
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    }

    // The window, not yet shown, over an empty program folder.
    void SetUp() override {
        ASSERT_TRUE(programFolder.isValid());  // holds no "HAND-M.CUR" unless a test puts one
        form = Start();
    }

    // The window goes first, before anything a test class keeps beside it.
    void TearDown() override { form.reset(); }

    // Shows the window and waits until it is on the screen.
    void ShowForm() {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    // A new window, not yet shown, over the program folder and the fake prompts.
    std::unique_ptr<Form1> Start() {
        return std::make_unique<Form1>(prompts, programFolder.path());
    }

    // The rows of a window's list, top to bottom.
    static std::vector<Row> RowsOf(const Form1& window) {
        const FileListModel* list = ControlsOf(window).fileList;
        std::vector<Row> rows;
        for (int i = 0; i < list->RowCount(); ++i)
            rows.emplace_back(list->PathAt(i), list->BitrateAt(i));
        return rows;
    }
    std::vector<Row> Rows() const { return RowsOf(*form); }

    // Appends a row as admission ("128 kbps") or a drop ("") would have added it.
    static void AppendRow(FileListModel& list, const QString& strPath, const QString& strBitrate) {
        if (strBitrate.isEmpty()) {
            list.AppendDropped(QFile::encodeName(strPath));
        } else {
            list.AppendAdmitted(QFile::encodeName(strPath), strBitrate.section(u' ', 0, 0).toInt());
        }
    }
    // The row lngRow of the list (counted from 0), as its view knows it.
    QModelIndex RowIndex(int lngRow) const { return Ui().fileList->index(lngRow, 0); }

    // The controls of the window the fixture started.
    Controls Ui() const { return ControlsOf(*form); }

    // A stand-in encoder in the program folder: a shell script running strBody.
    bool WriteEncoder(const QString& strBody) const {
        return reducetest::WriteScript(EncoderPath(programFolder.path()), strBody);
    }

    QTemporaryDir programFolder;
    FakePrompts prompts;
    std::unique_ptr<Form1> form;
};

}  // namespace windowtest
