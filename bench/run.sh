#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks in build/ (or the folder given) and runs all five, one after another
# (bench/reduce/lame_model.sh, which takes half an hour, runs on its own):
#   analysis_bench  kestrelund-info --json over 10,000 files against the I/O floor  (target <= 1.25),
#                   and over 300 copies of each awkward kind of file                (target <= 3,
#                   and each kind at most 1.5 x the mixed set's cost a file); its CPU on one
#                   file against a C program that reads what the analysis reads  (target <= 2)
#   admit_bench     admitting 10,000 files against kestrelund-info; 100,000 rows   (target <= 1.3)
#   folder_bench    adding a tree of 10,000 files in 1,000 folders against it      (target <= 1.3)
#                   and the folder reading alone, readdir against raw getdents64
#   reduce_bench    reducing 16 ten-second files against a plain lame loop         (target <= 1.05)
#                   and 2,000 rows again over their outputs against the first run  (target <= 1.2)
#   walk_bench      the frame walk of a 5 MB file against a lame encode of it       (target < 1 %)
# Usage: bench/run.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
./scripts/deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target kestrelund-info kestrelund-walk floor_one \
  kestrelund_lame_link analysis_bench admit_bench folder_bench reduce_bench walk_bench >/dev/null
export QT_QPA_PLATFORM=offscreen
for bench in analysis_bench admit_bench folder_bench reduce_bench walk_bench; do
  echo "== $bench =="
  "$build/bin/$bench"
done
