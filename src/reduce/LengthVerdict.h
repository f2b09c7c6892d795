// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How long an output must last, judged from what the encoder keeps of its source, as measured
// against the encoder's own decoder (bench/reduce/lame_model.sh). The encoder keeps the frames in
// its source's first audio frame's format: it drops frames in another format (a frame more or
// less at each seam) or, depending on their bytes, stops at them; where it loses the frames and
// finds them again it may lose up to two; a last frame cut short it drops, or decodes when little
// of it is missing. The expected length is therefore the frames in the first format, a cut last
// frame not counted; each seam, each resync and a cut last frame widen the bound by the frames
// they may take or add; the encoder's own delay and padding make an output somewhat longer. A
// source with more audio in other formats than OtherFormatLimit() is refused before its encode,
// since the encoder would drop it; an output far shorter than expected from a source with audio
// in another format means the encoder stopped there.

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

// The most audio in other formats than the first, in milliseconds, that a source may hold.
double OtherFormatLimit();

// The bound for an output of source: OutputLengthBound(), below widened by one frame of the first
// format for each seam between formats and two for each resync, above by one for each seam and
// for a last frame cut short.
LengthBound OutputLengthBound(const FrameWalkResult& source);

// The reason a source is refused before its encode (audio the encoder would drop), or none.
Failure RefuseBeforeEncoding(const FrameWalkResult& source);

// The reason an output is refused for its length against its source's, or none.
Failure JudgeOutputLength(const FrameWalkResult& source, const FrameWalkResult& output);

// "0:10", "1:02:03": the whole seconds of dblMilliseconds.
QString Clock(double dblMilliseconds);
