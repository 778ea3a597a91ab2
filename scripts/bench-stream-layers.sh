#!/usr/bin/env bash
# Stream-driver throughput: a 1 m long, 64-inch, 1440 dpi, 2-bit job with
# CMYK, white and varnish through the UJF7151 plus II (UID 53) and the
# JFX200EX (UID 46), three layers (White+Color, Color mirrored,
# Color+Varnish), to /dev/null, rows repeated from a halftoned tile,
# PackBits on. Every row is recorded into the spool stores and played back
# once per layer. Prints MB/s of raster input, peak resident size and the
# bytes the stores put into temporary files, per driver.
# Targets: at least 500 MB/s on one core, spilling included; peak resident
# under 128 MiB with the default spool limit.
#   BUILD_DIR     build folder (default build), configured and built here
#   RUNS          how many runs; the best is reported (default 3)
#   SPOOL_LIMIT   --spool-limit (default: the host's, 64M)
#   ROWS          raster rows (default 1 m at 1440 dpi)
#   UIDS          the models to run (default "53 46")
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
bench_rasterjob_setup

for uid in ${UIDS:-53 46}; do
  p=DP$uid
  args=(--set PrEnv_UID=$uid --slots 0:4,1:2,2:1,3:3,34:254,30:252 --channels 0,1,2,3,34,30
        --set ${p}_nNumberOfLayers=3 --set ${p}_Layer1.nType=3 --set ${p}_Layer2.nType=0
        --set ${p}_Layer2.bMirror=1 --set ${p}_Layer3.nType=6
        --pattern tile --width "$width" --height "$rows" --dpi "$dpi" --bits 2
        --compress --quiet --stats -o /dev/null)
  [ -n "${SPOOL_LIMIT:-}" ] && args+=(--spool-limit "$SPOOL_LIMIT")
  echo "bench-stream-layers UID $uid: $width x $rows px, $dpi dpi, 2 bits, CMYK + white + varnish, 3 layers" \
       "(one mirrored), PackBits, spool limit ${SPOOL_LIMIT:-default} in ${TMPDIR:-/tmp}"
  bench_best "$runs" "$exe" "${args[@]}"
  bench_report "UID $uid"
done
