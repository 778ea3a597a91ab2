#!/usr/bin/env bash
# A job sent over loopback to printersim against the same job written to
# /dev/null: the 1 m long, 64-inch wide, 1440 dpi, 2-bit, 4-channel job of
# bench-rasterjob.sh (PackBits on). rasterjob runs on core 0, printersim (a
# fresh one per run, keeping the stream in an unlinked temporary file and
# stopped once the job is delivered) on core 1. Prints MB/s of raster input
# both ways and their ratio, and rasterjob's processor time (user, and sys:
# the kernel, which over loopback copies every byte of the stream into the
# socket) and printersim's, with the ratio the loopback run would reach if it spent no more
# than the /dev/null run besides that sys time.
# Targets: at least 1 GB/s over loopback, and at least 0.9 times /dev/null.
#   BUILD_DIR   build folder (default build), configured and built here
#   RUNS        how many runs of each; the best is reported (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/bench-common.sh
bench_rasterjob_setup printersim

sim="$dir/tools/printersim/printersim"
args=("${cmyk_job[@]}")
times_file=$(mktemp)
out=$(mktemp)
trap 'rm -f "$out" "$times_file"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true' EXIT

# timed_run ARG...: one rasterjob run on core 0; sets run_line, run_mbs,
# run_user and run_sys (seconds of processor time).
timed_run() {
  local TIMEFORMAT='%U %S'
  { time taskset -c 0 "$exe" "$@" 2>"$out.err" >/dev/null; } 2>"$times_file"
  run_line=$(grep '^rasterjob: .* MB/s' "$out.err")
  rm -f "$out.err"
  run_mbs=$(sed -E 's/.*: ([0-9.]+) MB\/s.*/\1/' <<<"$run_line")
  read -r run_user run_sys <"$times_file"
}

# keep_best LABEL: echoes the run and keeps it in LABEL_{mbs,user,sys} when
# it is the fastest so far.
keep_best() {
  echo "  run $i: $run_line; cpu user $run_user s, sys $run_sys s"
  local best="${1}_mbs"
  if awk -v a="$run_mbs" -v b="${!best}" 'BEGIN { exit !(a > b) }'; then
    printf -v "${1}_mbs" '%s' "$run_mbs"
    printf -v "${1}_user" '%s' "$run_user"
    printf -v "${1}_sys" '%s' "$run_sys"
  fi
}

echo "bench-printersim: $width x $rows px, $dpi dpi, 2 bits, 4 channels, PackBits"
echo "to /dev/null:"
null_mbs=0
for i in $(seq 1 "$runs"); do
  timed_run "${args[@]}" -o /dev/null
  keep_best null
done

echo "to printersim over loopback:"
sim_mbs=0
for i in $(seq 1 "$runs"); do
  taskset -c 1 "$sim" --uid 0 --listen 127.0.0.1:0 --quiet >"$out" &
  pid=$!
  for _ in $(seq 1 100); do [ -s "$out" ] && break; sleep 0.05; done
  address=$(head -1 "$out")
  timed_run "${args[@]}" --device "$address"
  # printersim's processor time: when it is near the run's time, the
  # printer's side is what limits the rate.
  read -r -a stat <"/proc/$pid/stat"
  hz=$(getconf CLK_TCK)
  sim_cpu=$(awk -v u="${stat[13]}" -v s="${stat[14]}" -v hz="$hz" 'BEGIN { printf "user %.2f s, sys %.2f s", u / hz, s / hz }')
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
  run_line="$run_line; printersim $sim_cpu"
  keep_best sim
done

echo "to /dev/null:        $null_mbs MB/s (cpu user $null_user s, sys $null_sys s)"
echo "to printersim:       $sim_mbs MB/s (cpu user $sim_user s, sys $sim_sys s; target 1000 MB/s)"
awk -v s="$sim_mbs" -v n="$null_mbs" -v nu="$null_user" -v ns="$null_sys" -v su="$sim_user" -v ss="$sim_sys" 'BEGIN {
  printf "loopback / null:     %.2f (target 0.90)\n", s / n
  # The /dev/null run time plus only the extra kernel time of the loopback run.
  printf "kernel share:        %.2f s more sys, %.2f s more user over loopback; with the sys time alone added\n", ss - ns, su - nu
  printf "                     the ratio would be %.2f\n", (nu + ns) / (nu + ss)
  printf "verdict: throughput %s, ratio %s\n", (s >= 1000 ? "meets the target" : "BELOW the target"),
         (s >= 0.9 * n ? "meets the target" : "BELOW the target") }'
