// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/NameOrder.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "filelist/FileNames.h"

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

// The order of the bytes themselves, each taken as unsigned; for names that are UTF-8 this is
// the order of their code points.
int CompareBytes(const QByteArray& btA, const QByteArray& btB) {
    const auto lngCommon = static_cast<std::size_t>(std::min(btA.size(), btB.size()));
    if (const int lngOrder = std::memcmp(btA.constData(), btB.constData(), lngCommon))
        return lngOrder < 0 ? -1 : 1;
    if (btA.size() == btB.size()) return 0;
    return btA.size() < btB.size() ? -1 : 1;
}

}  // namespace

NameOrder::NameOrder(const QLocale& locale)
    : collator(locale), blnCollate(locale.language() != QLocale::C) {
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setIgnorePunctuation(false);
}

int NameOrder::CompareText(QStringView strA, QStringView strB) const {
    return blnCollate ? collator.compare(strA, strB) : CompareFolded(strA, strB);
}

int NameOrder::Compare(const QByteArray& btA, const QByteArray& btB) const {
    if (const int lngOrder = CompareText(PathText(btA), PathText(btB)); lngOrder != 0)
        return lngOrder < 0 ? -1 : 1;
    return CompareBytes(btA, btB);
}

void NameOrder::Sort(QByteArrayList& btNames) const {
    if (btNames.size() < 2) return;
    struct Name {
        QString strText;
        QByteArray btName;
    };
    std::vector<Name> names;
    names.reserve(static_cast<std::size_t>(btNames.size()));
    for (QByteArray& btName : btNames) names.push_back({PathText(btName), std::move(btName)});
    std::sort(names.begin(), names.end(), [this](const Name& a, const Name& b) {
        const int lngOrder = CompareText(a.strText, b.strText);
        return lngOrder != 0 ? lngOrder < 0 : CompareBytes(a.btName, b.btName) < 0;
    });
    for (std::size_t i = 0; i < names.size(); ++i)
        btNames[static_cast<qsizetype>(i)] = std::move(names[i].btName);
}
