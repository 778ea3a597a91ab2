#!/usr/bin/env bash
# Builds the settings fuzzer with clang (libraries instrumented for coverage,
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs it for
# FUZZ_SECONDS seconds (default 600), seeded with a saved store of every
# model. Fails when the fuzzer finds a crash, leak, timeout, sanitizer report
# or a store that does not survive load, save and reload.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${FUZZ_BUILD_DIR:-build-fuzz-settings}
seconds=${FUZZ_SECONDS:-600}

cxx=$(command -v clang++-14 || command -v clang++ || true)
cc=$(command -v clang-14 || command -v clang || true)
if [ -z "$cxx" ] || [ -z "$cc" ]; then
  echo "fuzz-settings: clang is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi
flags="-fsanitize=fuzzer-no-link"
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIMAKI_FUZZ=ON -DMIMAKI_SANITIZE=ON -DMIMAKI_BENCH=OFF \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
fi
ninja -C "$dir" ${NINJA_FLAGS:-} fuzz_settings fuzz_settings_seeds

work=$dir/fuzz/settings
rm -rf "$work/seeds" "$work/artifacts"
mkdir -p "$work/corpus" "$work/artifacts"
"$work/fuzz_settings_seeds" "$work/seeds"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
"$work/fuzz_settings" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" "$work/seeds" || status=$?
if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
  echo "fuzz-settings: FAILED (exit $status); reproducers in $work/artifacts" >&2
  ls -l "$work/artifacts" >&2 || true
  exit 1
fi
echo "fuzz-settings: no findings in ${seconds}s"
