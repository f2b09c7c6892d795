// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/CaptionButton.h"

#include <QIcon>
#include <QKeyEvent>
#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace {

constexpr int kPicture = 32;  // picture size in pixels
constexpr int kGap = 3;       // between picture and caption
constexpr int kMargin = 4;    // inside the button's frame

}  // namespace

CaptionButton::CaptionButton(const QString& caption, const QString& picture, QWidget* parent)
    : QToolButton(parent) {
    setText(caption);
    setIcon(QIcon(picture));
    setIconSize(QSize(kPicture, kPicture));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setCheckable(true);
    setAutoRaise(false);
    setAccessibleName(caption);
}

namespace {

bool IsEnter(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// The same key event for Space, which the button answers by itself.
QKeyEvent AsSpace(const QKeyEvent* event) {
    return QKeyEvent(event->type(), Qt::Key_Space, event->modifiers(), QStringLiteral(" "),
                     event->isAutoRepeat(), static_cast<quint16>(event->count()));
}

}  // namespace

// Return and Enter press the focused button exactly as Space does: down on the press, the click
// (which checks it and so runs its handler) on the release.
void CaptionButton::keyPressEvent(QKeyEvent* event) {
    if (!IsEnter(event)) return QToolButton::keyPressEvent(event);
    QKeyEvent space = AsSpace(event);
    QToolButton::keyPressEvent(&space);
    event->setAccepted(space.isAccepted());
}

void CaptionButton::keyReleaseEvent(QKeyEvent* event) {
    if (!IsEnter(event)) return QToolButton::keyReleaseEvent(event);
    QKeyEvent space = AsSpace(event);
    QToolButton::keyReleaseEvent(&space);
    event->setAccepted(space.isAccepted());
}

void CaptionButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);

    // The frame and background come from the style; picture and caption are drawn here so that
    // the caption can wrap.
    const QString caption = option.text;
    const QIcon icon = option.icon;
    option.text.clear();
    option.icon = QIcon();
    painter.drawComplexControl(QStyle::CC_ToolButton, option);

    QRect rctInner = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (isDown() || isChecked()) {
        rctInner.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                           style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    }
    const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    const QRect rctText = painter.fontMetrics().boundingRect(
        QRect(0, 0, rctInner.width(), rctInner.height()), flags, caption);
    const int block = kPicture + kGap + rctText.height();
    const int top = rctInner.top() + qMax(0, (rctInner.height() - block) / 2);

    const QRect rctPicture(rctInner.center().x() - kPicture / 2 + 1, top, kPicture, kPicture);
    if (!icon.isNull()) {
        icon.paint(&painter, rctPicture, Qt::AlignCenter,
                   isEnabled() ? QIcon::Normal : QIcon::Disabled);
    }
    const QRect rctCaption(rctInner.left(), rctPicture.bottom() + 1 + kGap, rctInner.width(),
                           rctInner.bottom() - rctPicture.bottom() - kGap);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(rctCaption, flags, caption);
}
