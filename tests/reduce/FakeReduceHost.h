// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A ReduceHost without a window: the list is the file list's own model, filled with dropped rows
// (ids kept by removals and moves, new for additions), the menu a string, and every pointer and
// progress value the run sets is recorded in order.

#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "filelist/FileListModel.h"
#include "reduce/ReduceBatch.h"
#include "support/FakePrompts.h"

class FakeReduceHost : public ReduceHost {
  public:
    FileListModel list;
    QString strMenu = QStringLiteral("Reduce to 64 kbps");
    QString strFolder;
    FakePrompts prompts;
    std::vector<int> pointers;
    std::vector<float> progress;
    // Runs after each progress value is recorded (the row's turn has come, its encoder not yet
    // started).
    std::function<void(float)> onProgress;

    void SetRows(const QStringList& paths) {
        list.Clear();
        for (const QString& strPath : paths) Append(strPath);
    }
    void Append(const QString& strPath) { list.AppendDropped(QFile::encodeName(strPath)); }
    void Remove(int lngIndex) { list.RemoveRow(lngIndex); }
    // The file in lngFrom goes to lngTo, the rows between move one place, as a drag over each.
    void Move(int lngFrom, int lngTo) {
        for (int i = lngFrom; i != lngTo; i += lngTo > lngFrom ? 1 : -1)
            list.ExchangeRows(i, lngTo > lngFrom ? i + 1 : i - 1);
    }
    QStringList Rows() const { return list.Paths(); }

    FileListModel& List() override { return list; }
    QString MenuText() override { return strMenu; }
    void SetPointer(Pointer::Value pointer) override { pointers.push_back(pointer); }
    void SetProgress(float sngValue) override {
        progress.push_back(sngValue);
        if (onProgress) onProgress(sngValue);
    }
    QString ProgramFolder() override { return strFolder; }
    Prompts& MessagePrompts() override { return prompts; }
    QWidget* MessageOwner() override { return nullptr; }
};
