// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A ReduceHost without a window: the list is a string list whose rows carry ids of their own
// (kept by removals and moves, new for additions), the menu a string, and every pointer and
// progress value the run sets is recorded in order.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "reduce/ReduceBatch.h"
#include "support/FakePrompts.h"

class FakeReduceHost : public ReduceHost {
  public:
    QStringList rows;     // the paths, top to bottom
    QList<RowId> rowIds;  // their ids, kept in step with rows by the helpers below
    QString strMenu = QStringLiteral("Reduce to 64 kbps");
    QString strFolder;
    FakePrompts prompts;
    std::vector<int> pointers;
    std::vector<float> progress;
    // Runs after each progress value is recorded (the row's turn has come, its encoder not yet
    // started).
    std::function<void(float)> onProgress;

    void SetRows(const QStringList& paths) {
        rows.clear();
        rowIds.clear();
        for (const QString& strPath : paths) Append(strPath);
    }
    void Append(const QString& strPath) {
        rows << strPath;
        rowIds << ++lngLastId;
    }
    void Remove(int lngIndex) {
        rows.removeAt(lngIndex);
        rowIds.removeAt(lngIndex);
    }
    void Move(int lngFrom, int lngTo) {
        rows.move(lngFrom, lngTo);
        rowIds.move(lngFrom, lngTo);
    }

    QList<RowId> RowIds() override { return rowIds; }
    QString RowPath(RowId lngRow) override { return rows.at(rowIds.indexOf(lngRow)); }
    QString MenuText() override { return strMenu; }
    void SetPointer(Pointer::Value pointer) override { pointers.push_back(pointer); }
    void SetProgress(float sngValue) override {
        progress.push_back(sngValue);
        if (onProgress) onProgress(sngValue);
    }
    QString ProgramFolder() override { return strFolder; }
    Prompts& MessagePrompts() override { return prompts; }
    QWidget* MessageOwner() override { return nullptr; }

  private:
    RowId lngLastId = 0;
};
