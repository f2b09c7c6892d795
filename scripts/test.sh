#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs every test:
#   build/       the whole program with GCC, all tests through CTest
#   build-asan/  the analysis, its probe (Qt Core) and tests with clang under AddressSanitizer and
#                UndefinedBehaviorSanitizer, plus the libFuzzer target replaying its seeds
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh

jobs=$(nproc)

echo "== build (gcc) =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"

echo "== build-asan (clang, ASan+UBSan, fuzz target) =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DKESTRELUND_ANALYSIS_ONLY=ON \
  -DKESTRELUND_SANITIZE=ON -DKESTRELUND_FUZZ=ON >/dev/null
cmake --build build-asan -j "$jobs"

echo "== tests (build) =="
ctest --test-dir build --output-on-failure --no-tests=error -j "$jobs"

echo "== tests (build-asan) =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -j "$jobs"
