// SPDX-License-Identifier: GPL-3.0-or-later
#include "reduce/LengthVerdict.h"

#include <cmath>
#include <cstdint>

namespace {

// How far an output's length, its frames counted, may lie from its clean source's: the encoder's
// own delay and padding, which do not grow with the length. Measured with
// bench/reduce/length_gap.sh: 13.4 ms shorter to 192 ms longer over 1,734 encodes.
constexpr LengthBound kLengthBound{40.0, 288.0};

// Audio in other formats beyond this is refused before the encode.
constexpr double kOtherFormatLimit = 1000.0;

// "the sample rate changes at 0:10", for the first frame in another format.
QString Changes(const FormatChange& change) {
    return QStringLiteral("the %1 changes at %2")
        .arg(QString::fromLatin1(FormatChangeName(change.kind)), Clock(change.dblMilliseconds));
}

}  // namespace

LengthBound OutputLengthBound() { return kLengthBound; }

double OtherFormatLimit() { return kOtherFormatLimit; }

LengthBound OutputLengthBound(const FrameWalkResult& source) {
    const double dblFrame = source.lngMainFrames > 0 ? source.dblMainMilliseconds /
                                                           static_cast<double>(source.lngMainFrames)
                                                     : 0.0;
    const auto lngSeams = static_cast<double>(source.lngSeams);
    const auto lngResyncs = static_cast<double>(source.lngResyncs);
    const double dblCut = source.lngTruncatedBytes > 0 ? 1.0 : 0.0;
    return {kLengthBound.dblBelow + dblFrame * (lngSeams + 2.0 * lngResyncs),
            kLengthBound.dblAbove + dblFrame * (lngSeams + dblCut)};
}

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
    if (source.firstForeign && source.dblOtherMilliseconds > kOtherFormatLimit) {
        return Changes(*source.firstForeign) +
               QStringLiteral("; %1 of the audio is in another format")
                   .arg(Clock(source.dblOtherMilliseconds));
    }
    return {};
}

Failure JudgeOutputLength(const FrameWalkResult& source, const FrameWalkResult& output) {
    const LengthBound bound = OutputLengthBound(source);
    const double dblGap = output.dblMilliseconds - source.dblMainMilliseconds;
    if (dblGap < -bound.dblBelow && source.firstForeign) {
        // The encoder stopped where the stream went into another format.
        return Changes(*source.firstForeign) +
               QStringLiteral("; the encoder kept only %1 of %2")
                   .arg(Clock(output.dblMilliseconds), Clock(source.dblMainMilliseconds));
    }
    if (dblGap < -bound.dblBelow || dblGap > bound.dblAbove) {
        return QStringLiteral("the output does not match the source's length");
    }
    return {};
}
