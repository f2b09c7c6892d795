// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/LengthVerdict.h"

#include <cmath>
#include <cstdint>

namespace {

// How far an output's length, its frames counted, may lie from its source's: the encoder's own
// delay and padding, which do not grow with the length. Measured with bench/reduce/length_gap.sh.
constexpr LengthBound kLengthBound{40.0, 288.0};

QString ChangeReason(const FormatChange& change) {
    return QStringLiteral("the %1 changes at %2; the encoder would stop there")
        .arg(QString::fromLatin1(FormatChangeName(change.kind)), Clock(change.dblMilliseconds));
}

}  // namespace

LengthBound OutputLengthBound() { return kLengthBound; }

QString Clock(double dblMilliseconds) {
    const auto lngSeconds = static_cast<int64_t>(std::floor(dblMilliseconds / 1000.0));
    const QString strSeconds = QStringLiteral("%1").arg(lngSeconds % 60, 2, 10, QChar('0'));
    if (lngSeconds < 3600) return QStringLiteral("%1:%2").arg(lngSeconds / 60).arg(strSeconds);
    return QStringLiteral("%1:%2:%3")
        .arg(lngSeconds / 3600)
        .arg(lngSeconds / 60 % 60, 2, 10, QChar('0'))
        .arg(strSeconds);
}

Failure RefuseBeforeEncoding(const FrameWalkResult& source) {
    if (source.change) return ChangeReason(*source.change);
    return {};
}

Failure JudgeOutputLength(const FrameWalkResult& source, const FrameWalkResult& output) {
    const double dblGap = output.dblMilliseconds - source.dblMilliseconds;
    if (dblGap < -kLengthBound.dblBelow || dblGap > kLengthBound.dblAbove) {
        return QStringLiteral("the output does not match the source's length");
    }
    return {};
}
