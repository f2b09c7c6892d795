#pragma once
// A ReduceHost without a window: the list is a string list, the menu a string, and every pointer
// and progress value the run sets is recorded in order.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "reduce/ReduceBatch.h"
#include "support/FakePrompts.h"

class FakeReduceHost : public ReduceHost {
  public:
    QStringList rows;
    QString strMenu = QStringLiteral("Reduce to 64 kbps");
    QString strFolder;
    FakePrompts prompts;
    std::vector<int> pointers;
    std::vector<float> progress;
    // Runs after each progress value is recorded (the row's turn has come, its encoder not yet
    // started).
    std::function<void(float)> onProgress;

    int RowCount() override { return static_cast<int>(rows.size()); }
    QString RowText(int lngRow) override { return rows.at(lngRow - 1); }
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
