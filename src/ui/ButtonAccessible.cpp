// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ButtonAccessible.h"

#include <QAccessibleWidget>

#include "ui/CaptionButton.h"

namespace {

class ButtonAccessible : public QAccessibleWidget {
  public:
    explicit ButtonAccessible(CaptionButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {
        addControllingSignal(QStringLiteral("clicked(bool)"));
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            const QString strName = widget()->accessibleName();
            return strName.isEmpty() ? Button()->text() : strName;
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        // Pressed only while held down; never checkable or checked.
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = false;
        state.checked = false;
        state.pressed = Button()->isDown();
        return state;
    }

    QStringList actionNames() const override {
        QStringList strActions = QAccessibleWidget::actionNames();  // "SetFocus"
        if (Button()->isEnabled()) strActions.prepend(pressAction());
        return strActions;
    }

    void doAction(const QString& strAction) override {
        // A click, as the mouse gives it: the button's handler acts and lets it spring back. The
        // click is queued, as Qt's own buttons do, so the press returns to the screen reader at
        // once rather than after a dialog or a whole Reduce run.
        if (strAction == pressAction()) {
            if (Button()->isEnabled()) Button()->animateClick();
            return;
        }
        QAccessibleWidget::doAction(strAction);
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    CaptionButton* Button() const { return static_cast<CaptionButton*>(widget()); }
};

QAccessibleInterface* ButtonAccessibleFactory(const QString&, QObject* object) {
    if (auto* button = qobject_cast<CaptionButton*>(object)) return new ButtonAccessible(button);
    // The main window is announced as the window (frame) it is, not as a plain filler.
    if (auto* widget = qobject_cast<QWidget*>(object);
        widget != nullptr && widget->isWindow() && widget->inherits("Form1"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

}  // namespace

void InstallButtonAccessible() {
    static const bool blnInstalled = [] {
        QAccessible::installFactory(ButtonAccessibleFactory);
        return true;
    }();
    (void)blnInstalled;
}
