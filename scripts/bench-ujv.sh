#!/usr/bin/env bash
# Raster throughput of the UCJV300, UJV100, TxF150 (DTF) and JV58C drivers
# through rasterjob: 1 m long, 64-inch wide, 1440 dpi, 2-bit jobs (PackBits
# on) to /dev/null. Prints MB/s of raster input and the peak resident size
# of each job.
#   UCJV300  mode 11 (mirrored colour, white, midlayer, white, colour: five
#            layer sections a row), CMYK + white + midlayer, OFFSET rows
#   UJV100   printing way 4 (colour, then white), CMYK + white
#   DTF      CMYK + white
#   JV58C    eight slots in four pairs, 1080 dpi second resolution
# Targets: 1 GB/s on one core; under 64 MiB.
#   BUILD_DIR   build folder (default build), configured and built here
#   RUNS        how many runs of each job; the best is reported (default 3)
#   ROWS        raster rows (default 1 m at 1440 dpi)
#   OFFSET      the UCJV300's layer offset in rows (default 100)
#   JOBS        which jobs, of "ucjv300 ujv100 dtf jv58c" (default all)
set -euo pipefail
cd "$(dirname "$0")/.."
offset=${OFFSET:-100}
jobs=${JOBS:-ucjv300 ujv100 dtf jv58c}
. scripts/bench-common.sh
bench_rasterjob_setup

common=(--pattern tile --width "$width" --height "$rows" --bits 2 --compress --quiet --stats -o /dev/null)

verdicts=()
for job in $jobs; do
  case $job in
    ucjv300)
      what="UCJV300, mode 11 (5 layer sections, first mirrored), CMYK + white + midlayer, layer offset $offset rows"
      args=(--set PrEnv_UID=38 --set DP35_eWhiteOrder=11 --set "DP35_nLayerOffset=$offset"
            --slots 0:4,1:1,2:2,3:3,34:10,24:20 --channels 0,1,2,3,34,24 --dpi "$dpi") ;;
    ujv100)
      what="UJV100, printing way 4 (colour, then white), CMYK + white"
      args=(--set PrEnv_UID=47 --set DP47_m_nPrintingWay=4 --slots 0:4,1:1,2:2,3:3,34:10
            --channels 0,1,2,3,34 --dpi "$dpi") ;;
    dtf)
      what="TxF150 (DTF), CMYK + white"
      args=(--set PrEnv_UID=54 --set MimakiColorSequence=4,2,1,0,10 --channels 0,1,2,3,34 --dpi "$dpi") ;;
    jv58c)
      what="JV58C special, eight slots in four pairs, 1440x1080 dpi, interleave on"
      args=(--set PrEnv_UID=13 --set JV58CSpecial=1 --set nFunctModeId=4 --slots 0,1,2,3,4,5,6,7
            --channels 0,1,2,3,4,5,6,7 --dpi "${dpi}x1080" --interleave) ;;
    *) echo "bench-ujv: unknown job $job" >&2; exit 2 ;;
  esac
  echo "bench-ujv: $job: $what; $width x $rows px, 2 bits, PackBits"
  bench_best "$runs" "$exe" "${args[@]}" "${common[@]}"
  rss=$(sed -E 's/.*peak resident ([0-9.]+) MiB.*/\1/' <<<"$best_line")
  echo "  raster throughput: $best_mbs MB/s (target 1000 MB/s); peak resident: $rss MiB (target under 64 MiB)"
  verdicts+=("$(awk -v j="$job" -v m="$best_mbs" -v r="$rss" 'BEGIN {
    printf "%-8s throughput %s, memory %s", j, (m >= 1000 ? "meets the target" : "BELOW the target"),
           (r < 64 ? "meets the target" : "ABOVE the target") }')")
done
for v in "${verdicts[@]}"; do
  echo "verdict: $v"
done
