// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file list control: a two-column view ("MP3 File(s)", "Bitrate") over the file list's model,
// shown as a flat list. It owns no logic of its own; it turns its viewport's mouse, double-click
// and drag/drop events and its key presses into signals that the window connects to its handlers,
// and it keeps the list's own pointer value. It shows long paths shortened in the middle
// (PathDelegate), a row's tooltip (its full path, and a name's bytes written out when they are not
// UTF-8), and its keyboard focus on its frame. A row that the keyboard makes current is scrolled
// into view.

#include <QCursor>
#include <QTreeView>

#include "common/Pointer.h"

class QDragMoveEvent;
class QDropEvent;

class FileListView : public QTreeView {
    Q_OBJECT

  public:
    explicit FileListView(QWidget* parent = nullptr);

    // Whether dropped files are taken (the list's drop target). On from the start.
    void SetDropTarget(bool blnOn);
    bool DropTarget() const;

    // Whether rows can be dragged out of the list by the platform's drag and drop. Off: rows are
    // reordered by the window's own move handler instead.
    void SetDragSource(bool blnOn);
    bool DragSource() const { return blnDragSource; }

    // The list's own pointer, separate from the window's: 0 default, 1 arrow, 11 hourglass,
    // 99 the custom image set by SetMouseIcon (a pointing hand while none is set).
    void SetMousePointer(Pointer::Value pointer);
    Pointer::Value MousePointer() const { return mousePointer; }
    void SetMouseIcon(const QCursor& curIcon);
    void ClearMouseIcon();
    bool HasMouseIcon() const { return blnHasMouseIcon; }

    // While the window shows the hourglass, the list shows it too instead of its own arrow or
    // default pointer; the drag image (99) still shows while a row is being dragged. The list's
    // pointer value is not changed by this.
    void SetWindowBusy(bool blnBusy);

  signals:
    // Positions are in the list's row coordinates (what indexAt() takes). For mouseMove, button
    // carries the buttons held during the move.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void mouseMove(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void doubleClick();
    // A key pressed while the list has the keyboard focus, before the list moves its selection.
    // Delete, Ctrl+Up and Ctrl+Down go no further than this.
    void keyDown(int intKeyCode, Qt::KeyboardModifiers shift);
    // Delivered synchronously: the receiver accepts or ignores the event itself.
    void dragOver(QDragMoveEvent* event);
    void dragDrop(QDropEvent* event);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

  private:
    void ShowPointer();

    Pointer::Value mousePointer = Pointer::Default;
    bool blnWindowBusy = false;
    bool blnDragSource = false;
    QCursor curMouseIcon;
    bool blnHasMouseIcon = false;
};
