// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a step of a row failed, in the words the closing message's details show ("the output name
// is a link"); no value when the step succeeded.

#include <QString>
#include <optional>

using Failure = std::optional<QString>;
