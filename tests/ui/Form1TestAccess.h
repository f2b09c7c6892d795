// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window tests' one way into Form1's private state, for what a user cannot see on the screen:
// - EndProgram, the ending hook that the close tests replace so that the test process lives on;
// - the reorder state (blnDragging, itmDrag, itmUnder), which says which file a held move will
//   take along before any row has moved.
// - the admission into the window's list, which the benchmarks time without a dialog.
// Everything else a test reaches as a user does: the controls through ControlsOf (found by their
// object names), the rows through the list's model, messages and dialogs through FakePrompts.

#include <QPersistentModelIndex>
#include <functional>

#include "ui/Form1.h"

struct Form1TestAccess {
    static std::function<void()>& EndProgram(Form1& form) { return form.EndProgram; }
    static Admission ListAdmission(Form1& form) { return form.ListAdmission(); }
    static bool Dragging(const Form1& form) { return form.blnDragging; }
    static const QPersistentModelIndex& DragRow(const Form1& form) { return form.itmDrag; }
    static const QPersistentModelIndex& UnderRow(const Form1& form) { return form.itmUnder; }
};
