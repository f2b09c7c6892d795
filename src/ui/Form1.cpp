// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Form1.h"

#include <malloc.h>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolButton>
#include <QUrl>
#include <cstdio>

#include "common/ProgramNames.h"
#include "filelist/AddFolder.h"
#include "filelist/FileListModel.h"
#include "filelist/FileNames.h"
#include "filelist/Mp3Names.h"
#include "ui/BitrateMenu.h"
#include "ui/ButtonAccessible.h"
#include "ui/CaptionButton.h"
#include "ui/FileListView.h"
#include "ui/MenuTypeAhead.h"
#include "ui/PointerImage.h"
#include "ui/RowReorder.h"
#include "ui/WindowPlacement.h"

namespace {

// Window positions and sizes are given in twips; 15 twips make one device-independent pixel.
int Px(int lngTwips) { return qRound(lngTwips / 15.0); }
QRect Twips(int lngLeft, int lngTop, int lngWidth, int lngHeight) {
    return QRect(Px(lngLeft), Px(lngTop), Px(lngWidth), Px(lngHeight));
}

constexpr int kProgressSteps = 100;  // bar units per percent, so fractions show

QFont ArialBold(qreal sngPoints) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPointSizeF(sngPoints);
    return font;
}

// A white background with black text on it, whatever colours the desktop gives (a dark desktop
// would give light text, which would vanish on white).
void Whiten(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Button, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, Qt::black);
        palette.setColor(QPalette::Disabled, role, Qt::darkGray);
    }
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

Form1::Form1(Prompts& prompts, const QString& strProgramFolder, QWidget* parent)
    : QWidget(parent),
      prompts(prompts),
      strProgramFolder(strProgramFolder),
      launcher(ProgramNames::kDesktopFileId) {
    CreateControls();
    ConnectEvents();
    Form_Load();
}

Form1::~Form1() = default;

void Form1::CreateControls() {
    // Screen readers announce the three large buttons as the push buttons they are to the user.
    InstallButtonAccessible();
    // Fixed single border, minimise but no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Px(6615), Px(4365));
    Whiten(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/kestrelund.png")));

    const QFont fntLarge = ArialBold(11.25);
    const QFont fntSmall = ArialBold(9);

    Command1 = new QPushButton(QStringLiteral("Command1"), this);
    Command1->setGeometry(Twips(-720, 2640, 615, 495));

    Check1 = new CaptionButton(QStringLiteral("Add MP3 File(s)"),
                               QStringLiteral(":/icons/add-files.png"), this);
    Check1->setGeometry(Twips(120, 2520, 2055, 1215));

    Check2 =
        new CaptionButton(QStringLiteral("Reduce"), QStringLiteral(":/icons/reduce.png"), this);
    Check2->setGeometry(Twips(4440, 2520, 2055, 1215));

    ListView1 = new FileListView(this);
    fileList = std::make_unique<FileListModel>();
    ListView1->setModel(fileList.get());
    ListView1->setGeometry(Twips(120, 120, 6375, 1815));
    ListView1->setFont(fntSmall);
    ListView1->header()->setFont(fntSmall);  // the platform theme would give headers its own font
    ListView1->setToolTip(QStringLiteral(
        "Drag and drop files here. Double-click item to remove it. Move bar to right and out of "
        "window to reveal full names."));

    Check3 = new CaptionButton(QStringLiteral("Add All MP3 File(s) In Folder"),
                               QStringLiteral(":/icons/add-folder.png"), this);
    Check3->setGeometry(Twips(2280, 2520, 2055, 1215));

    for (QToolButton* button : {Check1, Check2, Check3}) {
        button->setFont(fntLarge);
        Whiten(button);
        button->setFocusPolicy(Qt::StrongFocus);
    }

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setGeometry(Twips(120, 3870, 6375, 375));
    ProgressBar1->setRange(0, 100 * kProgressSteps);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    Label1 = new QLabel(QStringLiteral("Option:"), this);
    Label1->setGeometry(Twips(180, 2080, 600, 225));
    Label1->setFont(fntSmall);
    Whiten(Label1);
    // At 96 dots per inch "Option:" is a few pixels wider than its 600 twips; widen the label so
    // the colon is not cut off (the menu starts well to the right of it).
    Label1->resize(
        qMax(Label1->width(), Label1->fontMetrics().horizontalAdvance(Label1->text()) + 1),
        Label1->height());

    Combo1 = new QComboBox(this);
    Combo1->setGeometry(Twips(945, 2040, 5595, 345));
    Combo1->setFont(fntSmall);
    Combo1->setEditable(false);

    // Each control answers to its own name, as tests and inspection tools look it up.
    Command1->setObjectName(QStringLiteral("Command1"));
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2->setObjectName(QStringLiteral("Check2"));
    Check3->setObjectName(QStringLiteral("Check3"));
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Combo1->setObjectName(QStringLiteral("Combo1"));

    // Names and descriptions for screen readers.
    Command1->setAccessibleName(QStringLiteral("Command1"));
    Command1->setAccessibleDescription(
        QStringLiteral("No action. Tab leads on to the buttons, the file list and the menu."));
    ListView1->setAccessibleName(QStringLiteral("MP3 File(s)"));
    ListView1->setAccessibleDescription(
        ListView1->toolTip() +
        QStringLiteral(" The Delete key removes the selected file from the list; Ctrl+Up and "
                       "Ctrl+Down move it one place up or down."));
    Label1->setAccessibleName(Label1->text());
    Label1->setBuddy(Combo1);
    Combo1->setAccessibleName(QStringLiteral("Option"));
    ProgressBar1->setAccessibleName(QStringLiteral("Progress"));

    // Tab order as laid out; Command1 comes first and so holds the focus at start.
    QWidget::setTabOrder(Command1, Check1);
    QWidget::setTabOrder(Check1, Check2);
    QWidget::setTabOrder(Check2, ListView1);
    QWidget::setTabOrder(ListView1, Check3);
    QWidget::setTabOrder(Check3, Combo1);
    Command1->setFocus();
}

void Form1::ConnectEvents() {
    connect(Check1, &QToolButton::clicked, this, &Form1::Check1_Click);
    connect(Check2, &QToolButton::clicked, this, &Form1::Check2_Click);
    connect(Check3, &QToolButton::clicked, this, &Form1::Check3_Click);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &Form1::Combo1_Click);
    // Digits typed in the menu pick the entry of that bitrate.
    new MenuTypeAhead(Combo1);
    // Ctrl+O adds files as a press of "Add MP3 File(s)" does.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this), &QShortcut::activated, Check1,
            &QToolButton::click);

    connect(ListView1, &FileListView::dragOver, this, &Form1::ListView1_OLEDragOver);
    connect(ListView1, &FileListView::dragDrop, this, &Form1::ListView1_OLEDragDrop);
    connect(ListView1, &FileListView::doubleClick, this, &Form1::ListView1_DblClick);
    connect(ListView1, &FileListView::keyDown, this, &Form1::ListView1_KeyDown);
    // A row counts as clicked when the button goes down on it, so that a drag can start at once.
    connect(ListView1, &QAbstractItemView::pressed, this,
            [this](const QModelIndex& item) { ListView1_ItemClick(item); });
    connect(ListView1, &FileListView::mouseDown, this, &Form1::ListView1_MouseDown);
    connect(ListView1, &FileListView::mouseMove, this, &Form1::ListView1_MouseMove);
    connect(ListView1, &FileListView::mouseUp, this, &Form1::ListView1_MouseUp);

    // Moves over the buttons, the label and the window's own background reach the hover
    // handlers; moves over a control do not also count as moves over the background.
    setMouseTracking(true);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{Check1, Check2, Check3, Label1, ProgressBar1}) {
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
    }
    for (QWidget* widget : std::initializer_list<QWidget*>{Command1, Check1, Check2, Check3, Label1,
                                                           ProgressBar1, Combo1, ListView1}) {
        widget->setAttribute(Qt::WA_NoMousePropagation);
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        if (watched == Check1) Check1_MouseMove();
        if (watched == Check2) Check2_MouseMove();
        if (watched == Check3) Check3_MouseMove();
        if (watched == Label1) Label1_MouseMove();
    } else if (event->type() == QEvent::MouseButtonPress && watched == ProgressBar1) {
        ProgressBar1_MouseDown();
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    Form_Unload();
    event->accept();
}

void Form1::SetMousePointer(Pointer::Value pointer) {
    mousePointer = pointer;
    // The list's own arrow would hide the hourglass over the list.
    ListView1->SetWindowBusy(pointer == Pointer::Hourglass);
    ShowPointerOn(*this, pointer, blnHasMouseIcon, curMouseIcon);
}

void Form1::SetProgressValue(float sngValue) {
    sngProgressValue = sngValue;
    const float sngShown = qBound(0.0f, sngValue, 100.0f);
    ProgressBar1->setValue(qRound(sngShown * kProgressSteps));
    // During a run the icon shows what the bar shows; the bar back at 0 ends the run.
    if (reduceBatch.IsRunning()) {
        if (sngShown > 0) {
            launcher.Show(sngShown / 100.0);
        } else {
            launcher.Clear();
        }
    }
}

Admission Form1::ListAdmission() {
    return Admission{fileList.get(), mp3Info.get(), &prompts, this};
}

void Form1::CentreOnScreen() {
    // Under Wayland the compositor places windows; a client cannot.
    if (QGuiApplication::platformName().startsWith(QStringLiteral("wayland"))) return;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    // The frame the window manager will put around the window, as it announces it before the
    // window is shown (none without a window manager, or on other platforms).
    const QMargins frame = AnnouncedFrameExtents(*this);
    const QPoint pntFrame = CentredFramePosition(screen->geometry(), size().grownBy(frame));
    if (frame.isNull()) {
        move(pntFrame);
    } else {
        // The window exists by now, so a move places its inner area; the frame lies around it.
        move(pntFrame + QPoint(frame.left(), frame.top()));
    }
}

void Form1::Form_Load() {
    // Centre the whole window, frame included, on its screen.
    CentreOnScreen();

    setWindowTitle(ProgramNames::kWindowTitle);

    // The hand pointer is optional: missing or unreadable means no custom pointer image.
    const QString strHand = QDir(strProgramFolder).filePath(QStringLiteral("HAND-M.CUR"));
    if (QFileInfo(strHand).lastModified().isValid()) {
        if (const auto cursor = LoadPointerImage(strHand)) {
            curMouseIcon = *cursor;
            blnHasMouseIcon = true;
        }
    }

    // The two columns, "MP3 File(s)" and "Bitrate", are the list's own; their widths are set here.
    ListView1->setColumnWidth(FileListModel::kPathColumn, Px(4700));
    ListView1->setColumnWidth(FileListModel::kBitrateColumn, Px(1000));

    Whiten(ProgressBar1);

    mp3Info = std::make_unique<MP3Info>();

    {
        const QSignalBlocker blocker(Combo1);
        Combo1->clear();
        Combo1->addItems(BitrateMenuEntries());
        Combo1->setCurrentIndex(MenuIndexFromSetting(ReadMenuSetting()));
    }
    // Restoring the selection counts as a menu change: the store then always holds the key.
    Combo1_Click();
}

void Form1::Combo1_Click() {
    if (Combo1->currentIndex() >= 0) WriteMenuSetting(Combo1->currentIndex());
}

void Form1::Form_QueryUnload() {
    // The close is never refused.
    mp3Info.reset();
}

void Form1::Form_Unload() {
    // The menu choice was written at each change; whatever of the store is not on disk yet goes
    // there now. The window goes at once, and from here on no handler and no event loop runs: a
    // folder add or a Reduce run waiting in its event loop goes no further (no more rows, no
    // "Done."). An encoder already started is waited for, without events, and its new file
    // checked as every row's and given its output's name, or removed; the process stays that
    // long after its window.
    QSettings(ProgramNames::kOrganisation, ProgramNames::kApplication).sync();
    TakeOffScreenNow(*this);
    // The program's icon shows no progress once its window has gone.
    launcher.Clear(true);
    reduceBatch.FinishAtEnd();
    std::fflush(nullptr);
    EndProgram();
}

void Form1::Check1_Click() {
    // A check box drawn as a push button: act on the press, then let it spring back.
    if (!Check1->isChecked()) return;
    Check1->setChecked(false);
    const QByteArrayList btPaths = prompts.GetOpenFileNames(
        this, QStringLiteral("Add File(s) - Hold Ctrl or Shift to select multiple files"),
        QStringLiteral("Mp3 Files (*.mp3)"));
    const FileListModel::Batch batch(*fileList);
    for (const QByteArray& btPath : btPaths) AdmitFile(ListAdmission(), btPath);
}

// The Reduce run's view of the window: the list's rows, the menu's text, the pointer, the bar.
class Form1::ReduceHostOfForm : public ReduceHost {
  public:
    explicit ReduceHostOfForm(Form1& form) : form(form) {}

    FileListModel& List() override { return *form.fileList; }
    QString MenuText() override { return form.Combo1->currentText(); }
    void SetPointer(Pointer::Value pointer) override { form.SetMousePointer(pointer); }
    void SetProgress(float sngValue) override { form.SetProgressValue(sngValue); }
    QString ProgramFolder() override { return form.strProgramFolder; }
    Prompts& MessagePrompts() override { return form.prompts; }
    QWidget* MessageOwner() override { return &form; }

  private:
    Form1& form;
};

void Form1::Check2_Click() {
    // A check box drawn as a push button: act on the press, then let it spring back.
    if (!Check2->isChecked()) return;
    Check2->setChecked(false);
    ReduceHostOfForm host(*this);
    const bool blnNested = reduceBatch.IsRunning();  // a press during a run, which it ignores
    reduceBatch.Run(host);
    if (!blnNested) launcher.Clear();
}

void Form1::Check3_Click() {
    if (!Check3->isChecked()) return;
    Check3->setChecked(false);
    // The walk lets window events run, so the button can be pressed again meanwhile: one folder
    // add at a time.
    if (blnAddingFolder) return;
    blnAddingFolder = true;
    const QByteArray btFolder =
        BrowseForFolder(prompts, this, QStringLiteral("Please select folder to add:"));
    if (btFolder.isEmpty()) {
        blnAddingFolder = false;
        return;
    }
    SetMousePointer(Pointer::Hourglass);
    AddFolderFiles(ListAdmission(), btFolder);
    // The walk's lists of names (a few megabytes for a large tree) are gone again; give their
    // memory back rather than keep it for the life of the window.
    malloc_trim(0);
    SetMousePointer(Pointer::Default);
    blnAddingFolder = false;
}

namespace {

// The files and folders of this machine in dropped data, as the file system's bytes (whatever
// their encoding), in the order the drag source gives them.
QByteArrayList DroppedPaths(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    return LocalFilePaths(data->urls());
}

}  // namespace

void Form1::ListView1_OLEDragOver(QDragMoveEvent* event) {
    if (DroppedPaths(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void Form1::ListView1_OLEDragDrop(QDropEvent* event) {
    const QByteArrayList btPaths = DroppedPaths(event->mimeData());
    if (btPaths.isEmpty()) {
        event->ignore();
        return;
    }
    // Appended as they come: no check, no bitrate; only a Reduce run's new files are not listed.
    QByteArrayList btRefused;
    {
        const FileListModel::Batch batch(*fileList);
        for (const QByteArray& btPath : btPaths) {
            if (IsNewFilePath(BytesOf(btPath))) {
                btRefused << btPath;
            } else {
                fileList->AppendDropped(btPath);
            }
        }
    }
    event->accept();
    // Those get the usual warning once the drop has ended, so that the drag source is not kept
    // waiting on the box.
    if (!btRefused.isEmpty()) {
        QMetaObject::invokeMethod(
            this,
            [this, btRefused] {
                for (const QByteArray& btPath : btRefused) RefuseFile(ListAdmission(), btPath);
            },
            Qt::QueuedConnection);
    }
}

void Form1::ListView1_DblClick() {
    // Removes the row from the list only; the file stays where it is.
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows();
    if (selected.isEmpty()) return;
    fileList->RemoveRow(selected.first().row());
}

void Form1::ListView1_KeyDown(int intKeyCode, Qt::KeyboardModifiers shift) {
    // The keys of the keypad count as well.
    const Qt::KeyboardModifiers keys = shift & ~Qt::KeypadModifier;
    if ((intKeyCode == Qt::Key_Up || intKeyCode == Qt::Key_Down) && keys == Qt::ControlModifier) {
        MoveSelectedRow(intKeyCode == Qt::Key_Up ? -1 : 1);
        return;
    }
    if (intKeyCode != Qt::Key_Delete || keys != Qt::NoModifier) return;
    // The selected row goes as with a double-click; a row that the keyboard made current but did
    // not select goes too. The row selected after it is brought into view, so that the next
    // Delete removes a row the user can see.
    const QModelIndex current = ListView1->currentIndex();
    if (ListView1->selectionModel()->selectedRows().isEmpty() && current.isValid()) {
        ListView1->selectionModel()->select(
            current, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    ListView1_DblClick();
    if (ListView1->currentIndex().isValid()) ListView1->scrollTo(ListView1->currentIndex());
}

void Form1::MoveSelectedRow(int lngStep) {
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows();
    const QModelIndex from = selected.isEmpty() ? ListView1->currentIndex() : selected.first();
    if (!from.isValid()) return;
    const int lngTo = from.row() + lngStep;
    if (lngTo < 0 || lngTo >= fileList->RowCount()) return;
    // The two rows' files trade places, as in a drag's exchange; the selection goes with the moved
    // file, and the list follows it as it does in a drag, keeping it in view.
    fileList->ExchangeRows(from.row(), lngTo);
    const QModelIndex moved = fileList->index(lngTo, 0);
    ListView1->selectionModel()->setCurrentIndex(
        moved, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const int lngScrollRow =
        AutoScrollRow(lngTo + 1, fileList->RowCount(), VisibleRowsOf(*ListView1));
    if (lngScrollRow > 0) ListView1->scrollTo(fileList->index(lngScrollRow - 1, 0));
    ListView1->scrollTo(moved);
}

void Form1::ListView1_ItemClick(const QModelIndex& item) {
    // The drag image is read afresh on every row click; without a readable "drag.ico" the list
    // shows a closed hand while a row is dragged.
    const QString strDrag = QDir(strProgramFolder).filePath(QStringLiteral("drag.ico"));
    ListView1->SetMouseIcon(LoadPointerImage(strDrag).value_or(QCursor(Qt::ClosedHandCursor)));
    ListView1->SetMousePointer(Pointer::Custom);
    // Rows move only through the move handler; dropped files are refused until the button comes
    // up again (ListView1_MouseUp).
    ListView1->SetDragSource(false);
    ListView1->SetDropTarget(false);
    // The clicked row, which the click has just selected (a Ctrl-click may have unselected it,
    // but it is still the row the person took hold of).
    QModelIndex clicked = item.isValid() ? item.siblingAtColumn(0) : item;
    if (!clicked.isValid() && !ListView1->selectionModel()->selectedRows().isEmpty())
        clicked = ListView1->selectionModel()->selectedRows().first();
    itmDrag = clicked;
}

void Form1::ListView1_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    blnDragging = true;
}

void Form1::ListView1_MouseMove(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    ApplyPointerRule(Pointer::Default);
    if (!blnDragging) return;
    itmUnder = RowAt(*ListView1, x, y);
    const int lngUnder = itmUnder.isValid() ? itmUnder.row() : -1;
    const int lngDrag = itmDrag.isValid() ? itmDrag.row() : -1;
    // Over the dragged row itself, or a row naming the same file, nothing trades places.
    if (lngUnder >= 0 && lngDrag >= 0 && !fileList->SamePath(lngUnder, lngDrag)) {
        fileList->ExchangeRows(lngDrag, lngUnder);
        ListView1->setCurrentIndex(itmUnder);
        itmDrag = itmUnder;
        // In the first or the last row the list shows, the list follows one row per exchange.
        const int lngScrollRow =
            AutoScrollRow(lngUnder + 1, fileList->RowCount(), VisibleRowsOf(*ListView1));
        if (lngScrollRow > 0) ListView1->scrollTo(fileList->index(lngScrollRow - 1, 0));
    }
    itmUnder = QPersistentModelIndex();
}

void Form1::ListView1_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    blnDragging = false;
    ListView1->SetMousePointer(Pointer::Arrow);
    // A row click switched the drop target off; files dropped onto the list are taken again.
    ListView1->SetDropTarget(true);
}

void Form1::ApplyPointerRule(Pointer::Value pointer) {
    // The hourglass of a folder add or a Reduce run stays until that operation ends.
    if (MousePointer() == Pointer::Hourglass) return;
    SetMousePointer(pointer);
}

void Form1::Check1_MouseMove() { ApplyPointerRule(Pointer::Custom); }

void Form1::Check2_MouseMove() { ApplyPointerRule(Pointer::Custom); }

void Form1::Check3_MouseMove() { ApplyPointerRule(Pointer::Custom); }

void Form1::Form_MouseMove() { ApplyPointerRule(Pointer::Default); }

void Form1::Label1_MouseMove() { ApplyPointerRule(Pointer::Default); }

void Form1::ProgressBar1_MouseDown() { ApplyPointerRule(Pointer::Default); }
