#!/usr/bin/env bash
# Sets up, builds and runs every test. Exits non-zero on any failure.
#  1. the thread tests under ThreadSanitizer (clang),
#  2. coverage-guided fuzzing of the receive path for a fixed number of runs (clang, libFuzzer),
#  3. the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer (last, so its
#     summary closes the output).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build-tsan -G Ninja -DVARNEL_TSAN=ON -DCMAKE_CXX_COMPILER=clang++
cmake --build build-tsan -j "$jobs" --target driver_thread_stress_test
(cd build-tsan && ctest --output-on-failure -R '^driver_thread_stress_test$')

cmake -S . -B build-fuzz -G Ninja -DVARNEL_FUZZ=ON -DVARNEL_SANITIZE=ON -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j "$jobs" --target receive_path_fuzz
mkdir -p build-fuzz/corpus
./build-fuzz/bin/receive_path_fuzz -seed=1 -runs=60000 build-fuzz/corpus
echo "receive path fuzzing: 60000 runs clean"

cmake -S . -B build-test -G Ninja -DVARNEL_SANITIZE=ON -DVARNEL_WERROR=ON
cmake --build build-test -j "$jobs"
cd build-test
ctest --output-on-failure -j "$jobs"
