// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lines kestrelund-info prints for one analysed file: a line for people, or one JSON object.

#include <string>
#include <string_view>

class MP3Info;
struct FrameWalkResult;

// Appends bytes as a JSON string literal (quotes included). Runs of valid UTF-8 are copied; '"',
// '\' and control characters are escaped; every byte that is not part of valid UTF-8 becomes
// \udcXX with the byte's value (a lone surrogate, which valid UTF-8 never gives), so any path
// gives valid JSON and two different paths never give the same string.
void AppendJsonString(std::string& out, std::string_view bytes);

// Appends the shortest text that reads back as exactly the same double ("null" if not finite).
void AppendJsonNumber(std::string& out, double value);

// In both lines error is empty for a file the analysis accepted, and otherwise says why it was
// refused ("no such file", "not a valid MP3 file", ...).

// With counted (--count), the lines add what the frame walk found; a refused file's counted
// result is empty.

// {"path":...,"valid":...,"FirstFrame":...,...,"IsVBR":...} and a newline; after "valid", an
// "error" with error when there is one. With counted, after "IsVBR": "CountedFrames",
// "CountedSamples", "CountedDuration" (milliseconds), "TruncatedBytes", "SkippedBytes", and
// "FormatChange" ("sample rate", ...), "FormatChangeOffset", "FormatChangeAt" (milliseconds),
// all three null when the format does not change. A refused file's properties are all null but
// its FileSize, written when the analysis read the file (FileSize above 0) or emptyFile says it
// is a file of no bytes.
void AppendJsonLine(std::string& out, std::string_view path, std::string_view error,
                    const MP3Info& info, const FrameWalkResult* counted = nullptr,
                    bool emptyFile = false);

// "PATH: MPEG-1 Layer III, 128 kbps CBR, 44100 Hz, stereo, 4:22" or "PATH: no such file", and a
// newline. With counted, a valid file's line goes on "; counted 10024 frames, 4:21.851" and, when
// the format changes, "; the sample rate changes at 0:10".
void AppendHumanLine(std::string& out, std::string_view path, std::string_view error,
                     const MP3Info& info, const FrameWalkResult* counted = nullptr);

// Milliseconds as minutes, seconds and milliseconds, rounded to the millisecond: "4:21.851".
std::string FormatExactDuration(double milliseconds);

// The stream's version and layer: "MPEG-1 Layer III", "MPEG-2.5 Layer II".
std::string StreamKind(const MP3Info& info);

// Milliseconds as minutes and seconds, rounded to the nearest second (halves to even): "4:22".
std::string FormatDuration(double milliseconds);
