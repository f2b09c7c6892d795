// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why kestrelund-info refuses a path the analysis did not accept, in the words it prints.

#include <string>
#include <string_view>

// "no such file", "is a folder", "permission denied" or, when the file can be opened,
// "not a valid MP3 file". The file system is asked afresh: the analysis only says no.
std::string_view RefusalReason(const std::string& path);

// The same words for a failed call's errno; "" when errno names none of them.
std::string_view ReasonOfErrno(int error);
