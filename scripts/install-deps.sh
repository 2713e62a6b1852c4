#!/usr/bin/env bash
# Installs the Debian packages that building, testing and playing starhold need.
# Quick and silent when everything is already present.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang libclang-rt-14-dev
  libgtest-dev
  libsdl1.2-dev libsdl-mixer1.2-dev libsdl-image1.2-dev libsdl-net1.2-dev
  libglu1-mesa-dev libgl1-mesa-dri
  xvfb xauth xdotool x11-utils
  libsdl2-2.0-0
  imagemagick sox libsox-fmt-all
  python3 python3-xlib python3-matplotlib
)

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
