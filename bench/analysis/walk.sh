#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the frame-walk benchmark in build-bench/ (the analysis-only build, optimised like the
# normal build) and prints the walk of a 5 MB MP3 file against a lame encode of it, warm cache.
# Arguments go to the benchmark (--seconds N, --rounds R, --dir DIR).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTRELUND_ANALYSIS_ONLY=ON >/dev/null
cmake --build build-bench --target walk_bench >/dev/null
exec build-bench/bin/walk_bench "$@"
