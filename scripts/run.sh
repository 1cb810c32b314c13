#!/usr/bin/env bash
# Builds Quiltmap and its tile server (installing what they need; not the tests) and starts it.
# The program starts the tile server itself when it needs one, as the installed package does.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh Quiltmap quiltmap-tileserver quiltmap-make
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "Quiltmap is a desktop program and needs a display: run this from a graphical session." >&2
  exit 1
fi
exec ./build/Quiltmap
