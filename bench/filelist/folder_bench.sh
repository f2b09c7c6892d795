#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the probe and the folder benchmark, then measures adding a tree of 10,000 MP3 files in
# 1,000 folders through the folder button against `kestrelund-info --json` over the same files.
#   bench/filelist/folder_bench.sh [BUILD_DIR] [benchmark options...]
# "ratio" is button time / probe time (wall clock); "cpu_ratio" the same in CPU time.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
shift || true
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target kestrelund-info folder_bench
exec "$build/bin/folder_bench" "$@"
