#!/usr/bin/env bash
# Screenshots of mimaki-panel's pages (one of each family) and dialogs in
# Debian's Chromium, into out/screenshots (or the folder given).
#   BUILD_DIR   build folder (default build), built here
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
scripts/build.sh >/dev/null
node tests/ui/browser/screenshots.mjs --panel "$dir/tools/panel/mimaki-panel" --parmtool "$dir/tools/parmtool/parmtool" \
  --printersim "$dir/tools/printersim/printersim" --out "${1:-out/screenshots}"
