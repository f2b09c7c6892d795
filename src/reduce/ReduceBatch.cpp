// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/ReduceBatch.h"

#include <QSet>
#include <algorithm>
#include <utility>

#include "common/ProgramNames.h"
#include "reduce/OutputNaming.h"
#include "reduce/Shell32.h"

namespace {

// The encoder runs without a window.
constexpr int kWindowHidden = 0;

// Resets the running flag however the run ends.
class RunningFlag {
  public:
    explicit RunningFlag(bool& blnFlag) : blnFlag(blnFlag) { blnFlag = true; }
    ~RunningFlag() { blnFlag = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

  private:
    bool& blnFlag;
};

QString StartFailureReason(int32_t lngResult) {
    if (lngResult == kStartErrorMissing) return QStringLiteral("The file does not exist.");
    if (lngResult == kStartErrorDenied) return QStringLiteral("The file may not be run.");
    return QStringLiteral("The file could not be run.");
}

QStringList ListedPaths(ReduceHost& host) { return host.List().Paths(); }

}  // namespace

ReduceBatch::ReduceBatch()
    : ReduceBatch(
          [](const QStringList& arguments) { return RunAndWait(arguments, kWindowHidden); }) {}

ReduceBatch::ReduceBatch(Runner runner) : runner(std::move(runner)) {}

QString ReduceBatch::FailureCount(qsizetype lngFailed) {
    if (lngFailed == 0) return {};
    return lngFailed == 1 ? QStringLiteral("1 file failed.")
                          : QStringLiteral("%1 files failed.").arg(lngFailed);
}

void ReduceBatch::Run(ReduceHost& host) {
    const QString strEncoderPath = EncoderPath(host.ProgramFolder());
    // The window's events run while the encoder works; a second press then must not start a run
    // nested inside this one.
    if (blnRunning) return;

    const QList<ReduceHost::RowId> runRows = host.List().RowIds();
    if (runRows.isEmpty()) {
        host.MessagePrompts().ShowMessage(host.MessageOwner(), ProgramNames::kWindowTitle,
                                          QStringLiteral("No files added."), Prompts::Icon::None,
                                          QString(), QString());
        return;
    }

    RunningFlag running(blnRunning);
    RowEncoder encoder(runner);
    QSet<ReduceHost::RowId> due(runRows.cbegin(), runRows.cend());
    QStringList failures;
    while (!due.isEmpty()) {
        // The list may have changed while the last encoder ran: the next row is the first one,
        // in the list's order now, of those the run has not yet taken.
        const QList<ReduceHost::RowId> rows = host.List().RowIds();
        const auto next = std::find_if(rows.cbegin(), rows.cend(), [&](ReduceHost::RowId lngRow) {
            return due.contains(lngRow);
        });
        if (next == rows.cend()) break;  // the rest were removed
        const ReduceHost::RowId lngRow = *next;
        due.remove(lngRow);

        host.SetPointer(Pointer::Hourglass);
        // The row's number now over the number of rows now, so the bar never passes its end.
        const auto lngNumber = static_cast<double>(next - rows.cbegin() + 1);
        host.SetProgress(static_cast<float>(lngNumber / static_cast<double>(rows.size()) * 100.0));

        const QString strInputPath = host.List().PathAt(host.List().RowOf(lngRow));
        // Both readings of the menu happen here, with no events in between, so a row's output
        // name and its encoding bitrate always agree.
        const QString strOutputPath = OutputPath(strInputPath, host.MenuText());
        const QStringList arguments =
            EncoderArguments(strEncoderPath, strInputPath, strOutputPath, host.MenuText());

        const RowOutcome outcome = encoder.Encode(strInputPath, strOutputPath, arguments,
                                                  [&] { return ListedPaths(host); });
        if (outcome.blnNotStarted) {
            host.SetPointer(Pointer::Default);
            host.SetProgress(0);
            host.MessagePrompts().ShowMessage(
                host.MessageOwner(), ProgramNames::kWindowTitle,
                QStringLiteral("The encoder could not be started."), Prompts::Icon::Warning,
                strEncoderPath + u'\n' + StartFailureReason(outcome.lngResult), QString());
            return;
        }
        if (!outcome.strFailure.isEmpty())
            failures << strInputPath + QStringLiteral(": ") + outcome.strFailure;
    }

    host.SetPointer(Pointer::Default);
    host.SetProgress(0);
    host.MessagePrompts().ShowMessage(host.MessageOwner(), ProgramNames::kWindowTitle,
                                      QStringLiteral("Done."), Prompts::Icon::None,
                                      FailureCount(failures.size()), failures.join(u'\n'));
}
