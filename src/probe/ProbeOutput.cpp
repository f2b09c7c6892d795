// SPDX-License-Identifier: GPL-3.0-or-later
#include "probe/ProbeOutput.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "analysis/FrameWalk.h"
#include "analysis/MP3Info.h"
#include "analysis/Rounding.h"
#include "analysis/Utf8.h"

namespace {

constexpr char kHex[] = "0123456789abcdef";

// \u00XX: a control character (JSON allows none below 0x20 as it is; DEL is escaped too).
void AppendEscapedControl(std::string& out, unsigned char byte) {
    out += "\\u00";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}

// \udcXX: a byte (0x80 to 0xFF) that is not part of valid UTF-8, written as the lone low
// surrogate U+DC80 to U+DCFF. Valid UTF-8 never encodes a surrogate, so the escape cannot stand for
// a character of a name, and two different names never give the same string; a reader that keeps
// lone surrogates (Python's json, then os.fsencode) gets the byte back.
void AppendEscapedStrayByte(std::string& out, unsigned char byte) {
    out += "\\udc";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
}

void AppendInt(std::string& out, int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendBool(std::string& out, bool value) { out += value ? "true" : "false"; }

// "-" for a negative length that does not round to zero, then the whole minutes and ":".
std::string SignAndMinutes(bool negative, double minutes) {
    std::string text = negative ? "-" : "";
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, minutes, std::chars_format::fixed, 0);
    text.append(buffer, result.ptr);
    text += ':';
    return text;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view bytes) {
    out += '"';
    size_t i = 0;
    while (i < bytes.size()) {
        // Printable ASCII other than '"' and '\' is copied as it is, a whole run at a time.
        size_t run = i;
        while (run < bytes.size()) {
            const unsigned char plain = static_cast<unsigned char>(bytes[run]);
            if (plain < 0x20 || plain >= 0x7F || plain == '"' || plain == '\\') break;
            ++run;
        }
        out.append(bytes.data() + i, run - i);
        i = run;
        if (i == bytes.size()) break;
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x80) {
            const size_t length = Utf8SequenceLength(bytes.substr(i));
            if (length == 0) {
                AppendEscapedStrayByte(out, byte);
                ++i;
            } else {
                out.append(bytes.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (byte) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    AppendEscapedControl(out, byte);
                } else {
                    out += static_cast<char>(byte);
                }
        }
        ++i;
    }
    out += '"';
}

void AppendJsonNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void AppendJsonLine(std::string& out, std::string_view path, std::string_view error,
                    const MP3Info& info, const FrameWalkResult* counted, bool emptyFile) {
    // A refused file has no stream, so its properties have no value: null, never a 0 or false
    // that a script's test (Bitrate < 128000, IsVBR == false) would take for one. Only its size
    // is known, when the analysis read it or the file is empty.
    const bool valid = error.empty();
    const auto key = [&](const char* name) {
        out += ",\"";
        out += name;
        out += "\":";
    };
    // A field with its value, or null for a refused file.
    const auto field = [&](const char* name, const auto& append) {
        key(name);
        if (valid) {
            append();
        } else {
            out += "null";
        }
    };
    const auto integer = [&](const char* name, int64_t value) {
        field(name, [&] { AppendInt(out, value); });
    };
    const auto number = [&](const char* name, double value) {
        field(name, [&] { AppendJsonNumber(out, value); });
    };
    const auto boolean = [&](const char* name, bool value) {
        field(name, [&] { AppendBool(out, value); });
    };
    out += "{\"path\":";
    AppendJsonString(out, path);
    out += ",\"valid\":";
    AppendBool(out, valid);
    if (!valid) {
        out += ",\"error\":";
        AppendJsonString(out, error);
    }
    integer("FirstFrame", info.FirstFrame());
    number("Duration", info.Duration());
    integer("Channels", info.Channels());
    integer("Samplerate", info.Samplerate());
    integer("Bitrate", info.Bitrate());
    key("FileSize");
    if (valid || info.FileSize() > 0 || emptyFile) {
        AppendInt(out, info.FileSize());
    } else {
        out += "null";
    }
    integer("MpegBytes", info.MpegBytes());
    integer("Frames", info.Frames());
    integer("Layer", info.Layer());
    // The float's own shortest form (2.5, not 2.5000000000000000).
    key("MpegVersion");
    if (valid && std::isfinite(info.MpegVersion())) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, info.MpegVersion());
        out.append(buffer, result.ptr);
    } else {
        out += "null";
    }
    boolean("CopyrightBit", info.CopyrightBit());
    boolean("OriginalBit", info.OriginalBit());
    boolean("PrivateBit", info.PrivateBit());
    boolean("Protected", info.Protected());
    boolean("Emphasis", info.Emphasis());
    boolean("IsVBR", info.IsVBR());
    if (counted) {
        integer("CountedFrames", counted->lngFrames);
        integer("CountedSamples", counted->lngSamples);
        number("CountedDuration", counted->dblMilliseconds);
        integer("TruncatedBytes", counted->lngTruncatedBytes);
        integer("SkippedBytes", counted->lngSkippedBytes);
        if (valid && counted->change) {
            out += ",\"FormatChange\":";
            AppendJsonString(out, FormatChangeName(counted->change->kind));
            out += ",\"FormatChangeOffset\":";
            AppendInt(out, counted->change->lngOffset);
            out += ",\"FormatChangeAt\":";
            AppendJsonNumber(out, counted->change->dblMilliseconds);
        } else {
            out += ",\"FormatChange\":null,\"FormatChangeOffset\":null,\"FormatChangeAt\":null";
        }
    }
    out += "}\n";
}

std::string FormatDuration(double milliseconds) {
    if (!std::isfinite(milliseconds)) return "?:??";
    const double seconds = RoundHalfEven(std::fabs(milliseconds) / 1000.0);
    const auto wholeSeconds = static_cast<int64_t>(std::fmod(seconds, 60.0));
    std::string text = SignAndMinutes(milliseconds < 0 && seconds > 0, std::floor(seconds / 60.0));
    text += static_cast<char>('0' + wholeSeconds / 10);
    text += static_cast<char>('0' + wholeSeconds % 10);
    return text;
}

std::string FormatExactDuration(double milliseconds) {
    if (!std::isfinite(milliseconds)) return "?:??.???";
    const double whole = RoundHalfEven(std::fabs(milliseconds));
    const double minutes = std::floor(whole / 60000.0);
    const auto rest = static_cast<int64_t>(whole - minutes * 60000.0);  // 0 to 59999
    std::string text = SignAndMinutes(milliseconds < 0 && whole > 0, minutes);
    const char digits[] = {static_cast<char>('0' + rest / 10000),
                           static_cast<char>('0' + rest / 1000 % 10),
                           '.',
                           static_cast<char>('0' + rest / 100 % 10),
                           static_cast<char>('0' + rest / 10 % 10),
                           static_cast<char>('0' + rest % 10)};
    text.append(digits, sizeof digits);
    return text;
}

std::string StreamKind(const MP3Info& info) {
    std::string kind = "MPEG-";
    const float version = info.MpegVersion();
    kind += version == 1.0f ? "1" : version == 2.0f ? "2" : version == 2.5f ? "2.5" : "?";
    kind += " Layer ";
    switch (info.Layer()) {
        case 1:
            kind += "I";
            break;
        case 2:
            kind += "II";
            break;
        case 3:
            kind += "III";
            break;
        default:
            kind += "?";
    }
    return kind;
}

void AppendHumanLine(std::string& out, std::string_view path, std::string_view error,
                     const MP3Info& info, const FrameWalkResult* counted) {
    out.append(path);
    out += ": ";
    if (!error.empty()) {
        out.append(error);
        out += '\n';
        return;
    }
    out += StreamKind(info);
    out += ", ";
    AppendInt(out, static_cast<int64_t>(RoundHalfEven(info.Bitrate() / 1000.0)));
    out += info.IsVBR() ? " kbps VBR, " : " kbps CBR, ";
    AppendInt(out, info.Samplerate());
    out += " Hz, ";
    out += info.Channels() == 1 ? "mono" : "stereo";
    out += ", ";
    out += FormatDuration(info.Duration());
    if (counted) {
        out += "; counted ";
        AppendInt(out, counted->lngFrames);
        out += counted->lngFrames == 1 ? " frame, " : " frames, ";
        out += FormatExactDuration(counted->dblMilliseconds);
        if (counted->change) {
            out += "; the ";
            out += FormatChangeName(counted->change->kind);
            out += " changes at ";
            out += FormatDuration(counted->change->dblMilliseconds);
        }
    }
    out += '\n';
}
