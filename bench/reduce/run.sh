#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds and runs the Reduce benchmark: ./bench/reduce/run.sh [build folder] [rounds]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
rounds="${2:-5}"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target reduce_bench
exec "$build/bin/reduce_bench" "$rounds"
