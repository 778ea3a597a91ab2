#!/usr/bin/env bash
# Speed of the CUPS filter against rasterjob on the same page: 64 inches
# wide, 1 m long, 720 dpi, CMYK, 8-bit contone screened by both, through the
# MRL III model of UID 15 (PackBits on) to /dev/null. The page comes from a
# generator on another core: a CUPS raster through a pipe for the filter,
# four PGMs through FIFOs for rasterjob. Prints the wall and CPU time of each tool,
# raster MB/s and their ratio by CPU time (target: the filter at least 0.8x rasterjob).
#   BUILD_DIR   build folder (default build), configured and built here
#   RUNS        how many runs of each; the best is reported (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
dir=${BUILD_DIR:-build}
runs=${RUNS:-3}
bench_build "$dir" rastertomimaki mimakippd rasterjob mimaki bench_rastergen

gen="$dir/bench/rastertomimaki/bench_rastergen"
filter="$dir/tools/rastertomimaki/rastertomimaki"
uid=15
dpi=720
width=$((64 * dpi))                                                    # 46080 pixels
rows=$(awk -v d=$dpi 'BEGIN { printf "%d", 1000 / 25.4 * d + 0.5 }')   # 1 m
mb=$(awk -v w=$width -v r=$rows 'BEGIN { printf "%.1f", w * r * 4 / 1e6 }')

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$dir/tools/rastertomimaki/mimakippd" --uid $uid -o "$tmp/printer.ppd"
# The dot depth the model prints contone at, as the filter reports it.
"$gen" raster 64 8 $dpi >"$tmp/small.ras"
PPD="$tmp/printer.ppd" "$filter" 1 bench bench 1 "mimaki-report=$tmp/report.json" "$tmp/small.ras" >/dev/null 2>&1
bits=$(grep -o '"bits": [12]' "$tmp/report.json" | head -1 | grep -o '[12]$')

# Wall and CPU seconds (user + system) of the command, on core 0; the
# machine may be shared, so the CPU seconds are the fairer comparison.
measure() {
  local out
  out=$( { TIMEFORMAT='%R %U %S'; time taskset -c 0 "$@" >/dev/null 2>"$tmp/tool.err"; } 2>&1 )
  read -r wall user sys <<<"$out"
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
}

echo "bench-rastertomimaki: $width x $rows px, $dpi dpi, CMYK 8-bit screened to $bits bits, UID $uid, $mb MB of raster"
best_f=0
best_r=0
for i in $(seq 1 "$runs"); do
  rm -f "$tmp"/plane-* "$tmp/page.ras"
  mkfifo "$tmp/page.ras" "$tmp"/plane-{c,m,y,k}
  taskset -c 1 "$gen" raster $width $rows $dpi >"$tmp/page.ras" &
  measure env PPD="$tmp/printer.ppd" "$filter" 1 bench bench 1 "" "$tmp/page.ras"
  wait
  grep -q '^PAGE: 1 1' "$tmp/tool.err" || { echo "the filter failed:"; grep ERROR "$tmp/tool.err"; exit 1; }
  f_wall=$wall f_cpu=$cpu

  taskset -c 1 "$gen" pgm $width $rows "$tmp"/plane-{c,m,y,k} &
  measure "$dir/tools/rasterjob/rasterjob" --set PrEnv_UID=$uid --bits "$bits" --dpi $dpi --channels 1,2,3,0 \
    --input "$tmp/plane-c" --input "$tmp/plane-m" --input "$tmp/plane-y" --input "$tmp/plane-k" \
    --compress --quiet -o /dev/null
  wait
  r_wall=$wall r_cpu=$cpu
  echo "  run $i: filter $f_wall s wall, $f_cpu s CPU; rasterjob $r_wall s wall, $r_cpu s CPU"
  if [ "$best_f" = 0 ] || awk -v a="$f_cpu" -v b="$best_f" 'BEGIN { exit !(a < b) }'; then best_f=$f_cpu; fi
  if [ "$best_r" = 0 ] || awk -v a="$r_cpu" -v b="$best_r" 'BEGIN { exit !(a < b) }'; then best_r=$r_cpu; fi
done
awk -v f="$best_f" -v r="$best_r" -v m="$mb" 'BEGIN {
  printf "filter:    %.2f s CPU, %.1f MB/s of raster\nrasterjob: %.2f s CPU, %.1f MB/s of raster\n", f, m / f, r, m / r
  printf "the filter runs at %.2fx rasterjob'"'"'s speed (target 0.8x): %s\n", r / f, (r / f >= 0.8 ? "meets the target" : "BELOW the target") }'
