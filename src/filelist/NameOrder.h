// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The order in which a folder's names are listed, as file managers show them: the names are the
// file system's bytes, compared by their text (decoded as UTF-8, U+FFFD for bytes that are not)
// through the locale's collation, letter case ignored, runs of digits compared by their value
// ("2" before "10"), and names that still compare equal ("a.mp3", "A.mp3", or two names whose
// bytes show as the same text) by their bytes, so the order is total. Under the C locale, which has
// no collation, letters are compared by their case-folded code points and digits still by value.

#include <QByteArray>
#include <QByteArrayList>
#include <QCollator>
#include <QLocale>
#include <QStringView>

class NameOrder {
  public:
    explicit NameOrder(const QLocale& locale = QLocale());

    // Negative when btA comes before btB, positive when after, 0 only for the same name.
    int Compare(const QByteArray& btA, const QByteArray& btB) const;

    // Sorts the names of one folder into this order; each name is decoded once.
    void Sort(QByteArrayList& btNames) const;

  private:
    // The order of two names' texts alone; 0 for texts the locale does not tell apart.
    int CompareText(QStringView strA, QStringView strB) const;

    QCollator collator;
    bool blnCollate;  // false under the C locale
};
