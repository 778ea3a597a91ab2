# Shared by the rasterjob benchmark scripts (sourced, not run).

# bench_build DIR TARGET...: configures DIR when it has no build yet and
# builds the targets.
bench_build() {
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  ninja -C "$dir" "$@" >/dev/null
}

# bench_best RUNS EXE ARG...: runs the job RUNS times on core 0, echoes each
# run's summary line and keeps the fastest in best_mbs and best_line.
bench_best() {
  local runs=$1 exe=$2 i line mbs; shift 2
  best_mbs=0
  best_line=""
  for i in $(seq 1 "$runs"); do
    line=$(taskset -c 0 "$exe" "$@" 2>&1 >/dev/null | grep '^rasterjob: .* MB/s')
    mbs=$(sed -E 's/.*: ([0-9.]+) MB\/s.*/\1/' <<<"$line")
    echo "  run $i: $line"
    if awk -v a="$mbs" -v b="$best_mbs" 'BEGIN { exit !(a > b) }'; then
      best_mbs=$mbs
      best_line=$line
    fi
  done
}

# bench_page: the page of every raster benchmark, 1 m long and 64 inch wide
# at 1440 dpi: sets dpi, width (pixels) and rows ($ROWS where the script
# lets it be set).
bench_page() {
  dpi=1440
  width=$((64 * dpi))                                                          # 92160 pixels
  rows=${ROWS:-$(awk -v d=$dpi 'BEGIN { printf "%d", 1000 / 25.4 * d + 0.5 }')}  # 1 m
}

# The job of bench-rasterjob.sh and bench-printersim.sh, without its
# destination: the page above, 2 bits, four channels, PackBits, its rows
# repeated from a precomputed halftoned tile.
bench_page
cmyk_job=(--pattern tile --width "$width" --height "$rows" --dpi "$dpi" --bits 2
          --channels 0,1,2,3 --compress --quiet --stats)

# bench_rasterjob_setup [TARGET...]: the build folder ($BUILD_DIR, default
# build), the run count ($RUNS, default 3) and the rasterjob of the raster
# benchmarks, built with the plug-in and the TARGETs.
bench_rasterjob_setup() {
  dir=${BUILD_DIR:-build}
  runs=${RUNS:-3}
  bench_build "$dir" rasterjob mimaki "$@"
  exe="$dir/tools/rasterjob/rasterjob"
}

# bench_report [LABEL]: the best run's MB/s, peak resident size and spilled
# bytes, against 500 MB/s and 128 MiB.
bench_report() {
  local rss spilled
  rss=$(sed -E 's/.*peak resident ([0-9.]+) MiB.*/\1/' <<<"$best_line")
  spilled=$(sed -E 's/.* ([0-9]+) bytes spilled.*/\1/' <<<"$best_line")
  echo "best${1:+ $1}: $best_mbs MB/s of raster; peak resident $rss MiB; $spilled bytes spilled"
  awk -v m="$best_mbs" -v r="$rss" 'BEGIN {
    printf "target 500 MB/s: %s; target peak resident < 128 MiB: %s\n", (m >= 500 ? "met" : "NOT met"),
           (r < 128 ? "met" : "NOT met") }'
}
