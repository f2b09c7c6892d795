// SPDX-License-Identifier: GPL-3.0-or-later
// Admitting files into the list, and the list with many rows.
//
// BM_AdmitFilesAgainstProbe: 10,000 files through AdmitFile into the window's list, against
// `kestrelund-info --json` over the same files, in the same run; the counters give both times per
// round and their ratio (admit / probe).
// BM_HundredThousandRows: 100,000 rows appended through AdmitFile into a shown window, then the
// time to scroll to the bottom and back to the top (each with a full repaint of the list), the
// time of one more add with the list at the new row, and the process's resident memory.
// BM_AppendAnalysedRows: 100,000 rows whose analysis is done appended to the window's list, against
// the same rows appended to the list as it was before it became a model (a QTreeWidget with an item
// a row holding its texts), in the same run, rounds alternating; the counters give the medians and
// their ratio (before / now).
//
// kestrelund-info is looked up beside this program (build*/bin/); build it first.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "filelist/AdmitFile.h"
#include "filelist/FileListModel.h"
#include "support/Mp3Bytes.h"
#include "ui/FileListView.h"
#include "ui/Form1.h"
#include "ui/Form1TestAccess.h"
#include "ui/PathDelegate.h"
#include "ui/WindowControls.h"

namespace {

using namespace benchsupport;

using Clock = std::chrono::steady_clock;

constexpr int kFiles = 10'000;
constexpr int kRows = 100'000;

double Seconds(Clock::time_point t0, Clock::time_point t1) {
    return std::chrono::duration<double>(t1 - t0).count();
}

// 10,000 files in 100 album folders, named as a music collection names them.
struct Collection {
    QTemporaryDir dir;
    QByteArrayList paths;            // as the file system's bytes, as the list takes them
    std::vector<std::string> files;  // the same paths, for the probe

    Collection() {
        const QByteArray mp3 = testsupport::Mp3Frames(10);  // ten frames, 128 kbps
        for (int i = 0; i < kFiles; ++i) {
            const QString strAlbum = QString("%1/Music/Some Artist/Album %2")
                                         .arg(dir.path())
                                         .arg(i / 100, 3, 10, QChar('0'));
            if (i % 100 == 0) QDir().mkpath(strAlbum);
            const QString strPath = QString("%1/%2 A Track With A Title.mp3")
                                        .arg(strAlbum)
                                        .arg(i % 100, 2, 10, QChar('0'));
            WriteFile(strPath, mp3);
            paths << QFile::encodeName(strPath);
            files.push_back(paths.back().toStdString());
        }
    }
};

const Collection& Files() {
    static const Collection collection;
    return collection;
}

// VmRSS of this process in megabytes (MiB).
double ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string strLine;
    while (std::getline(status, strLine)) {
        if (strLine.rfind("VmRSS:", 0) == 0) return std::stod(strLine.substr(6)) / 1024.0;
    }
    return 0;
}

// Lays out and paints the list now, as the screen would show it.
void Repaint(Form1& form) {
    QCoreApplication::processEvents();
    windowtest::ControlsOf(form).ListView1->viewport()->repaint();
}

void BM_HundredThousandRows(benchmark::State& state) {
    const Collection& collection = Files();
    for (auto _ : state) {
        const double dblBaseline = ResidentMegabytes();
        Window window;
        Form1& form = window.form;
        Repaint(form);
        const double dblEmptyWindow = ResidentMegabytes();

        // Each file ten times: duplicates are rows like any other.
        const auto t0 = Clock::now();
        for (int i = 0; i < kRows; ++i) {
            AdmitFile(Form1TestAccess::ListAdmission(form), collection.paths[i % kFiles]);
        }
        Repaint(form);
        const auto t1 = Clock::now();
        windowtest::ControlsOf(form).ListView1->scrollToBottom();
        Repaint(form);
        const auto t2 = Clock::now();
        windowtest::ControlsOf(form).ListView1->scrollToTop();
        Repaint(form);
        const auto t3 = Clock::now();
        AdmitFile(Form1TestAccess::ListAdmission(form), collection.paths[0]);
        windowtest::ControlsOf(form).ListView1->scrollTo(
            windowtest::ControlsOf(form).fileList->index(kRows, 0));
        Repaint(form);
        const auto t4 = Clock::now();
        // A page of scrolling as the wheel or the scroll bar does it, in the middle of the list.
        QScrollBar* bar = windowtest::ControlsOf(form).ListView1->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
        Repaint(form);
        const auto t5 = Clock::now();
        bar->setValue(bar->value() + bar->pageStep());
        Repaint(form);
        const auto t6 = Clock::now();

        if (windowtest::ControlsOf(form).fileList->RowCount() != kRows + 1 ||
            !window.prompts.messages.empty()) {
            state.SkipWithError("not every row was added");
            return;
        }
        state.counters["append_100k_s"] = Seconds(t0, t1);
        state.counters["to_bottom_ms"] = Seconds(t1, t2) * 1000;
        state.counters["to_top_ms"] = Seconds(t2, t3) * 1000;
        state.counters["one_more_add_ms"] = Seconds(t3, t4) * 1000;
        state.counters["to_middle_ms"] = Seconds(t4, t5) * 1000;
        state.counters["page_down_ms"] = Seconds(t5, t6) * 1000;
        state.counters["rss_before_window_MB"] = dblBaseline;
        state.counters["rss_empty_window_MB"] = dblEmptyWindow;
        state.counters["rss_100k_rows_MB"] = ResidentMegabytes();
        state.SetIterationTime(Seconds(t0, t1));
    }
}
// Runs first, so that its memory figures are not those of a heap grown by earlier rounds.
BENCHMARK(BM_HundredThousandRows)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

// The list as it was: a two-column tree widget with an item a row, each item holding its path,
// its bitrate text (one text shared by the rows of one bitrate) and its id.
class ItemRow : public QTreeWidgetItem {
  public:
    explicit ItemRow(uint64_t lngId) : QTreeWidgetItem(UserType), lngId(lngId) {}
    uint64_t lngId;
};

struct ItemList {
    QTreeWidget view;
    uint64_t lngNextId = 1;
    QString strShared = QStringLiteral("128 kbps");

    ItemList() {
        view.setColumnCount(2);
        view.setHeaderLabels({QStringLiteral("MP3 File(s)"), QStringLiteral("Bitrate")});
        view.setRootIsDecorated(false);
        view.setUniformRowHeights(true);
        view.setItemsExpandable(false);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.setAutoScroll(false);
        view.header()->setStretchLastSection(false);
        view.setItemDelegateForColumn(0, new PathDelegate(&view));
        view.setColumnWidth(0, 313);
        view.setColumnWidth(1, 67);
        view.resize(425, 121);
        view.show();
    }
    void Append(const QString& strPath) {
        auto* item = new ItemRow(lngNextId++);
        item->setText(0, strPath);
        item->setText(1, strShared);
        view.addTopLevelItem(item);
    }
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void BM_AppendAnalysedRows(benchmark::State& state) {
    // Paths of about 40 characters, as a music collection names them.
    QStringList strPaths;
    for (int i = 0; i < kRows; ++i)
        strPaths << QStringLiteral("/home/ana/Music/Album %1/%2 Song.mp3")
                        .arg(i / 100, 4, 10, QChar('0'))
                        .arg(i % 100, 2, 10, QChar('0'));
    QByteArrayList btPaths;  // the same as the list takes them
    for (const QString& strPath : std::as_const(strPaths)) btPaths << QFile::encodeName(strPath);
    std::vector<double> before, now;
    int lngRound = 0;
    for (auto _ : state) {
        auto timeBefore = [&] {
            ItemList list;
            QCoreApplication::processEvents();
            const auto t0 = Clock::now();
            for (const QString& strPath : strPaths) list.Append(strPath);
            QCoreApplication::processEvents();
            list.view.viewport()->repaint();
            before.push_back(Seconds(t0, Clock::now()));
            return list.view.topLevelItemCount();
        };
        auto timeNow = [&] {
            Window window;
            Form1& form = window.form;
            FileListModel& list = *windowtest::ControlsOf(form).fileList;  // found once, untimed
            Repaint(form);
            const auto t0 = Clock::now();
            {
                // As the folder add appends its rows.
                const FileListModel::Batch batch(list);
                for (const QByteArray& btPath : std::as_const(btPaths))
                    list.AppendAdmitted(btPath, 128);
            }
            Repaint(form);
            now.push_back(Seconds(t0, Clock::now()));
            return list.RowCount();
        };
        // Alternating which goes first, so that neither always meets the heap the other left.
        int lngBefore = 0, lngNow = 0;
        if (lngRound % 2) {
            lngNow = timeNow();
            lngBefore = timeBefore();
        } else {
            lngBefore = timeBefore();
            lngNow = timeNow();
        }
        if (lngBefore != kRows || lngNow != kRows) {
            state.SkipWithError("not every row was appended");
            return;
        }
        state.SetIterationTime(now.back());
        ++lngRound;
    }
    state.counters["before_ms"] = Median(before) * 1000;
    state.counters["now_ms"] = Median(now) * 1000;
    state.counters["speedup"] = Median(before) / Median(now);
}
BENCHMARK(BM_AppendAnalysedRows)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_AdmitFilesAgainstProbe(benchmark::State& state) {
    const Collection& collection = Files();
    const std::string strProbe = ProbeBesideProgram(state);
    if (strProbe.empty()) return;
    Window window;
    Form1& form = window.form;
    FakePrompts& prompts = window.prompts;
    RunProbe(strProbe, collection.files);  // both sides then read from a warm file cache

    double dblAdmit = 0, dblProbe = 0;
    for (auto _ : state) {
        windowtest::ControlsOf(form).fileList->Clear();
        Repaint(form);
        const auto t0 = Clock::now();
        for (const QByteArray& btPath : collection.paths)
            AdmitFile(Form1TestAccess::ListAdmission(form), btPath);
        Repaint(form);
        const auto t1 = Clock::now();
        const int lngProbeStatus = RunProbe(strProbe, collection.files);
        const auto t2 = Clock::now();

        if (windowtest::ControlsOf(form).fileList->RowCount() != kFiles ||
            !prompts.messages.empty()) {
            state.SkipWithError("not every file was admitted without a warning");
            return;
        }
        if (lngProbeStatus != 0) {
            state.SkipWithError("kestrelund-info did not find every file valid");
            return;
        }
        dblAdmit += Seconds(t0, t1);
        dblProbe += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t0, t1));
    }
    const double dblRounds = double(state.iterations());
    state.counters["admit_ms"] = dblAdmit / dblRounds * 1000;
    state.counters["probe_ms"] = dblProbe / dblRounds * 1000;
    state.counters["ratio"] = dblAdmit / dblProbe;
    state.counters["files"] = kFiles;
}
BENCHMARK(BM_AdmitFilesAgainstProbe)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) { return benchsupport::RunBenchmarks(argc, argv); }
