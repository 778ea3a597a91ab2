#!/usr/bin/env bash
# Builds, runs the job runner on its embedded default printer and shows what
# the printer would print: the stream decoder's summary and preview PNGs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
bin=${BUILD_DIR:-build}
out=out
mkdir -p "$out/preview"
"$bin/tools/rasterjob/rasterjob" -o "$out/job.prn" --json | tee "$out/job.json"
echo
"$bin/tools/streamdump/streamdump" --json --png-dir "$out/preview" "$out/job.prn" | tee "$out/stream.json"
echo
echo "stream: $out/job.prn, previews: $(ls "$out/preview" | sed "s|^|$out/preview/|" | tr '\n' ' ')"
