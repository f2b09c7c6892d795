// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/NameOrder.h"

#include <algorithm>

namespace {

// The code point at strText[i], surrogate pairs joined; i moves past it.
char32_t NextCodePoint(QStringView strText, qsizetype& i) {
    const QChar c = strText[i++];
    if (c.isHighSurrogate() && i < strText.size() && strText[i].isLowSurrogate())
        return QChar::surrogateToUcs4(c, strText[i++]);
    return c.unicode();
}

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Compares the digit runs starting at strA[i] and strB[j] by value; i and j move past them.
int CompareNumbers(QStringView strA, qsizetype& i, QStringView strB, qsizetype& j) {
    const auto run = [](QStringView strText, qsizetype& k) {
        while (k < strText.size() && strText[k] == u'0') ++k;  // leading zeros carry no value
        const qsizetype lngStart = k;
        while (k < strText.size() && IsAsciiDigit(strText[k])) ++k;
        return strText.sliced(lngStart, k - lngStart);
    };
    const QStringView strDigitsA = run(strA, i);
    const QStringView strDigitsB = run(strB, j);
    // Without leading zeros, the longer run is the larger number.
    if (strDigitsA.size() != strDigitsB.size())
        return strDigitsA.size() < strDigitsB.size() ? -1 : 1;
    return strDigitsA.compare(strDigitsB);
}

// The C locale's order: case-folded code points, digit runs by value.
int CompareFolded(QStringView strA, QStringView strB) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < strA.size() && j < strB.size()) {
        if (IsAsciiDigit(strA[i]) && IsAsciiDigit(strB[j])) {
            if (const int lngOrder = CompareNumbers(strA, i, strB, j); lngOrder != 0)
                return lngOrder;
            continue;
        }
        const char32_t a = QChar::toCaseFolded(NextCodePoint(strA, i));
        const char32_t b = QChar::toCaseFolded(NextCodePoint(strB, j));
        if (a != b) return a < b ? -1 : 1;
    }
    if (i < strA.size()) return 1;
    return j < strB.size() ? -1 : 0;
}

// Code point order, which is the order of the names' UTF-8 bytes.
int CompareBytes(QStringView strA, QStringView strB) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < strA.size() && j < strB.size()) {
        const char32_t a = NextCodePoint(strA, i);
        const char32_t b = NextCodePoint(strB, j);
        if (a != b) return a < b ? -1 : 1;
    }
    if (i < strA.size()) return 1;
    return j < strB.size() ? -1 : 0;
}

}  // namespace

NameOrder::NameOrder(const QLocale& locale)
    : collator(locale), blnCollate(locale.language() != QLocale::C) {
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setIgnorePunctuation(false);
}

int NameOrder::Compare(QStringView strA, QStringView strB) const {
    const int lngOrder = blnCollate ? collator.compare(strA, strB) : CompareFolded(strA, strB);
    if (lngOrder != 0) return lngOrder;
    return CompareBytes(strA, strB);
}

void NameOrder::Sort(QStringList& strNames) const {
    if (strNames.size() < 2) return;
    std::sort(strNames.begin(), strNames.end(), *this);
}
