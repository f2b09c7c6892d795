// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: the file list, the bitrate menu, the three large buttons and the progress bar.
// Form1 lays out and wires the controls; each handler is short and calls into the file-list and
// reduce code. Its controls and state are its own; tests drive it through its controls, found
// by their names, and see the rest through Form1TestAccess.

#include <QCursor>
#include <QPersistentModelIndex>
#include <QString>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <memory>

#include "analysis/MP3Info.h"
#include "common/Pointer.h"
#include "common/Prompts.h"
#include "filelist/AdmitFile.h"
#include "reduce/ReduceBatch.h"
#include "ui/LauncherProgress.h"

class FileListModel;
class FileListView;
class QComboBox;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

class Form1 : public QWidget {
    Q_OBJECT

  public:
    // strProgramFolder is where "HAND-M.CUR", "drag.ico" and the encoder are looked up.
    Form1(Prompts& prompts, const QString& strProgramFolder, QWidget* parent = nullptr);
    ~Form1() override;

    // The window's pointer: 0 default, 1 arrow, 11 hourglass, 99 the hand ("HAND-M.CUR", or a
    // pointing hand when it was not loaded).
    Pointer::Value MousePointer() const { return mousePointer; }
    void SetMousePointer(Pointer::Value pointer);
    bool HasMouseIcon() const { return blnHasMouseIcon; }

    // The progress bar on a 0..100 scale; the exact value given is kept.
    void SetProgressValue(float sngValue);
    float ProgressValue() const { return sngProgressValue; }

    // The handlers below are connected to their controls' events when the window is built; they
    // are public because the window system raises the close handlers and tests raise the others
    // as those events would (a button's click while it is up, a row click, a held move).

    // Window
    void Form_QueryUnload();
    void Form_Unload();

    // Buttons
    void Check1_Click();
    void Check2_Click();
    void Check3_Click();

    // List: dropping files and removing rows
    void ListView1_OLEDragOver(QDragMoveEvent* event);  // drag enter and drag move
    void ListView1_OLEDragDrop(QDropEvent* event);
    void ListView1_DblClick();
    void ListView1_KeyDown(int intKeyCode, Qt::KeyboardModifiers shift);  // Delete removes a row

    // List: reordering by dragging rows
    void ListView1_ItemClick(const QModelIndex& item);
    void ListView1_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void ListView1_MouseMove(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void ListView1_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

    // Hover look
    void Check1_MouseMove();
    void Check2_MouseMove();
    void Check3_MouseMove();
    void Form_MouseMove();
    void Label1_MouseMove();
    void ProgressBar1_MouseDown();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // What tests may see of the inside (tests/ui/Form1TestAccess.h).
    friend struct Form1TestAccess;
    // The Reduce run's view of the window.
    class ReduceHostOfForm;

    void CreateControls();
    void ConnectEvents();
    void Form_Load();
    void Combo1_Click();
    // Places the window in the middle of its screen, frame included, before it is first shown.
    void CentreOnScreen();
    // Sets the window's pointer to pointer unless it shows the hourglass (11).
    void ApplyPointerRule(Pointer::Value pointer);
    // Ctrl+Up (-1) and Ctrl+Down (1): the selected row's file trades places with its neighbour's.
    void MoveSelectedRow(int lngStep);
    // What admitting a file into this window's list needs.
    Admission ListAdmission();

    // Controls, named as the handlers name them; each carries its name as its object name.
    QPushButton* Command1 = nullptr;  // hidden left of the window; holds the first focus
    QToolButton* Check1 = nullptr;    // "Add MP3 File(s)"
    QToolButton* Check2 = nullptr;    // "Reduce"
    QToolButton* Check3 = nullptr;    // "Add All MP3 File(s) In Folder"
    FileListView* ListView1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* Label1 = nullptr;

    // The file list, which ListView1 shows: every handler reads and changes it through this.
    std::unique_ptr<FileListModel> fileList;

    std::unique_ptr<MP3Info> mp3Info;  // the one analysis object, created by Form_Load
    Prompts& prompts;
    QString strProgramFolder;

    // Reordering rows by dragging. blnDragging: a button went down over the list and has not yet
    // come up there. itmDrag: the row showing the dragged file (set by a row click, following the
    // file from row to row; invalid once its row is removed). itmUnder: the row under the
    // pointer, only while one move step runs.
    bool blnDragging = false;
    QPersistentModelIndex itmDrag;
    QPersistentModelIndex itmUnder;

    // Form_Unload's last step, once a running encoder's row is settled: ends the process without
    // unwinding the event loops of a folder add or a Reduce run. Tests replace it.
    std::function<void()> EndProgram = [] { std::_Exit(0); };

    Pointer::Value mousePointer = Pointer::Default;
    QCursor curMouseIcon;
    bool blnHasMouseIcon = false;
    float sngProgressValue = 0;
    ReduceBatch reduceBatch;       // the Reduce run; one at a time
    LauncherProgress launcher;     // the run's progress on the program's icon
    bool blnAddingFolder = false;  // a folder add is running
};
