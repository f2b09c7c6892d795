#include "probe/ProbeOutput.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "analysis/MP3Info.h"
#include "analysis/Rounding.h"

namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendEscapedByte(std::string& strOut, unsigned char bytValue) {
    strOut += "\\u00";
    strOut += kHex[bytValue >> 4];
    strOut += kHex[bytValue & 15];
}

bool IsContinuation(unsigned char bytValue) { return (bytValue & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence at the start of strBytes (2 to 4), or 0 when the bytes there
// do not form one: overlong forms, surrogates and values past U+10FFFF are not valid.
size_t Utf8SequenceLength(std::string_view strBytes) {
    const auto at = [&](size_t i) { return static_cast<unsigned char>(strBytes[i]); };
    const unsigned char b0 = at(0);
    size_t lngLen = 0;
    unsigned char bytLow = 0x80;
    unsigned char bytHigh = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        lngLen = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        lngLen = 3;
        if (b0 == 0xE0) bytLow = 0xA0;   // overlong
        if (b0 == 0xED) bytHigh = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        lngLen = 4;
        if (b0 == 0xF0) bytLow = 0x90;   // overlong
        if (b0 == 0xF4) bytHigh = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (strBytes.size() < lngLen) return 0;
    if (at(1) < bytLow || at(1) > bytHigh) return 0;
    for (size_t i = 2; i < lngLen; ++i) {
        if (!IsContinuation(at(i))) return 0;
    }
    return lngLen;
}

void AppendInt(std::string& strOut, int64_t lngValue) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, lngValue);
    strOut.append(buffer, result.ptr);
}

void AppendBool(std::string& strOut, bool blnValue) { strOut += blnValue ? "true" : "false"; }

}  // namespace

void AppendJsonString(std::string& strOut, std::string_view strBytes) {
    strOut += '"';
    size_t i = 0;
    while (i < strBytes.size()) {
        // Printable ASCII other than '"' and '\' is copied as it is, a whole run at a time.
        size_t lngRun = i;
        while (lngRun < strBytes.size()) {
            const unsigned char bytPlain = static_cast<unsigned char>(strBytes[lngRun]);
            if (bytPlain < 0x20 || bytPlain >= 0x7F || bytPlain == '"' || bytPlain == '\\') break;
            ++lngRun;
        }
        strOut.append(strBytes.data() + i, lngRun - i);
        i = lngRun;
        if (i == strBytes.size()) break;
        const unsigned char bytValue = static_cast<unsigned char>(strBytes[i]);
        if (bytValue >= 0x80) {
            const size_t lngLen = Utf8SequenceLength(strBytes.substr(i));
            if (lngLen == 0) {
                AppendEscapedByte(strOut, bytValue);
                ++i;
            } else {
                strOut.append(strBytes.substr(i, lngLen));
                i += lngLen;
            }
            continue;
        }
        switch (bytValue) {
            case '"':
                strOut += "\\\"";
                break;
            case '\\':
                strOut += "\\\\";
                break;
            case '\b':
                strOut += "\\b";
                break;
            case '\f':
                strOut += "\\f";
                break;
            case '\n':
                strOut += "\\n";
                break;
            case '\r':
                strOut += "\\r";
                break;
            case '\t':
                strOut += "\\t";
                break;
            default:
                if (bytValue < 0x20 || bytValue == 0x7F) {
                    AppendEscapedByte(strOut, bytValue);
                } else {
                    strOut += static_cast<char>(bytValue);
                }
        }
        ++i;
    }
    strOut += '"';
}

void AppendJsonNumber(std::string& strOut, double dblValue) {
    if (!std::isfinite(dblValue)) {
        strOut += "null";
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, dblValue);
    strOut.append(buffer, result.ptr);
}

void AppendJsonLine(std::string& strOut, std::string_view strPath, bool blnValid,
                    const MP3Info& info) {
    strOut += "{\"path\":";
    AppendJsonString(strOut, strPath);
    strOut += ",\"valid\":";
    AppendBool(strOut, blnValid);
    strOut += ",\"FirstFrame\":";
    AppendInt(strOut, info.FirstFrame());
    strOut += ",\"Duration\":";
    AppendJsonNumber(strOut, info.Duration());
    strOut += ",\"Channels\":";
    AppendInt(strOut, info.Channels());
    strOut += ",\"Samplerate\":";
    AppendInt(strOut, info.Samplerate());
    strOut += ",\"Bitrate\":";
    AppendInt(strOut, info.Bitrate());
    strOut += ",\"FileSize\":";
    AppendInt(strOut, info.FileSize());
    strOut += ",\"MpegBytes\":";
    AppendInt(strOut, info.MpegBytes());
    strOut += ",\"Frames\":";
    AppendInt(strOut, info.Frames());
    strOut += ",\"Layer\":";
    AppendInt(strOut, info.Layer());
    strOut += ",\"MpegVersion\":";
    // The float's own shortest form (2.5, not 2.5000000000000000).
    if (std::isfinite(info.MpegVersion())) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, info.MpegVersion());
        strOut.append(buffer, result.ptr);
    } else {
        strOut += "null";
    }
    strOut += ",\"CopyrightBit\":";
    AppendBool(strOut, info.CopyrightBit());
    strOut += ",\"OriginalBit\":";
    AppendBool(strOut, info.OriginalBit());
    strOut += ",\"PrivateBit\":";
    AppendBool(strOut, info.PrivateBit());
    strOut += ",\"Protected\":";
    AppendBool(strOut, info.Protected());
    strOut += ",\"Emphasis\":";
    AppendBool(strOut, info.Emphasis());
    strOut += ",\"IsVBR\":";
    AppendBool(strOut, info.IsVBR());
    strOut += "}\n";
}

std::string FormatDuration(double dblMilliseconds) {
    if (!std::isfinite(dblMilliseconds)) return "?:??";
    const double dblSeconds = RoundHalfEven(std::fabs(dblMilliseconds) / 1000.0);
    const auto lngSeconds = static_cast<int64_t>(std::fmod(dblSeconds, 60.0));
    const double dblMinutes = std::floor(dblSeconds / 60.0);
    std::string strText = dblMilliseconds < 0 && dblSeconds > 0 ? "-" : "";
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, dblMinutes, std::chars_format::fixed, 0);
    strText.append(buffer, result.ptr);
    strText += ':';
    strText += static_cast<char>('0' + lngSeconds / 10);
    strText += static_cast<char>('0' + lngSeconds % 10);
    return strText;
}

void AppendHumanLine(std::string& strOut, std::string_view strPath, bool blnValid,
                     const MP3Info& info) {
    strOut.append(strPath);
    if (!blnValid) {
        strOut += ": not a valid MP3 file\n";
        return;
    }
    strOut += ": ";
    AppendInt(strOut, static_cast<int64_t>(RoundHalfEven(info.Bitrate() / 1000.0)));
    strOut += " kbps, ";
    AppendInt(strOut, info.Samplerate());
    strOut += " Hz, ";
    strOut += info.Channels() == 1 ? "mono" : "stereo";
    strOut += ", ";
    strOut += FormatDuration(info.Duration());
    strOut += info.IsVBR() ? ", VBR\n" : ", CBR\n";
}
