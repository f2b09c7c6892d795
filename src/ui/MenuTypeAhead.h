// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Picking a bitrate menu entry by typing its number: "6" gives "Reduce to 64 kbps", "1" then "9"
// then "2" gives "Reduce to 192 kbps", as the menu's own type-ahead would if the entries began
// with their numbers. The entries' texts stay as they are.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

class QComboBox;

// The first entry whose kbps number starts with strDigits, or -1 when none does.
int MenuIndexForDigits(const QStringList& strEntries, const QString& strDigits);

// Watches a menu's keys: digits typed within the keyboard input interval of each other add up to
// one number; a digit that no entry's number continues starts a new one.
class MenuTypeAhead : public QObject {
  public:
    explicit MenuTypeAhead(QComboBox* combo);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QComboBox* combo;
    QString strTyped;
    QElapsedTimer lastDigit;
};
