// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MessageFit.h"

#include <QFontMetrics>

QString WithPathBreaks(const QString& strText) {
    constexpr QChar kZeroWidthSpace(0x200B);
    constexpr QChar kNoBreakSpace(0x00A0);
    QString strOut;
    strOut.reserve(strText.size() + strText.size() / 8);
    bool blnPathLine = strText.startsWith(u'/');
    for (qsizetype i = 0; i < strText.size(); ++i) {
        const QChar c = strText[i];
        // In a line that is a path, a space belongs to a name and is no place to break.
        strOut += blnPathLine && c == u' ' ? kNoBreakSpace : c;
        if (c == u'\n') blnPathLine = strText.sliced(i + 1).startsWith(u'/');
        if (c == u'/' && i + 1 < strText.size() && !strText[i + 1].isSpace() &&
            strText[i + 1] != u'/')
            strOut += kZeroWidthSpace;
    }
    return strOut;
}

int MessageTextWidth(const QFontMetrics& fmText, const QFontMetrics& fmTitle,
                     const QString& strTitle, const QStringList& strTexts, int lngMaxWidth) {
    int lngWidest = 0;
    for (const QString& strText : strTexts) {
        for (const QString& strLine : strText.split(u'\n'))
            lngWidest = qMax(lngWidest, fmText.horizontalAdvance(strLine) + 1);
    }
    return qMax(qMin(lngWidest, lngMaxWidth),
                fmTitle.horizontalAdvance(strTitle) + kTitleBarChrome);
}
