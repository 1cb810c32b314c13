#!/usr/bin/env bash
# Builds Quiltmap (installing what it needs) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "Quiltmap is a desktop program and needs a display: run this from a graphical session." >&2
  exit 1
fi
exec ./build/Quiltmap
