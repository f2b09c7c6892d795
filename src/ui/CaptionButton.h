#pragma once
// The window's large buttons: a checkable tool button with a 32 by 32 picture above a caption
// that wraps onto a second line when it is wider than the button.

#include <QToolButton>

class CaptionButton : public QToolButton {
    Q_OBJECT

  public:
    CaptionButton(const QString& caption, const QString& picture, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
