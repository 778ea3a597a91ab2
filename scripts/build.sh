#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR), incrementally.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
fi
ninja -C "$dir" ${NINJA_FLAGS:-}
