#!/usr/bin/env bash
# Raster throughput of rasterjob through the plug-in: a 1 m long, 64-inch
# wide, 1440 dpi, 2-bit, 4-channel job (PackBits on) to /dev/null, its rows
# repeated from a precomputed halftoned tile. Prints MB/s of raster input,
# the peak resident size, and, measured in the same run on the same rows,
# the speed of Gutenprint's PackBits coder (stp_pack_tiff) alone.
# Targets: 1 GB/s on one core; the whole job at least 1.25 times the peer's
# coder alone; under 64 MiB.
#   BUILD_DIR   build folder (default build), configured and built here
#   RUNS        how many runs; the best is reported (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
runs=${RUNS:-3}
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=(rasterjob mimaki)
ninja -C "$dir" -t targets all 2>/dev/null | grep -q '^bench_output:' && targets+=(bench_output)
ninja -C "$dir" "${targets[@]}" >/dev/null

exe="$dir/tools/rasterjob/rasterjob"
bench="$dir/bench/output/bench_output"
. scripts/bench-common.sh
args=("${cmyk_job[@]}" -o /dev/null)

# MB/s of Gutenprint's coder and of ours alone on the tile's rows (the
# bench's kind "rasterjobtile"), or nothing without Gutenprint.
coders() {
  [ -x "$bench" ] || return 0
  taskset -c 0 "$bench" --benchmark_filter='^(PackBits|StpPackTiff)/rasterjobtile/' 2>/dev/null |
    awk '$1 == "rasterjobtile" && $3 ~ /^[0-9]+$/ { print $3, $4 }'
}

echo "bench-rasterjob: $width x $rows px, $dpi dpi, 2 bits, 4 channels, PackBits, plug-in $(basename "$(ls "$dir"/libmimaki.so)")"
best_mbs=0
best_line=""
best_stp=0
best_ours=0
for i in $(seq 1 "$runs"); do
  # One core, as the target says; the peer's coder on the same core.
  line=$(taskset -c 0 "$exe" "${args[@]}" 2>&1 >/dev/null | grep '^rasterjob: .* MB/s')
  mbs=$(sed -E 's/.*: ([0-9.]+) MB\/s.*/\1/' <<<"$line")
  read -r stp ours <<<"$(coders)" || true
  echo "  run $i: $line"
  [ -n "${stp:-}" ] && echo "         stp_pack_tiff alone on the same rows: $stp MB/s; our PackBits alone: $ours MB/s"
  if awk -v a="$mbs" -v b="$best_mbs" 'BEGIN { exit !(a > b) }'; then
    best_mbs=$mbs
    best_line=$line
  fi
  if [ -n "${stp:-}" ] && [ "$stp" -gt "$best_stp" ]; then best_stp=$stp; fi
  if [ -n "${ours:-}" ] && [ "$ours" -gt "$best_ours" ]; then best_ours=$ours; fi
done
rss=$(sed -E 's/.*peak resident ([0-9.]+) MiB.*/\1/' <<<"$best_line")
echo "raster throughput: $best_mbs MB/s (target 1000 MB/s)"
echo "peak resident:     $rss MiB (target under 64 MiB)"
if [ "$best_stp" -gt 0 ]; then
  awk -v m="$best_mbs" -v s="$best_stp" -v o="$best_ours" 'BEGIN {
    printf "against Gutenprint: whole job %.2fx stp_pack_tiff alone (%d MB/s; target 1.25x); our coder alone %.2fx\n",
           m / s, s, o / s }'
else
  echo "against Gutenprint: not measured (bench_output without Gutenprint)"
fi
awk -v m="$best_mbs" -v r="$rss" -v s="$best_stp" 'BEGIN {
  printf "verdict: throughput %s, %s, memory %s\n", (m >= 1000 ? "meets the target" : "BELOW the target"),
         (s == 0 ? "peer not measured" : (m >= 1.25 * s ? "peer ratio meets the target" : "peer ratio BELOW the target")),
         (r < 64 ? "meets the target" : "ABOVE the target") }'
