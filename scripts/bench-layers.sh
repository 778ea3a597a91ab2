#!/usr/bin/env bash
# Layered-job throughput: a 1 m long, 64-inch, 1440 dpi, 2-bit job with
# CMYK, white and varnish through the UJF3042's WV arrangement (layers:
# Color&White Underprint, Color, Color&Varnish Overprint, Varnish Gloss
# Finish, White) to /dev/null, rows repeated from a halftoned tile, PackBits
# on. Prints MB/s of raster input, peak resident size and the bytes the
# spool buffers put into temporary files.
# Targets: peak resident under 128 MiB with the default spool limit; at
# least 500 MB/s on one core, spilling included.
#   BUILD_DIR     build folder (default build), configured and built here
#   RUNS          how many runs; the best is reported (default 3)
#   SPOOL_LIMIT   --spool-limit (default: the host's, 64M)
#   ROWS          raster rows (default 1 m at 1440 dpi)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
bench_rasterjob_setup

args=(--set PrEnv_UID=19 --set UJFPrinterTyp=2
      --set DP19_nLayer1Mode=3 --set DP19_nLayer2Mode=1 --set DP19_nLayer3Mode=6
      --set DP19_nLayer4Mode=8 --set DP19_nLayer5Mode=2
      --pattern tile --width "$width" --height "$rows" --dpi "$dpi" --bits 2
      --channels 0,1,2,3,34,30 --compress --quiet --stats -o /dev/null)
[ -n "${SPOOL_LIMIT:-}" ] && args+=(--spool-limit "$SPOOL_LIMIT")

echo "bench-layers: $width x $rows px, $dpi dpi, 2 bits, CMYK + white + varnish, WV arrangement, PackBits," \
     "spool limit ${SPOOL_LIMIT:-default} in ${TMPDIR:-/tmp}"
bench_best "$runs" "$exe" "${args[@]}"
bench_report
