// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PathDelegate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

QString ElidePath(const QString& strPath, const QFontMetrics& fm, int lngWidth) {
    if (fm.horizontalAdvance(strPath) <= lngWidth) return strPath;
    const qsizetype lngName = strPath.lastIndexOf(u'/');
    if (lngName < 0) return fm.elidedText(strPath, Qt::ElideMiddle, lngWidth);
    const QString strEllipsis(QChar(0x2026));
    const QString strTail = strEllipsis + strPath.mid(lngName);  // "…/03 Song.mp3"
    // The longest run of leading folders that leaves room for the name.
    for (qsizetype lngCut = lngName > 0 ? strPath.lastIndexOf(u'/', lngName - 1) : -1; lngCut >= 0;
         lngCut = lngCut > 0 ? strPath.lastIndexOf(u'/', lngCut - 1) : -1) {
        const QString strShort = strPath.left(lngCut + 1) + strTail;
        if (fm.horizontalAdvance(strShort) <= lngWidth) return strShort;
    }
    if (fm.horizontalAdvance(strTail) <= lngWidth) return strTail;
    return fm.elidedText(strPath.mid(lngName + 1), Qt::ElideMiddle, lngWidth);
}

void PathDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The style draws the text inside the text rectangle less a margin on either side.
    const int lngMargin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect rctText = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    opt.text = ElidePath(opt.text, QFontMetrics(opt.font), rctText.width() - 2 * lngMargin - 1);
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}
