#!/usr/bin/env bash
# Raster throughput of the TS300P-family layer driver through rasterjob: a
# 1 m long, 64-inch wide, 1440 dpi, 2-bit job of CMYK and white (PackBits on)
# on a UJV55 in white mode 4 (mirrored colour, white, colour: three layer
# sections a row) with a layer offset of OFFSET rows, to /dev/null. Prints
# MB/s of raster input and the peak resident size.
# Targets: 1 GB/s on one core; under 64 MiB.
#   BUILD_DIR   build folder (default build), configured and built here
#   RUNS        how many runs; the best is reported (default 3)
#   ROWS        raster rows (default 1 m at 1440 dpi)
#   OFFSET      rows each layer lags behind the one before (default 100)
set -euo pipefail
cd "$(dirname "$0")/.."
offset=${OFFSET:-100}
. scripts/bench-common.sh
bench_rasterjob_setup

args=(--set PrEnv_UID=34 --set DP33_m_eWhiteMode=4 --set "DP33_nLayerOffset=$offset"
      --slots 0:4,1:1,2:2,3:3,34:10 --channels 0,1,2,3,34
      --pattern tile --width "$width" --height "$rows" --dpi "$dpi" --bits 2
      --compress --quiet --stats -o /dev/null)

echo "bench-ts300p: $width x $rows px, $dpi dpi, 2 bits, CMYK + white, white mode 4 (3 layers, first mirrored), layer offset $offset rows, PackBits"
bench_best "$runs" "$exe" "${args[@]}"
rss=$(sed -E 's/.*peak resident ([0-9.]+) MiB.*/\1/' <<<"$best_line")
echo "raster throughput: $best_mbs MB/s (target 1000 MB/s)"
echo "peak resident:     $rss MiB (target under 64 MiB)"
awk -v m="$best_mbs" -v r="$rss" 'BEGIN {
  printf "verdict: throughput %s, memory %s\n", (m >= 1000 ? "meets the target" : "BELOW the target"),
         (r < 64 ? "meets the target" : "ABOVE the target") }'
