// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// kestrelund-info -r: the MP3 files of a folder tree, found as the "Add All MP3 File(s) In Folder"
// button finds them. The walk and its name order need Qt Core, which the probe does not load: they
// run as a program of their own, kestrelund-walk, found beside the probe's real file.

#include <string>
#include <vector>

// The paths of the files below folder (at any depth) that the folder button would admit, in its
// order: folder by folder, level by level, each folder's names in name order; names matching
// "*.mp3" in any letter case, those beginning with "~" left out, hidden folders not entered. Each
// path is folder, one "/", and the path below it. Files and folders whose names are not UTF-8
// cannot be followed by text and go to unnamed instead (the folder itself when its own name is
// not; the path below it as text, U+FFFD for the bytes that did not decode). walked is false when
// the walk could not be run.
std::vector<std::string> Mp3FilesBelow(const std::string& folder, std::vector<std::string>& unnamed,
                                       bool& walked);
