#!/usr/bin/env bash
# A job sent over loopback to printersim against the same job written to
# /dev/null: the 1 m long, 64-inch wide, 1440 dpi, 2-bit, 4-channel job of
# bench-rasterjob.sh (PackBits on). rasterjob runs on core 0, printersim (a
# fresh one per run, keeping the stream in an unlinked temporary file and
# stopped once the job is delivered) on core 1. Prints MB/s of raster input
# both ways and their ratio.
# Targets: at least 1 GB/s over loopback, and at least 0.9 times /dev/null.
#   BUILD_DIR   build folder (default build), configured and built here
#   RUNS        how many runs of each; the best is reported (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
bench_rasterjob_setup printersim

sim="$dir/tools/printersim/printersim"
args=("${cmyk_job[@]}")

echo "bench-printersim: $width x $rows px, $dpi dpi, 2 bits, 4 channels, PackBits"
echo "to /dev/null:"
bench_best "$runs" "$exe" "${args[@]}" -o /dev/null
null_mbs=$best_mbs

echo "to printersim over loopback:"
out=$(mktemp)
trap 'rm -f "$out"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT
sim_mbs=0
for i in $(seq 1 "$runs"); do
  taskset -c 1 "$sim" --uid 0 --listen 127.0.0.1:0 --quiet >"$out" &
  pid=$!
  for _ in $(seq 1 100); do [ -s "$out" ] && break; sleep 0.05; done
  address=$(head -1 "$out")
  line=$(taskset -c 0 "$exe" "${args[@]}" --device "$address" 2>&1 >/dev/null | grep '^rasterjob: .* MB/s')
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
  mbs=$(sed -E 's/.*: ([0-9.]+) MB\/s.*/\1/' <<<"$line")
  echo "  run $i: $line"
  if awk -v a="$mbs" -v b="$sim_mbs" 'BEGIN { exit !(a > b) }'; then sim_mbs=$mbs; fi
done

echo "to /dev/null:        $null_mbs MB/s"
echo "to printersim:       $sim_mbs MB/s (target 1000 MB/s)"
awk -v s="$sim_mbs" -v n="$null_mbs" 'BEGIN {
  printf "loopback / null:     %.2f (target 0.90)\n", s / n
  printf "verdict: throughput %s, ratio %s\n", (s >= 1000 ? "meets the target" : "BELOW the target"),
         (s >= 0.9 * n ? "meets the target" : "BELOW the target") }'
