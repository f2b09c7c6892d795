// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MenuTypeAhead.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>

#include "reduce/OutputNaming.h"

int MenuIndexForDigits(const QStringList& strEntries, const QString& strDigits) {
    if (strDigits.isEmpty()) return -1;
    for (int i = 0; i < strEntries.size(); ++i) {
        const int intKbps = BitrateFromMenuText(strEntries[i]);
        if (intKbps > 0 && QString::number(intKbps).startsWith(strDigits)) return i;
    }
    return -1;
}

MenuTypeAhead::MenuTypeAhead(QComboBox* combo) : QObject(combo), combo(combo) {
    combo->installEventFilter(this);
}

bool MenuTypeAhead::eventFilter(QObject* watched, QEvent* event) {
    if (watched != combo || event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString strKey = key->text();
    if (strKey.size() != 1 || !strKey[0].isDigit() ||
        (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    if (!lastDigit.isValid() || lastDigit.elapsed() > QApplication::keyboardInputInterval())
        strTyped.clear();
    lastDigit.start();
    QStringList strEntries;
    for (int i = 0; i < combo->count(); ++i) strEntries << combo->itemText(i);
    int intIndex = MenuIndexForDigits(strEntries, strTyped + strKey);
    if (intIndex >= 0) {
        strTyped += strKey;
    } else {
        strTyped = strKey;
        intIndex = MenuIndexForDigits(strEntries, strTyped);
    }
    if (intIndex >= 0) combo->setCurrentIndex(intIndex);
    return true;
}
