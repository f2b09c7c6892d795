// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pointer values the window and its list take. The numbers are the values themselves (tests
// and the window compare against them), so the enum is a plain one with an int underneath.

namespace Pointer {

enum Value : int {
    Default = 0,     // the platform's default pointer
    Arrow = 1,       // the arrow
    Hourglass = 11,  // set while a folder add or a Reduce run works
    Custom = 99,     // the control's own image (the hand, or the drag image over the list)
};

}  // namespace Pointer
