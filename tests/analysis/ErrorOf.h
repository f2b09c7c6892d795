// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which analysis error an action raises; a test failure when it raises none.

#include <gtest/gtest.h>

#include <functional>

#include "analysis/AnalysisError.h"

inline AnalysisError::Kind ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AnalysisError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "no error raised";
    return AnalysisError::Kind::DivisionByZero;
}
