#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fuzzes the MP3 analysis for SECONDS seconds (default 60) with libFuzzer under AddressSanitizer
# and UndefinedBehaviorSanitizer. Builds in build-fuzz/; inputs it finds interesting go to
# build-fuzz/corpus/ (the committed seeds in fuzz/seeds/ are only read), and any crash is saved
# in build-fuzz/artifacts/. Exits non-zero when the fuzzer found a fault.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh [SECONDS]" >&2
  exit 2
fi

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DKESTRELUND_ANALYSIS_ONLY=ON \
  -DKESTRELUND_SANITIZE=ON -DKESTRELUND_FUZZ=ON >/dev/null
cmake --build build-fuzz --target mp3info_fuzzer

mkdir -p build-fuzz/corpus build-fuzz/artifacts
# Inputs up to 24 KiB reach past the end of the search window behind a short leading tag.
build-fuzz/bin/mp3info_fuzzer -max_total_time="$seconds" -max_len=24576 -print_final_stats=1 \
  -artifact_prefix=build-fuzz/artifacts/ build-fuzz/corpus fuzz/seeds
