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
// path is folder, one "/", and the path below it, as the file system's bytes whatever their
// encoding. walked is false when the walk could not be run.
std::vector<std::string> Mp3FilesBelow(const std::string& folder, bool& walked);
