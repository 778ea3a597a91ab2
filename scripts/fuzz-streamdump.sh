#!/usr/bin/env bash
# Fuzzes the printer-stream parser with libFuzzer for a bounded time
# (FUZZ_SECONDS, default 300) and fails when it finds a crash, a sanitizer
# report or a broken invariant, or a run slower than 10 s. Reproduce a
# finding with
#   build-fuzz-streamdump/fuzz/streamdump/fuzz_streamdump <artifact>
# (BUILD_DIR chooses another build folder).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build-fuzz-streamdump}
seconds=${FUZZ_SECONDS:-300}

if [ ! -f "$dir/build.ninja" ]; then
  CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S . -B "$dir" -G Ninja \
    -DMIMAKI_FUZZ=ON -DMIMAKI_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
ninja -C "$dir" fuzz_streamdump

seeds="$dir/fuzz-streamdump/seeds"
corpus="$dir/fuzz-streamdump/corpus"
artifacts="$dir/fuzz-streamdump/artifacts"
mkdir -p "$seeds" "$corpus" "$artifacts"

# Hand-made streams, one per command set and framing.
seed() { printf "$2" >"$seeds/$1"; }
# set 0: start, raw and PackBits rows, feed, job end
seed set0 '\033@\033(U\001\000\005\033r\000\033.\000\005\005\001\020\000\360\017\r\n\033(v\002\000\003\000\033r\002\033.\001\005\005\001\040\000\375\000\001\021\042\r\n\014\377'
# set 1 / 3: colour with density
seed set1 '\033@\033(U\001\000\012\033(r\002\000\000\002\033.\000\012\012\001\010\000\303\r\033(r\002\000\001\002\033.\001\012\012\001\020\000\377\231\r\n\014\377'
# set 2 / 3: ESC i at 2 bits, two lines in one record
seed set2 '\033iT\000\002\003\000\001\000\344\033\000\r\033i\022\001\001\006\000\001\000\373\176\r\n\033i\004\000\002\002\000\002\000\001\002\003\004\r\n\014\377'
# early job commands
seed mcmd '\033@MD\320\002\150\001MP\210\000\377\000\377\377\377\377\377MC\002ME\000\001\000MB\000MY\003MA\377\377\001\373MF\001MK\000\050\000\000\000Mn\001WC\001\033r\000\033.\000\005\005\001\010\000\201\r\n\014\377'
# set 4: plain MRL III job, 7-byte descriptors, feed, end
seed mrl3 'Q@\000QC\002\377\001QY\005\000\000\000\000\000QR\001\000QD\007\004\001\001\054\001\001\000\201\252\201\252\325\125QR\001\001QX\005\001\002\000\000\000QY\005\000\000\000\000\000QR\001\000QD\007\000\000\002\002\000\001\000\000\100QR\001\001QE\000'
# layered MRL III: 10- and 9-byte descriptors, two layers, slot-file order
seed layers 'Q@\000QR\001\000QD\012\000\000\001\002\000\001\000\002\000\000\022\064QR\001\000QD\012\376\001\001\005\000\001\000\002\000\001\374\360QR\001\001QE\000Q@\000QR\001\000QY\005\000\000\000\000\000QD\011\377\001\002\004\000\001\000\002\000\375\231QY\005\000\000\000\000\000QR\001\001QD\011\377\000\002\001\000\001\000\001\000\344QX\005\001\000\000\000\000QE\000'

ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
  "$dir/fuzz/streamdump/fuzz_streamdump" \
  -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -dict=fuzz/streamdump/streamdump.dict -artifact_prefix="$artifacts/" \
  "$corpus" "$seeds"
echo "fuzz-streamdump: no findings in ${seconds} s"
