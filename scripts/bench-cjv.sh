#!/usr/bin/env bash
# Layered roll-model throughput through rasterjob: 1 m long, 64-inch wide,
# 1440 dpi, 2-bit jobs in CMYK + white (PackBits on, rows repeated from a
# halftoned tile) to /dev/null.
#   CJV330, two layers: colour with white behind it, then white under the
#   colour mirrored (the second layer replayed from the spool, spilled past
#   the spool limit). Targets: 500 MB/s on one core, peak resident < 128 MiB.
#   CJV300 PLUS, one layer (colour, then white): every row goes out as it
#   arrives. Targets: 1 GB/s on one core, peak resident < 64 MiB.
# Prints MB/s of raster input, peak resident size and the bytes spilled.
#   BUILD_DIR     build folder (default build), configured and built here
#   RUNS          how many runs of each job; the best is reported (default 3)
#   SPOOL_LIMIT   --spool-limit (default: the host's, 64M)
#   ROWS          raster rows (default 1 m at 1440 dpi)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
bench_rasterjob_setup

common=(--slots 0:4,1:1,2:2,3:3,34:10 --channels 0,1,2,3,34 --pattern tile --width "$width" --height "$rows"
        --dpi "$dpi" --bits 2 --compress --quiet --stats -o /dev/null)
[ -n "${SPOOL_LIMIT:-}" ] && common+=(--spool-limit "$SPOOL_LIMIT")

report() { # name, MB/s target, MiB target
  local rss spilled
  rss=$(sed -E 's/.*peak resident ([0-9.]+) MiB.*/\1/' <<<"$best_line")
  spilled=$(sed -nE 's/.* ([0-9]+) bytes spilled.*/\1/p' <<<"$best_line")
  echo "$1: $best_mbs MB/s of raster; peak resident $rss MiB; ${spilled:-0} bytes spilled"
  awk -v m="$best_mbs" -v r="$rss" -v tm="$2" -v tr="$3" 'BEGIN {
    printf "  target %d MB/s: %s; target peak resident < %d MiB: %s\n", tm, (m >= tm ? "met" : "NOT met"), tr,
           (r < tr ? "met" : "NOT met") }'
}

echo "bench-cjv: $width x $rows px, $dpi dpi, 2 bits, CMYK + white, PackBits, spool limit ${SPOOL_LIMIT:-default}" \
     "in ${TMPDIR:-/tmp}"
echo "CJV330, two layers (second mirrored, replayed):"
bench_best "$runs" "$exe" --set PrEnv_UID=52 --set DPCVJ_330_m_nDotSize=0 --set PrEnv_MaxPrintingWays=2 \
  --set DPCVJ_330_nNumberOfLayers=2 --set DPCVJ_330_layer1_1=1 --set DPCVJ_330_layer2_1=3 \
  --set DPCVJ_330_layer1_2=3 --set DPCVJ_330_layer2_2=1 --set DPCVJ_330_bMirror_2=1 "${common[@]}"
report "CJV330 two layers" 500 128
echo "CJV300 PLUS, one layer:"
bench_best "$runs" "$exe" --set PrEnv_UID=43 --set DPCVJ_300_PLUS_nNumberOfLayers=1 \
  --set DPCVJ_300_PLUS_layer1_1=1 --set DPCVJ_300_PLUS_layer2_1=3 "${common[@]}"
report "CJV300 PLUS one layer" 1000 64
