#!/usr/bin/env bash
# Installs the Debian packages starhold needs: `install-deps.sh game` those that
# building and playing the game need, `install-deps.sh` (or `all`) those and the
# ones the tests, fuzzing, benchmarks and asset scripts need too.
# Quick and silent when everything is already present.
set -euo pipefail

# Building and running the game and starhold-bot.
game_packages=(
  cmake g++ make pkg-config
  libsdl1.2-dev libsdl-mixer1.2-dev libsdl-image1.2-dev libsdl-net1.2-dev libx11-dev
  libglu1-mesa-dev libgl1-mesa-dri
)
# The tests and fuzzing (GoogleTest, clang's libFuzzer, a private X server and
# keys for the end-to-end test, SDL 2 for sdl12-compat), the benchmarks' plots,
# and the scripts that make the images and sounds.
test_packages=(
  clang libclang-rt-14-dev
  libgtest-dev
  xvfb xauth xdotool x11-utils iproute2 procps
  libsdl2-2.0-0
  imagemagick sox libsox-fmt-all
  python3 python3-xlib python3-matplotlib
)

case "${1:-all}" in
  game) packages=("${game_packages[@]}") ;;
  all) packages=("${game_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [game|all]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null; then sudo="sudo"; else
    echo "Missing packages (${missing[*]}) and no root rights to install them." >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
