#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit and
# integration tests, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short run of every fuzz target.
#   FUZZ_SECONDS   seconds per fuzz target (default 10; 36 targets)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
jobs=$(nproc)

tools/scripts/install_deps.sh

echo "== build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELT_TESTS=ON >/dev/null
ninja -C build
(cd build && ctest -j"$jobs" --output-on-failure)

echo "== sanitizer build (address, undefined) and test"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQELT_SANITIZE=ON >/dev/null
ninja -C build-asan
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest -j"$jobs" --output-on-failure)

echo "== fuzz targets, short runs"
tools/scripts/run_fuzz.sh "${FUZZ_SECONDS:-10}" build-fuzz

echo "all tests passed"
