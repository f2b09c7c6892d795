// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where bytes are valid UTF-8: the one test that the probe's JSON and the list's file names share
// to tell a name's text from its stray bytes. Plain C++, no Qt.

#include <cstddef>
#include <string_view>

// Length of the valid UTF-8 sequence at the start of bytes (1 for an ASCII byte, 2 to 4), or 0
// when the bytes there do not form one: a stray continuation byte, a sequence cut short, overlong
// forms, surrogates and values past U+10FFFF are not valid.
inline size_t Utf8SequenceLength(std::string_view bytes) {
    if (bytes.empty()) return 0;
    const auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char b0 = at(0);
    if (b0 < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0) low = 0xA0;   // overlong
        if (b0 == 0xED) high = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0) low = 0x90;   // overlong
        if (b0 == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80) return 0;  // not a continuation byte
    }
    return length;
}
