#!/usr/bin/env bash
# Installs what the build needs (Debian 12), then configures and builds Quiltmap into build/:
# everything, or only the targets named as arguments. Safe to run again: it installs only what is
# missing and rebuilds only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  xvfb openbox xdotool imagemagick
  g++ cmake ninja-build ccache pkg-config gdal-bin
  qt6-base-dev qt6-image-formats-plugins libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
  libgdal-dev libjpeg-dev libgmt-dev gmt gmt-gshhg-high curl wrk
  nginx cgi-mapserver spawn-fcgi
  qt6-svg-dev
  desktop-file-utils appstream lintian dpkg-dev file
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  sudo=()
  if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
fi

if [[ ! -f build/build.ninja ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
if (($#)); then
  cmake --build build --target "$@"
else
  cmake --build build
fi
