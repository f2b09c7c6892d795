// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MP3 file analysis: decides whether a file holds a run of MPEG audio frames near its start and
// reports the file's properties. One object serves any number of files in turn; every call of
// ReadMP3Info starts from a clean state.

#include <cstdint>
#include <string>

#include "analysis/ByteSource.h"
#include "analysis/FrameHeader.h"
#include "analysis/FrameSearch.h"
#include "analysis/VbrHeaders.h"

class MP3Info {
  public:
    MP3Info();

    // Analyses the file at strPath (UTF-8 bytes, any path the file system accepts). True when a
    // confirmed first frame was found and the properties below were computed. False when the file
    // cannot be opened, holds no confirmed frame within the search window, or holds malformed data;
    // then every property is zero except FileSize (set once the file could be opened).
    // Only regular files are analysed, of any size: sizes and offsets are 64-bit.
    bool ReadMP3Info(const std::string& strPath);
    // The same for strPath taken relative to the folder open as the descriptor folderFd (as
    // openat takes it; AT_FDCWD is the working folder). A caller with many files in one folder
    // saves the lookup of the folder's path for each of them.
    bool ReadMP3Info(int folderFd, const std::string& strPath);
    // The same for bytes the caller reads for it: an open file it holds (FileSource), so that
    // the file analysed is the one the caller goes on to use, whatever its name names meanwhile.
    bool ReadMP3Info(ByteSource& source);

    int64_t FirstFrame() const { return lngFirstFrame; }
    double Duration() const { return dblDuration; }  // milliseconds, not rounded
    int32_t Channels() const { return lngChannels; }
    int32_t Samplerate() const { return lngSamplerate; }
    int32_t Bitrate() const { return lngBitrate; }  // bits per second
    int64_t FileSize() const { return lngFileSize; }
    int64_t MpegBytes() const { return lngMpegBytes; }
    int32_t Frames() const { return lngFrames; }
    int32_t Layer() const { return lngLayer; }
    float MpegVersion() const { return sngMpegVersion; }
    bool CopyrightBit() const { return blnCopyrightBit; }
    bool OriginalBit() const { return blnOriginalBit; }
    bool PrivateBit() const { return blnPrivateBit; }
    bool Protected() const { return blnProtected; }
    bool Emphasis() const { return blnEmphasis; }
    bool IsVBR() const { return blnIsVBR; }

  private:
    int64_t lngFirstFrame = 0;
    double dblDuration = 0;
    int32_t lngChannels = 0;
    int32_t lngSamplerate = 0;
    int32_t lngBitrate = 0;
    int64_t lngFileSize = 0;
    int64_t lngMpegBytes = 0;
    int32_t lngFrames = 0;
    int32_t lngLayer = 0;
    float sngMpegVersion = 0;
    bool blnCopyrightBit = false;
    bool blnOriginalBit = false;
    bool blnPrivateBit = false;
    bool blnProtected = false;
    bool blnEmphasis = false;
    bool blnIsVBR = false;

    friend class MP3InfoSource;  // in-memory analysis for the fuzzer and tests

    void Reset();
    bool Analyse(ByteSource& source);
    // Runs the search over the windows it asks for; true when it found the first frame.
    bool FindFirstFrame(ByteSource& source);
    bool FindID3v1(ByteSource& source);
    void AnalyseFirstFrame(int64_t lngFirst, int32_t lngLength, int64_t lngFileSize,
                           bool blnTrailingTag);

    FrameSearch search;  // holds the bytes it searched, the first frame's among them
    int32_t lngFrameLength = 0;
    VbrHeaders vbr;  // VbrKind, HasInfoHeader and the parsed Xing, Info and Vbri headers
};
