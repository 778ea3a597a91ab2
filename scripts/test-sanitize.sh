#!/usr/bin/env bash
# Builds and runs every test under AddressSanitizer and UndefinedBehaviorSanitizer,
# in build-asan/ (or $ASAN_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
export BUILD_DIR=${ASAN_BUILD_DIR:-build-asan}
scripts/build.sh -DMIMAKI_SANITIZE=ON -DMIMAKI_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$BUILD_DIR" --output-on-failure -j2
