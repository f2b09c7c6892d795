// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a file is refused, in the words every part of the program uses: kestrelund-info prints
// them, and a Reduce run names them for a row it cannot encode.

#include <string>
#include <string_view>

inline constexpr std::string_view kReasonNoSuchFile = "no such file";
inline constexpr std::string_view kReasonPermissionDenied = "permission denied";
inline constexpr std::string_view kReasonIsFolder = "is a folder";
inline constexpr std::string_view kReasonNotMp3 = "not a valid MP3 file";

// "no such file", "is a folder", "permission denied" or, when the file can be opened,
// "not a valid MP3 file". The file system is asked afresh: the analysis only says no.
std::string_view RefusalReason(const std::string& path);

// The same words for a failed call's errno; "" when errno names none of them.
std::string_view ReasonOfErrno(int error);
