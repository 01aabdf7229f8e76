#!/usr/bin/env bash
# Sets up, builds and runs every test: the full suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the thread tests under ThreadSanitizer.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build-test -G Ninja -DVARNEL_SANITIZE=ON -DVARNEL_WERROR=ON
cmake --build build-test -j "$jobs"
(cd build-test && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-tsan -G Ninja -DVARNEL_TSAN=ON -DCMAKE_CXX_COMPILER=clang++
cmake --build build-tsan -j "$jobs" --target driver_thread_stress_test
(cd build-tsan && ctest --output-on-failure -L threads)
