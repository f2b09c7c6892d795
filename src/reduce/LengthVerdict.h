// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How long an output must last, judged from what the encoder keeps of its source. The encoder
// decodes the source as the frames in its first audio frame's format; it drops a last frame cut
// short, and frames in another format (or stops at them); where it resyncs it may lose a frame or
// two. The expected length is therefore the frames in the first format, a cut last frame not
// counted, and each seam between formats and each resync allows its own shortfall; the encoder's
// own delay and padding make an output somewhat longer. A source with more audio in other formats
// than kOtherFormatLimit is refused before its encode, since the encoder would drop it; an output
// that came out far shorter than expected means the encoder stopped at another format.

#include <optional>

#include "analysis/FrameWalk.h"
#include "reduce/Failure.h"

// The gap, in milliseconds, that an output's length (its frames counted) may lie from the length
// expected of it, for a clean source: the encoder's own delay and padding.
struct LengthBound {
    double dblBelow;  // the output may be this much shorter
    double dblAbove;  // or this much longer
};
LengthBound OutputLengthBound();

// The reason a source is refused before its encode (audio the encoder would drop), or none.
Failure RefuseBeforeEncoding(const FrameWalkResult& source);

// The reason an output is refused for its length against its source's, or none.
Failure JudgeOutputLength(const FrameWalkResult& source, const FrameWalkResult& output);

// "0:10", "1:02:03": the whole seconds of dblMilliseconds.
QString Clock(double dblMilliseconds);
