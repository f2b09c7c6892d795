// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The order in which a folder's names are listed, as file managers show them: by the locale's
// collation, letter case ignored, runs of digits compared by their value ("2" before "10"), and
// names that still compare equal ("a.mp3", "A.mp3") by their bytes, so the order is total. Under
// the C locale, which has no collation, letters are compared by their case-folded code points and
// digits still by value.

#include <QCollator>
#include <QLocale>
#include <QStringList>
#include <QStringView>

class NameOrder {
  public:
    explicit NameOrder(const QLocale& locale = QLocale());

    // Negative when strA comes before strB, positive when after, 0 only for the same name.
    int Compare(QStringView strA, QStringView strB) const;
    bool operator()(QStringView strA, QStringView strB) const { return Compare(strA, strB) < 0; }

    // Sorts the names of one folder into this order.
    void Sort(QStringList& strNames) const;

  private:
    QCollator collator;
    bool blnCollate;  // false under the C locale
};
