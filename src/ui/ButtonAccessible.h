// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How assistive technology sees the window's large buttons (CaptionButton): as push buttons with a
// "Press" action. They are checkable underneath, which Qt would announce as a check box with a
// "Toggle" action, but to the user they spring back at once like any push button. The main window
// (Form1) is announced as a window.

// Makes every CaptionButton announce itself so; installing it again changes nothing.
void InstallButtonAccessible();
