#!/usr/bin/env bash
# Writes tests/driver/data/golden_streams.txt anew from the current build:
# the hash of every golden job's stream. Review the diff before committing.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
scripts/build.sh >/dev/null
MIMAKI_GOLDEN_WRITE="$PWD/tests/driver/data/golden_streams.txt" \
  "$dir/tests/driver/driver_tests" --gtest_filter='GoldenStreams.*' >/dev/null
git --no-pager diff --stat -- tests/driver/data/golden_streams.txt || true
