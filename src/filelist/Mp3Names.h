// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which files the add paths take, the same for every one of them ("Add MP3 File(s)", "Add All MP3
// File(s) In Folder", drops) and for kestrelund-info -r: the folder add lists names matching
// "*.mp3", letter case ignored, except those beginning with "~" (the temporary copies that editors
// and office programs leave beside a file); and no add path takes the new files a Reduce run
// writes before they are verified: the folder add passes over them, the dialog and a drop refuse
// them with the usual warning. Names are the file system's bytes. Plain C++, no Qt.

#include <cstddef>
#include <string>
#include <string_view>

// The pattern the folder walk lists a folder's files by.
inline constexpr char kMp3Pattern[] = "*.mp3";

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

// Whether the folder add passes over a name (no folder) that matched kMp3Pattern: one beginning
// with "~", or a Reduce run's new file (which the pattern already leaves out).
inline bool IsLeftOutName(std::string_view strName) {
    return strName.starts_with('~') || IsNewFileName(strName);
}

// Whether strPath (a full path) names a Reduce run's new file, by the name after its last "/".
inline bool IsNewFilePath(std::string_view strPath) {
    const size_t lngSlash = strPath.rfind('/');
    return IsNewFileName(lngSlash == std::string_view::npos ? strPath
                                                            : strPath.substr(lngSlash + 1));
}
