#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR), incrementally, with
# warnings as errors. Options given here are passed on the first configure.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DMIMAKI_WERROR=ON "$@" >/dev/null
elif ! grep -q '^MIMAKI_WERROR:' "$dir/CMakeCache.txt"; then
  # A folder configured before the option existed.
  cmake -S . -B "$dir" -DMIMAKI_WERROR=ON >/dev/null
fi
ninja -C "$dir" ${NINJA_FLAGS:-}
