// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Points a slot at an object for as long as a scope runs, and at nothing again however the scope
// ends: the batch's running encoder, the encoder's running new file.

template <typename T>
class ScopedSlot {
  public:
    ScopedSlot(T*& slot, T& value) : slot(slot) { slot = &value; }
    ~ScopedSlot() { slot = nullptr; }
    ScopedSlot(const ScopedSlot&) = delete;
    ScopedSlot& operator=(const ScopedSlot&) = delete;

  private:
    T*& slot;
};
