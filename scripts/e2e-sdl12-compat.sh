#!/usr/bin/env bash
# Runs the end-to-end test with the game loaded against sdl12-compat, the
# SDL 1.2 of newer distributions (SDL 1.2's interface over SDL2): Debian's
# libsdl1.2-compat package is unpacked into a temporary folder, not installed,
# and put first on the library path.
# Usage: scripts/e2e-sdl12-compat.sh [build folder]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

download() { (cd "$work" && apt-get download -qq libsdl1.2-compat 2>/dev/null); }
if ! download; then
  apt-get update -qq && download
fi
dpkg-deb -x "$work"/libsdl1.2-compat_*.deb "$work/root"
library=$(find "$work/root" -name 'libSDL-1.2.so.0' | head -n 1)
[[ -n "$library" ]] || { echo "e2e-sdl12-compat: no libSDL-1.2.so.0 in the package" >&2; exit 1; }
export LD_LIBRARY_PATH="$(dirname "$library")${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

# Make sure the game really loads the unpacked library, not the system's SDL 1.2.
# (ldd's output is taken whole first: grep -q would stop reading early, and
# under pipefail the broken pipe would fail the check at random.)
loaded=$(ldd "$build/starhold")
if [[ $loaded != *"$work"* ]]; then
  echo "e2e-sdl12-compat: the game does not load $library" >&2
  exit 1
fi
echo "e2e with sdl12-compat ($(dpkg-deb -f "$work"/libsdl1.2-compat_*.deb Version))"
/usr/bin/python3 tests/e2e/e2e_test.py --binary "$build/starhold"
