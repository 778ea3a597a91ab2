#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build, test and benchmark.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libtiff-dev
  libgutenprint-dev
  clang libclang-rt-14-dev
  cups cups-client cups-filters libcups2-dev libcupsimage2-dev ghostscript poppler-utils
  libcpp-httplib-dev chromium
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The browser tests' DevTools client, from the committed lock file. Node
# comes from Debian when the machine has none.
if ! command -v npm >/dev/null 2>&1; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends nodejs npm
fi
browser_tests="$(cd "$(dirname "$0")/.." && pwd)/tests/ui/browser"
# Installed again when the lock file changed since the last install.
stamp="$browser_tests/node_modules/.installed-lock.json"
if ! cmp -s "$browser_tests/package-lock.json" "$stamp"; then
  npm ci --prefix "$browser_tests" --no-audit --no-fund --loglevel=error
  cp "$browser_tests/package-lock.json" "$stamp"
fi
