// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Synthesised MP3 data as a QByteArray, for the tests and benchmarks that write files through Qt.

#include <QByteArray>

#include "support/Mp3Synth.h"

namespace testsupport {

// lngFrames MPEG-1 Layer III frames, 44100 Hz, no padding, each a header FF FB x0 64 with bitrate
// index lngBitrateIndex (9: 128 kbps, 417 bytes a frame; 10: 160 kbps, 522 bytes; 14: 320 kbps,
// 1044 bytes) and zeros after it: a file the analysis admits, made without an encoder.
inline QByteArray Mp3Frames(int lngFrames, int lngBitrateIndex = 9) {
    synth::Header header;
    header.bitrate = lngBitrateIndex;
    const synth::Bytes bytes = synth::Frames(header, lngFrames);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

}  // namespace testsupport
