// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/ReduceBatch.h"

#include <QHash>
#include <QLocale>
#include <QSet>
#include <algorithm>
#include <optional>
#include <utility>

#include "common/ProgramNames.h"
#include "reduce/OutputNaming.h"
#include "reduce/ScopedSlot.h"
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

// The files the list holds, by path and by identity, for a run's whole length: each row's path is
// read and its file looked up once, when the row is first seen; a look at the list that finds
// its rows as they were costs one comparison of their ids.
class ListedFiles {
  public:
    explicit ListedFiles(ReduceHost& host) : host(host) {}

    // Brings the record up to the list's rows lngRows (its RowIds() as just read).
    void Update(const QList<FileListModel::RowId>& lngRows) {
        const FileListModel& list = host.List();
        if (lngRows == seen) return;
        QSet<FileListModel::RowId> current(lngRows.cbegin(), lngRows.cend());
        for (auto it = rows.begin(); it != rows.end();) {
            if (current.contains(it.key())) {
                ++it;
                continue;
            }
            Forget(it.value());
            it = rows.erase(it);
        }
        for (int lngIndex = 0; lngIndex < lngRows.size(); ++lngIndex) {
            const FileListModel::RowId lngRow = lngRows[lngIndex];
            if (rows.contains(lngRow)) continue;
            const QString strPath = list.PathAt(lngIndex);
            Row row{strPath, IdentityOf(strPath)};
            ++paths[row.strPath];
            if (row.identity) ++identities[*row.identity];
            rows.insert(lngRow, std::move(row));
        }
        seen = lngRows;
    }

    bool Contains(const FileIdentity& identity, const QString& strPath) const {
        return identities.contains(identity) || paths.contains(strPath);
    }

  private:
    struct Row {
        QString strPath;
        std::optional<FileIdentity> identity;
    };

    void Forget(const Row& row) {
        if (--paths[row.strPath] == 0) paths.remove(row.strPath);
        if (row.identity && --identities[*row.identity] == 0) identities.remove(*row.identity);
    }

    ReduceHost& host;
    QList<FileListModel::RowId> seen;
    QHash<FileListModel::RowId, Row> rows;
    QHash<QString, int> paths;            // how many rows name each path
    QHash<FileIdentity, int> identities;  // how many rows name each file
};

}  // namespace

ReduceBatch::ReduceBatch()
    : ReduceBatch(
          [](const QStringList& arguments) { return RunAndWait(arguments, kWindowHidden); }) {}

ReduceBatch::ReduceBatch(Runner runner, FreeSpaceProbe freeSpace)
    : runner(std::move(runner)), freeSpace(std::move(freeSpace)) {}

void ReduceBatch::HandOverRunningOutput() {
    if (encoder) encoder->HandOverRunning();
}

QString ReduceBatch::SizeTotals(qsizetype lngDone, int64_t lngSourceBytes, int64_t lngOutputBytes) {
    if (lngDone == 0) return {};
    const QLocale locale;
    return QStringLiteral("%1: %2 \u2192 %3")
        .arg(lngDone == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(lngDone),
             locale.formattedDataSize(lngSourceBytes, 1, QLocale::DataSizeSIFormat),
             locale.formattedDataSize(lngOutputBytes, 1, QLocale::DataSizeSIFormat));
}

QString ReduceBatch::LargerOutput(const QString& strOutputPath) {
    return strOutputPath + QStringLiteral(": larger than its source");
}

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

    const QList<FileListModel::RowId> runRows = host.List().RowIds();
    if (runRows.isEmpty()) {
        host.MessagePrompts().ShowMessage(host.MessageOwner(), ProgramNames::kWindowTitle,
                                          QStringLiteral("No files added."), Prompts::Icon::None,
                                          QString(), QString());
        return;
    }

    RunningFlag running(blnRunning);
    RowEncoder rowEncoder(runner, freeSpace);
    const ScopedSlot<RowEncoder> current(encoder, rowEncoder);
    ListedFiles listed(host);
    const ListedTest isListed = [&](const FileIdentity& identity, const QString& strPath) {
        listed.Update(host.List().RowIds());
        return listed.Contains(identity, strPath);
    };
    QSet<FileListModel::RowId> due(runRows.cbegin(), runRows.cend());
    QStringList failures, larger;
    qsizetype lngDone = 0;
    int64_t lngSourceBytes = 0, lngOutputBytes = 0;
    while (!due.isEmpty()) {
        // The list may have changed while the last encoder ran: the next row is the first one,
        // in the list's order now, of those the run has not yet taken.
        const QList<FileListModel::RowId> rows = host.List().RowIds();
        const auto next =
            std::find_if(rows.cbegin(), rows.cend(),
                         [&](FileListModel::RowId lngRow) { return due.contains(lngRow); });
        if (next == rows.cend()) break;  // the rest were removed
        const FileListModel::RowId lngRow = *next;
        due.remove(lngRow);

        host.SetPointer(Pointer::Hourglass);
        // The row's number now over the number of rows now, so the bar never passes its end.
        const auto lngNumber = static_cast<double>(next - rows.cbegin() + 1);
        host.SetProgress(static_cast<float>(lngNumber / static_cast<double>(rows.size()) * 100.0));

        const QString strInputPath = host.List().PathAt(static_cast<int>(next - rows.cbegin()));
        // Both readings of the menu happen here, with no events in between, so a row's output
        // name and its encoding bitrate always agree.
        const QString strOutputPath = OutputPath(strInputPath, host.MenuText());
        const QString strMenuText = host.MenuText();
        const auto arguments = [&](const QString& strWritePath) {
            return EncoderArguments(strEncoderPath, strInputPath, strWritePath, strMenuText);
        };

        const RowOutcome outcome =
            rowEncoder.Encode(strInputPath, strOutputPath, arguments, isListed);
        if (outcome.blnNotStarted) {
            host.SetPointer(Pointer::Default);
            host.SetProgress(0);
            host.MessagePrompts().ShowMessage(
                host.MessageOwner(), ProgramNames::kWindowTitle,
                QStringLiteral("The encoder could not be started."), Prompts::Icon::Warning,
                strEncoderPath + u'\n' + StartFailureReason(outcome.lngResult), QString());
            return;
        }
        if (outcome.failure) {
            failures << strInputPath + QStringLiteral(": ") + *outcome.failure;
        } else if (!outcome.blnAlreadyDone) {
            ++lngDone;
            lngSourceBytes += outcome.lngSourceBytes;
            lngOutputBytes += outcome.lngOutputBytes;
            if (outcome.lngOutputBytes > outcome.lngSourceBytes) {
                larger << LargerOutput(strOutputPath);
            }
        }
    }

    host.SetPointer(Pointer::Default);
    host.SetProgress(0);
    QStringList informative{FailureCount(failures.size()),
                            SizeTotals(lngDone, lngSourceBytes, lngOutputBytes)};
    informative.removeAll(QString());
    host.MessagePrompts().ShowMessage(host.MessageOwner(), ProgramNames::kWindowTitle,
                                      QStringLiteral("Done."), Prompts::Icon::None,
                                      informative.join(u'\n'), (failures + larger).join(u'\n'));
}
