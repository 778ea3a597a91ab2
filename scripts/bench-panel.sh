#!/usr/bin/env bash
# Page open and OK times of mimaki-panel in Debian's Chromium for one model
# of every page class (bench/panel/open-ok.mjs), largest page first.
# Targets: open < 100 ms, OK < 50 ms for the largest class. Prints figures.
#   BUILD_DIR   build folder (default build), configured and built here
#   RUNS        runs per page (default 10)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
. scripts/bench-common.sh
bench_build "$dir" mimaki-panel parmtool
node bench/panel/open-ok.mjs --panel "$dir/tools/panel/mimaki-panel" --parmtool "$dir/tools/parmtool/parmtool" \
  --runs "${RUNS:-10}"
