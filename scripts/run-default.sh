#!/usr/bin/env bash
# Builds, runs the job runner with no arguments (its embedded default printer
# and pattern, writing job.prn) in out/, and shows what the printer would
# print: the stream decoder's summary and preview PNGs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
bin=$(cd "${BUILD_DIR:-build}" && pwd)
mkdir -p out/preview
cd out
"$bin/tools/rasterjob/rasterjob"
echo
"$bin/tools/streamdump/streamdump" --json --png-dir preview job.prn | tee stream.json
echo
echo "stream: out/job.prn; previews: $(ls preview | sed 's|^|out/preview/|' | tr '\n' ' ')"
