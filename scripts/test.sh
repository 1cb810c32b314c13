#!/usr/bin/env bash
# Builds Quiltmap (installing what it needs) and runs every test.
# The tests use Qt's offscreen platform and a tile server of their own on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cd build
ctest --output-on-failure "$@"
