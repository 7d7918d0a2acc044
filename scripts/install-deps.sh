#!/usr/bin/env bash
# Installs the Debian packages Morvista needs to build, run and test, and only
# those that are missing. Runs apt-get directly as root, through sudo otherwise.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libglu1-mesa-dev libegl-dev libgl1-mesa-dri libxcb1-dev
  liblua5.4-dev libsdl2-mixer-dev
  # elevation import of the scene generator (the viewer does not link GDAL);
  # gdal-bin's gdal_translate makes test rasters and the README's DEM
  libgdal-dev gdal-bin
  libgtest-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo_cmd=()
else
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
