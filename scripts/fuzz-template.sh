#!/usr/bin/env bash
# Builds the template fuzzer with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it for FUZZ_SECONDS seconds (default
# 600), seeded with the command templates the models use. Fails when the
# fuzzer finds a crash, leak, timeout, sanitizer report, a read past the
# values given, or formatting or conversion that breaks its rules.
# Reproduce a finding with
#   build-fuzz-template/fuzz/template/fuzz_template <artifact>
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${FUZZ_BUILD_DIR:-build-fuzz-template}
seconds=${FUZZ_SECONDS:-600}

cxx=$(command -v clang++-14 || command -v clang++ || true)
cc=$(command -v clang-14 || command -v clang || true)
if [ -z "$cxx" ] || [ -z "$cc" ]; then
  echo "fuzz-template: clang is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIMAKI_FUZZ=ON -DMIMAKI_BENCH=OFF >/dev/null
fi
ninja -C "$dir" ${NINJA_FLAGS:-} fuzz_template

work=$dir/fuzz/template
rm -rf "$work/seeds" "$work/artifacts"
mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts"
# Byte 0: the number of values, then 32-bit values, then the template.
seed() { printf "$2" >"$work/seeds/$1"; }
seed unit '\001\005\000\000\000\\033@\\033(U\\001\\000\\%%03o'
seed mp '\011\001\000\000\000\002\000\000\000\377\000\000\000\001\000\000\000\054\001\000\000\001\000\000\000\377\377\377\377\377\000\000\000\377\000\000\000MP\\%%03o\\%%03o\\%%03o\\%%03o\\%%03o\\%%03o\\%%03o\\%%03o\\%%03o'
seed qa '\003\001\000\000\000\064\022\000\000\000\001\000\000QA\\x03\\x%%02x\\x%%02x\\x%%02x'
seed qh '\002\001\000\000\000\357\000\000\000QH\\x%%2.2hhx\\x%%2.2hhx'
seed qs '\000QS\\x%%02x\\x%%02x\\x%%02x\\x%%02x\\x%%02x\\x%%02x\\x%%02x\\x%%02x\\x%%02x'
seed pf '\005\001\000\000\000\020\047\000\000\000\000\000\000\000\000\000\000\000\000\000\000PF\\x7\\x%%02x\\xFF\\xFF\\x%%02x\\x%%02x\\x%%02x\\x%%02x'
seed bad '\001\007\000\000\000100%%%% %%s %%n %%d \\x \\xg \\777 \\QE\\000 %%03 %%2.2hh\\'

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
"$work/fuzz_template" -max_total_time="$seconds" -max_len=1024 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -dict=fuzz/template/template.dict -artifact_prefix="$work/artifacts/" \
  "$work/corpus" "$work/seeds" || status=$?
if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
  echo "fuzz-template: FAILED (exit $status); reproducers in $work/artifacts" >&2
  ls -l "$work/artifacts" >&2 || true
  exit 1
fi
echo "fuzz-template: no findings in ${seconds}s"
