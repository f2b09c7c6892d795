// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/OutputNaming.h"

#include <cmath>
#include <limits>

#include "analysis/Rounding.h"
#include "filelist/FileNames.h"

namespace {

// The decimal number at the start of strPiece: an optional sign, digits and at most one decimal
// point; reading stops at the first character that cannot continue the number. False when the
// piece does not begin with a number (no digit before the stop).
bool LeadingNumber(const QString& strPiece, double& dblValue) {
    qsizetype lngPos = 0;
    QString strNumber;
    if (lngPos < strPiece.size() && (strPiece[lngPos] == u'+' || strPiece[lngPos] == u'-')) {
        strNumber += strPiece[lngPos];
        ++lngPos;
    }
    bool blnDigit = false;
    bool blnPoint = false;
    for (; lngPos < strPiece.size(); ++lngPos) {
        const QChar ch = strPiece[lngPos];
        if (ch >= u'0' && ch <= u'9') {
            blnDigit = true;
        } else if (ch == u'.' && !blnPoint) {
            blnPoint = true;
        } else {
            break;
        }
        strNumber += ch;
    }
    if (!blnDigit) return false;
    // A trailing point ("64.") is accepted by the reader below as well.
    bool blnOk = false;
    dblValue = strNumber.toDouble(&blnOk);
    return blnOk;
}

}  // namespace

int16_t BitrateFromMenuText(const QString& strMenuText) {
    // Split at every single blank: two adjacent blanks give an empty piece between them.
    const QStringList pieces = strMenuText.split(u' ', Qt::KeepEmptyParts);
    if (pieces.size() < 3) return 0;
    double dblValue = 0;
    if (!LeadingNumber(pieces[2], dblValue)) return 0;
    const double dblRounded = RoundHalfEven(dblValue);
    if (dblRounded < std::numeric_limits<int16_t>::min() ||
        dblRounded > std::numeric_limits<int16_t>::max()) {
        return 0;
    }
    return static_cast<int16_t>(dblRounded);
}

QByteArray PathBeforeLastDot(const QByteArray& btPath) {
    // "/" and "." are single bytes in every name, whatever encoding its other bytes are in.
    const qsizetype lngNameStart = btPath.lastIndexOf('/') + 1;
    const qsizetype lngDot = btPath.lastIndexOf('.');
    if (lngDot < lngNameStart) return btPath;
    return btPath.left(lngDot);
}

QByteArray OutputPath(const QByteArray& btInputPath, const QString& strMenuText) {
    return PathBeforeLastDot(btInputPath) + '_' +
           QByteArray::number(BitrateFromMenuText(strMenuText)) + "KBIT_REDUCED." + "mp3";
}

QString OutputPath(const QString& strInputPath, const QString& strMenuText) {
    return PathText(OutputPath(strInputPath.toUtf8(), strMenuText));
}

QString EncoderPath(const QString& strProgramFolder) {
    return strProgramFolder + QStringLiteral("/lame");
}

QStringList EncoderArguments(const QString& strEncoderPath, const QString& strInputPath,
                             const QString& strOutputPath, const QString& strMenuText,
                             int lngLayer) {
    return {strEncoderPath,
            QStringLiteral("-h"),
            QStringLiteral("-m"),
            QStringLiteral("s"),
            QStringLiteral("-b"),
            QString::number(BitrateFromMenuText(strMenuText)),
            strInputPath,
            strOutputPath,
            QStringLiteral("--mp%1input").arg(lngLayer)};
}
