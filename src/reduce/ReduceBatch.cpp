// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/ReduceBatch.h"

#include <QHash>
#include <QLocale>
#include <QSet>
#include <algorithm>
#include <optional>
#include <utility>

#include "common/ProgramNames.h"
#include "filelist/AdmitFile.h"
#include "filelist/FileNames.h"
#include "reduce/OutputNaming.h"
#include "reduce/ScopedSlot.h"
#include "reduce/Shell32.h"

namespace {

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

// The files the list holds, by path (the file system's bytes) and by identity, for a run's whole
// length: each row's path is read and its file looked up once, when the row is first seen; a look
// at the list that finds its rows as they were costs one comparison of their ids.
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
            const QByteArray btPath = list.PathBytesAt(lngIndex);
            Row row{btPath, IdentityOf(btPath)};
            ++paths[row.btPath];
            if (row.identity) ++identities[*row.identity];
            rows.insert(lngRow, std::move(row));
        }
        seen = lngRows;
    }

    bool Contains(const FileIdentity& identity, const QByteArray& btPath) const {
        return identities.contains(identity) || paths.contains(btPath);
    }

  private:
    struct Row {
        QByteArray btPath;
        std::optional<FileIdentity> identity;
    };

    void Forget(const Row& row) {
        if (--paths[row.btPath] == 0) paths.remove(row.btPath);
        if (row.identity && --identities[*row.identity] == 0) identities.remove(*row.identity);
    }

    ReduceHost& host;
    QList<FileListModel::RowId> seen;
    QHash<FileListModel::RowId, Row> rows;
    QHash<QByteArray, int> paths;         // how many rows name each path
    QHash<FileIdentity, int> identities;  // how many rows name each file
};

}  // namespace

ReduceBatch::ReduceBatch() : ReduceBatch(RunServices::Real()) {}

ReduceBatch::ReduceBatch(RunServices services) : services(std::move(services)) {}

void ReduceBatch::FinishAtEnd() {
    blnEnded = true;
    if (encoder) encoder->FinishAtEnd();
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

QString ReduceBatch::Report::Informative() const {
    QStringList lines{FailureCount(failures.size()),
                      SizeTotals(lngDone, lngSourceBytes, lngOutputBytes)};
    if (larger.size() == 1) lines << QStringLiteral("1 output is larger than its source.");
    if (larger.size() > 1) {
        lines << QStringLiteral("%1 outputs are larger than their sources.").arg(larger.size());
    }
    // The encoder writes the nearest bitrate its format has at the source's sample rate (no
    // 144 kbps at 32 to 48 kHz, nothing above 64 kbps at 8 kHz).
    if (otherBitrate.size() == 1) {
        lines << QStringLiteral(
            "1 output has another bitrate than chosen: the encoder has no such bitrate at its "
            "sample rate.");
    }
    if (otherBitrate.size() > 1) {
        lines << QStringLiteral(
                     "%1 outputs have another bitrate than chosen: the encoder has no such "
                     "bitrate at their sample rate.")
                     .arg(otherBitrate.size());
    }
    lines.removeAll(QString());
    return lines.join(u'\n');
}

void ReduceBatch::Report::Count(const RowOutcome& outcome, const QString& strInputPath,
                                const QString& strOutputPath, int32_t lngChosenKbps) {
    if (outcome.failure) {
        failures << strInputPath + QStringLiteral(": ") + *outcome.failure;
        return;
    }
    if (outcome.blnAlreadyDone) return;
    ++lngDone;
    lngSourceBytes += outcome.lngSourceBytes;
    lngOutputBytes += outcome.lngOutputBytes;
    if (outcome.lngOutputBytes > outcome.lngSourceBytes) larger << LargerOutput(strOutputPath);
    const int32_t lngWritten = KbpsOf(outcome.lngOutputBitrate);
    if (lngWritten != lngChosenKbps) {
        otherBitrate << QStringLiteral("%1: %2 kbps, not %3 kbps")
                            .arg(strOutputPath)
                            .arg(lngWritten)
                            .arg(lngChosenKbps);
    }
}

QString ReduceBatch::Report::Details() const {
    return (failures + larger + otherBitrate).join(u'\n');
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
    blnEnded = false;
    RowEncoder rowEncoder(services);
    const ScopedSlot<RowEncoder> current(encoder, rowEncoder);
    ListedFiles listed(host);
    const ListedTest isListed = [&](const FileIdentity& identity, const QByteArray& btPath) {
        listed.Update(host.List().RowIds());
        return listed.Contains(identity, btPath);
    };
    QSet<FileListModel::RowId> due(runRows.cbegin(), runRows.cend());
    Report report;
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

        // The row's path as the file system's bytes, which name its file whatever their encoding;
        // the output's name is made from them. The messages show both as text.
        const QByteArray btInputPath =
            host.List().PathBytesAt(static_cast<int>(next - rows.cbegin()));
        // Both readings of the menu happen here, with no events in between, so a row's output
        // name and its encoding bitrate always agree.
        const QByteArray btOutputPath = OutputPath(btInputPath, host.MenuText());
        const QString strInputPath = PathText(btInputPath);
        const QString strOutputPath = PathText(btOutputPath);
        const QString strMenuText = host.MenuText();
        const ArgumentsFor arguments = [&](const QString& strInput, const QString& strOutput,
                                           int lngLayer) {
            return EncoderArguments(strEncoderPath, strInput, strOutput, strMenuText, lngLayer);
        };

        const RowOutcome outcome =
            rowEncoder.Encode(btInputPath, btOutputPath, arguments, isListed);
        // The program ended while the encoder ran: its row is settled, and the run stops here.
        if (outcome.blnEnded || blnEnded) return;
        report.Count(outcome, strInputPath, strOutputPath, BitrateFromMenuText(strMenuText));
        if (outcome.blnNotStarted) {
            // Every row still due fails for that reason too; the rest of the report stands.
            const QList<FileListModel::RowId> left = host.List().RowIds();
            for (int i = 0; i < left.size(); ++i) {
                if (due.contains(left[i])) {
                    report.failures
                        << host.List().PathAt(i) + QStringLiteral(": ") + *outcome.failure;
                }
            }
            host.SetPointer(Pointer::Default);
            host.SetProgress(0);
            host.MessagePrompts().ShowMessage(
                host.MessageOwner(), ProgramNames::kWindowTitle,
                QStringLiteral("The encoder could not be started."), Prompts::Icon::Warning,
                strEncoderPath + u'\n' + StartFailureReason(outcome.lngResult) + u'\n' +
                    report.Informative(),
                report.Details());
            return;
        }
    }

    host.SetPointer(Pointer::Default);
    host.SetProgress(0);
    host.MessagePrompts().ShowMessage(host.MessageOwner(), ProgramNames::kWindowTitle,
                                      QStringLiteral("Done."), Prompts::Icon::None,
                                      report.Informative(), report.Details());
}
