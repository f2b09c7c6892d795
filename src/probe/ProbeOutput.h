// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lines kestrelund-info prints for one analysed file: a line for people, or one JSON object.

#include <string>
#include <string_view>

class MP3Info;

// Appends bytes as a JSON string literal (quotes included). Runs of valid UTF-8 are copied; '"',
// '\' and control characters are escaped; every byte that is not part of valid UTF-8 becomes
// \u00XX with the byte's value, so any path gives valid JSON.
void AppendJsonString(std::string& out, std::string_view bytes);

// Appends the shortest text that reads back as exactly the same double ("null" if not finite).
void AppendJsonNumber(std::string& out, double value);

// In both lines error is empty for a file the analysis accepted, and otherwise says why it was
// refused ("no such file", "not a valid MP3 file", ...).

// {"path":...,"valid":...,"FirstFrame":...,...,"IsVBR":...} and a newline; after "valid", an
// "error" with error when there is one.
void AppendJsonLine(std::string& out, std::string_view path, std::string_view error,
                    const MP3Info& info);

// "PATH: MPEG-1 Layer III, 128 kbps CBR, 44100 Hz, stereo, 4:22" or "PATH: no such file", and a
// newline.
void AppendHumanLine(std::string& out, std::string_view path, std::string_view error,
                     const MP3Info& info);

// The stream's version and layer: "MPEG-1 Layer III", "MPEG-2.5 Layer II".
std::string StreamKind(const MP3Info& info);

// Milliseconds as minutes and seconds, rounded to the nearest second (halves to even): "4:22".
std::string FormatDuration(double milliseconds);
