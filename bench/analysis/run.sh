#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds kestrelund-info and its benchmark in build-bench/ (the analysis-only build, optimised like
# the normal build) and prints the per-file figures, warm cache, the probe against the I/O floor:
# the mixed set of 10,000 generated files, and 300 copies of each awkward kind (0xFF runs, a
# forbidden Layer II stream, FLAC, WAV, random bytes). Arguments go to the benchmark (--files N,
# --copies N, --rounds R, --dir DIR).
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTRELUND_ANALYSIS_ONLY=ON >/dev/null
cmake --build build-bench --target analysis_bench kestrelund-info floor_one >/dev/null
exec build-bench/bin/analysis_bench "$@"
