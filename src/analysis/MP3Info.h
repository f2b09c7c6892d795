#pragma once
// MP3 file analysis: decides whether a file holds a run of MPEG audio frames near its start and
// reports the file's properties. One object serves any number of files in turn; every call of
// ReadMP3Info starts from a clean state.

#include <cstdint>
#include <string>

class MP3Info {
public:
    MP3Info();

    // Analyses the file at strPath (UTF-8 bytes, any path the file system accepts). True when a
    // confirmed first frame was found and the properties below were computed. False when the file
    // cannot be opened, holds no confirmed frame within the search window, or holds malformed data;
    // then every property is zero except FileSize (set once the file could be opened).
    bool ReadMP3Info(const std::string& strPath);

    int32_t FirstFrame() const { return lngFirstFrame; }
    double Duration() const { return dblDuration; }  // milliseconds, not rounded
    int32_t Channels() const { return lngChannels; }
    int32_t Samplerate() const { return lngSamplerate; }
    int32_t Bitrate() const { return lngBitrate; }  // bits per second
    int32_t FileSize() const { return lngFileSize; }
    int32_t MpegBytes() const { return lngMpegBytes; }
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
    int32_t lngFirstFrame = 0;
    double dblDuration = 0;
    int32_t lngChannels = 0;
    int32_t lngSamplerate = 0;
    int32_t lngBitrate = 0;
    int32_t lngFileSize = 0;
    int32_t lngMpegBytes = 0;
    int32_t lngFrames = 0;
    int32_t lngLayer = 0;
    float sngMpegVersion = 0;
    bool blnCopyrightBit = false;
    bool blnOriginalBit = false;
    bool blnPrivateBit = false;
    bool blnProtected = false;
    bool blnEmphasis = false;
    bool blnIsVBR = false;
};
