// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's large buttons: a checkable tool button with a 32 by 32 picture above a caption
// that wraps onto a second line when it is wider than the button. Return and Enter press it as
// Space does; its caption is its accessible name.

#include <QToolButton>

class CaptionButton : public QToolButton {
    Q_OBJECT

  public:
    CaptionButton(const QString& caption, const QString& picture, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};
