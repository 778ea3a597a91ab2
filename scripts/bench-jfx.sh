#!/usr/bin/env bash
# Flatbed layer throughput: a 1 m long, 64-inch, 1440 dpi, 2-bit job with
# CMYK, white and varnish to /dev/null, rows repeated from a halftoned tile,
# PackBits on, through two drivers:
#   JFX500 WV: White+Color underprint (rows last first), Color, Varnish Matt;
#   UJF x042 MkII: white read backwards, colour, varnish mirrored, from the
#   slot files.
# Prints MB/s of raster input, peak resident size and the bytes the spool
# stores put into temporary files, for each.
# Targets: at least 500 MB/s on one core; peak resident under 128 MiB with
# the default spool limit.
#   BUILD_DIR     build folder (default build), configured and built here
#   RUNS          how many runs of each job; the best is reported (default 3)
#   SPOOL_LIMIT   --spool-limit (default: the host's, 64M)
#   ROWS          raster rows (default 1 m at 1440 dpi)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
bench_rasterjob_setup

common=(--pattern tile --width "$width" --height "$rows" --dpi "$dpi" --bits 2
        --channels 0,1,2,3,34,30 --compress --quiet --stats -o /dev/null)
[ -n "${SPOOL_LIMIT:-}" ] && common+=(--spool-limit "$SPOOL_LIMIT")

jfx=(--set PrEnv_UID=25 --set JFXPrinterType=WV --set DP25_nLayer1Mode=3 --set DP25_nLayer2Mode=0
     --set DP25_nLayer3Mode=8)
slots=(--set PrEnv_UID=35 --slots 0:4,1:1,2:2,3:3,34:10,30:11 --layer 1=0,1,1,0,1 --layer 2=0,0,1,0,0
       --layer 3=0,2,1,0,0 --set DP35_m_nMirror3=1 --layer 4=0,0,0,0,0)

for job in jfx slots; do
  if [ "$job" = jfx ]; then
    args=("${jfx[@]}" "${common[@]}")
    echo "bench-jfx: JFX500 WV, $width x $rows px, $dpi dpi, 2 bits, CMYK + white + varnish, underprint," \
         "PackBits, spool limit ${SPOOL_LIMIT:-default} in ${TMPDIR:-/tmp}"
  else
    args=("${slots[@]}" "${common[@]}")
    echo "bench-jfx: UJF x042 MkII, the same page from slot files, a reversed and a mirrored layer"
  fi
  bench_best "$runs" "$exe" "${args[@]}"
  bench_report
done
