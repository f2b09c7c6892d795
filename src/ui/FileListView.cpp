// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FileListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "filelist/FileListModel.h"
#include "ui/PathDelegate.h"
#include "ui/PointerImage.h"

namespace {

int X(const QMouseEvent* event) { return qRound(event->position().x()); }
int Y(const QMouseEvent* event) { return qRound(event->position().y()); }

}  // namespace

FileListView::FileListView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    // Rows move only through the window's move handler, which scrolls by its own rule; the keyboard
    // brings its row into view itself (keyPressEvent).
    setAutoScroll(false);
    setDragEnabled(false);
    setDropIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    viewport()->setMouseTracking(true);
    setMouseTracking(true);
    SetDropTarget(true);
    // Long paths are shortened in the middle, so that the file name stays in view.
    setItemDelegateForColumn(FileListModel::kPathColumn, new PathDelegate(this));
    setTextElideMode(Qt::ElideMiddle);
}

void FileListView::SetDropTarget(bool blnOn) {
    setAcceptDrops(blnOn);
    viewport()->setAcceptDrops(blnOn);
}

bool FileListView::DropTarget() const { return viewport()->acceptDrops(); }

void FileListView::SetDragSource(bool blnOn) {
    blnDragSource = blnOn;
    setDragEnabled(blnOn);
}

void FileListView::SetMouseIcon(const QCursor& curIcon) {
    curMouseIcon = curIcon;
    blnHasMouseIcon = true;
    if (mousePointer == Pointer::Custom) SetMousePointer(Pointer::Custom);
}

void FileListView::ClearMouseIcon() {
    blnHasMouseIcon = false;
    if (mousePointer == Pointer::Custom) SetMousePointer(Pointer::Custom);
}

void FileListView::SetWindowBusy(bool blnBusy) {
    blnWindowBusy = blnBusy;
    ShowPointer();
}

void FileListView::SetMousePointer(Pointer::Value pointer) {
    mousePointer = pointer;
    ShowPointer();
}

void FileListView::ShowPointer() {
    if (blnWindowBusy && mousePointer != Pointer::Custom) {
        // Unset, the viewport shows the window's hourglass.
        viewport()->unsetCursor();
        return;
    }
    ShowPointerOn(*viewport(), mousePointer, blnHasMouseIcon, curMouseIcon);
}

void FileListView::mousePressEvent(QMouseEvent* event) {
    // The base class selects the row and reports it through itemPressed() first.
    QTreeView::mousePressEvent(event);
    emit mouseDown(event->button(), event->modifiers(), X(event), Y(event));
}

void FileListView::mouseMoveEvent(QMouseEvent* event) {
    // With a button held, the window's move handler reorders the rows and moves the selection
    // with the dragged file; the base class would select whatever row is under the pointer (or
    // start a drag of its own) behind its back.
    if (event->buttons() == Qt::NoButton) QTreeView::mouseMoveEvent(event);
    emit mouseMove(static_cast<Qt::MouseButton>(event->buttons().toInt()), event->modifiers(),
                   X(event), Y(event));
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    emit mouseUp(event->button(), event->modifiers(), X(event), Y(event));
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    emit doubleClick();
}

// Drag events skip the item-model drop logic of the base class: the window decides.
void FileListView::dragEnterEvent(QDragEnterEvent* event) { emit dragOver(event); }

void FileListView::dragMoveEvent(QDragMoveEvent* event) { emit dragOver(event); }

void FileListView::dragLeaveEvent(QDragLeaveEvent* event) { event->accept(); }

void FileListView::dropEvent(QDropEvent* event) { emit dragDrop(event); }

void FileListView::keyPressEvent(QKeyEvent* event) {
    emit keyDown(event->key(), event->modifiers());
    // Delete and Ctrl+Up/Down are the window's: they remove and move rows.
    const bool blnRowMove = (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) &&
                            (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
    if (event->key() == Qt::Key_Delete || blnRowMove) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
    // Without the base class's auto-scroll, a row the keyboard moved to could lie out of sight.
    if (event->isAccepted() && currentIndex().isValid()) scrollTo(currentIndex());
}

bool FileListView::event(QEvent* event) {
    const bool blnHandled = QTreeView::event(event);
    // With the keyboard focus, the list's frame is drawn in the highlight colour, so that the
    // focus shows even while the list is empty. (The viewport scrolls its pixels, so the mark
    // belongs on the frame around it.)
    if (event->type() == QEvent::Paint && hasFocus() && frameWidth() > 0) {
        QPainter painter(this);
        QPen pen(palette().color(QPalette::Highlight));
        pen.setWidth(frameWidth());
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        const qreal sngInset = frameWidth() / 2.0;
        painter.drawRect(QRectF(rect()).adjusted(sngInset, sngInset, -sngInset, -sngInset));
    } else if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        update();
    }
    return blnHandled;
}

bool FileListView::viewportEvent(QEvent* event) {
    // Over a row the tooltip is the row's own (its full path); elsewhere it is the list's hint.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const QModelIndex index = indexAt(help->pos()); index.isValid()) {
            QToolTip::showText(help->globalPos(), index.data(Qt::ToolTipRole).toString(),
                               viewport(), visualRect(index));
        } else if (toolTip().isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), toolTip(), viewport());
        }
        return true;
    }
    return QTreeView::viewportEvent(event);
}
