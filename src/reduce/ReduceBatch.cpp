#include "reduce/ReduceBatch.h"

#include <QFile>
#include <QFileInfo>
#include <utility>

#include "analysis/MP3Info.h"
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

// True when the encoder's output exists and the analysis admits it as an MP3 file.
bool IsGoodOutput(MP3Info& mp3Info, const QString& strOutputPath) {
    if (!QFileInfo(strOutputPath).isFile()) return false;
    return mp3Info.ReadMP3Info(QFile::encodeName(strOutputPath).toStdString());
}

}  // namespace

ReduceBatch::ReduceBatch()
    : ReduceBatch(
          [](const QStringList& arguments) { return RunAndWait(arguments, kWindowHidden); }) {}

ReduceBatch::ReduceBatch(Runner runner) : runner(std::move(runner)) {}

QString ReduceBatch::FailureSummary(const QStringList& failedFiles) {
    if (failedFiles.isEmpty()) return {};
    const qsizetype lngCount = failedFiles.size();
    return QString::number(lngCount) +
           (lngCount == 1 ? QStringLiteral(" file failed:\n")
                          : QStringLiteral(" files failed:\n")) +
           failedFiles.join(u'\n');
}

void ReduceBatch::Run(ReduceHost& host) {
    const QString strEncoderPath = EncoderPath(host.ProgramFolder());
    // The window's events run while the encoder works; a second press then must not start a run
    // nested inside this one.
    if (blnRunning) return;

    const int lngRows = host.RowCount();
    if (lngRows <= 0) {
        host.MessagePrompts().ShowMessage(host.MessageOwner(), ProgramNames::kWindowTitle,
                                          QStringLiteral("No files added."), Prompts::Icon::None,
                                          QString());
        return;
    }

    RunningFlag running(blnRunning);
    MP3Info mp3Info;
    QStringList failedFiles;
    for (int lngRow = 1; lngRow <= lngRows; ++lngRow) {
        // Rows removed meanwhile end the run at the list's current end.
        const int lngCurrentRows = host.RowCount();
        if (lngRow > lngCurrentRows) break;

        host.SetPointer(Pointer::Hourglass);
        host.SetProgress(static_cast<float>(static_cast<double>(lngRow) / lngCurrentRows * 100.0));

        const QString strInputPath = host.RowText(lngRow);
        // Both readings of the menu happen here, with no events in between, so a row's output
        // name and its encoding bitrate always agree.
        const QString strOutputPath = OutputPath(strInputPath, host.MenuText());
        const QStringList arguments =
            EncoderArguments(strEncoderPath, strInputPath, strOutputPath, host.MenuText());

        const int32_t lngResult = runner(arguments);
        if (IsStartError(lngResult)) {
            host.SetPointer(Pointer::Default);
            host.SetProgress(0);
            host.MessagePrompts().ShowMessage(
                host.MessageOwner(), ProgramNames::kWindowTitle,
                QStringLiteral("The encoder could not be started."), Prompts::Icon::Warning,
                strEncoderPath + u'\n' + StartFailureReason(lngResult));
            return;
        }
        if (lngResult != 0 || !IsGoodOutput(mp3Info, strOutputPath)) failedFiles << strInputPath;
    }

    host.SetPointer(Pointer::Default);
    host.SetProgress(0);
    host.MessagePrompts().ShowMessage(host.MessageOwner(), ProgramNames::kWindowTitle,
                                      QStringLiteral("Done."), Prompts::Icon::None,
                                      FailureSummary(failedFiles));
}
