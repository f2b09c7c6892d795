// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which files the add paths take, the same for every one of them ("Add MP3 File(s)", "Add All MP3
// File(s) In Folder", drops) and for kestrelund-info -r: the folder add lists names matching
// "*.mp3", letter case ignored, except those beginning with "~" (the temporary copies that editors
// and office programs leave beside a file); and no add path takes the new files a Reduce run
// writes before they are verified. Plain C++, no Qt.

#include <cstddef>
#include <string>
#include <string_view>

// The pattern the folder walk lists a folder's files by.
inline constexpr char kMp3Pattern[] = "*.mp3";

// Whether a name that matched kMp3Pattern is still left out, by its first character.
inline bool IsLeftOutName(char32_t chFirst) { return chFirst == U'~'; }

// The new file a Reduce run writes for the output named strOutputName (no folder), with
// strRandom (six letters or digits) to make it unique: ".NAME.XXXXXX.part", or
// ".reduced.XXXXXX.part" when that would be longer than lngNameMax bytes.
inline std::string NewFileName(std::string_view strOutputName, std::string_view strRandom,
                               size_t lngNameMax) {
    std::string strName = "." + std::string(strOutputName) + "." + std::string(strRandom) + ".part";
    if (strName.size() > lngNameMax) strName = ".reduced." + std::string(strRandom) + ".part";
    return strName;
}

// Whether strName (no folder) has the form of NewFileName's names: a hidden name ending in a
// dot, six letters or digits and ".part".
inline bool IsNewFileName(std::string_view strName) {
    constexpr std::string_view kSuffix = ".part";
    constexpr size_t kRandom = 6;
    if (strName.size() < 1 + 1 + kRandom + kSuffix.size() || strName.front() != '.' ||
        !strName.ends_with(kSuffix)) {
        return false;
    }
    const std::string_view strRandom =
        strName.substr(strName.size() - kSuffix.size() - kRandom, kRandom);
    for (const char ch : strRandom) {
        const bool blnAlnum =
            (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        if (!blnAlnum) return false;
    }
    return strName[strName.size() - kSuffix.size() - kRandom - 1] == '.';
}
