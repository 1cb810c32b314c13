#!/usr/bin/env bash
# Load runs of quiltmap-tileserver with wrk, on 127.0.0.1 only; each run is bounded in time and
# requests and stops by itself. Usage: bash bench/tileserver-load.sh [BUILD_FOLDER]
# A run of distinct tiles that reaches its bound of requests early still reports over its whole
# duration: its rate is then a lower bound.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

wait_ready() {
  for _ in $(seq 1 300); do
    curl -s -o /dev/null -m 2 "http://127.0.0.1:$1/tile.ashx" && return 0
    sleep 0.1
  done
  echo "server on port $1 did not start:" >&2; cat "$work"/*.log >&2
  return 1
}
rss_kib() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

echo "== writing the local GeoTIFF (Seattle, 1.1 m pixels, geographic)"
"$build/bench/bench_tileserver" --write-source "$work/photo.tif"

port=18431
"$build/quiltmap-tileserver" --listen 127.0.0.1:$port --photo "$work/photo.tif" --topo "$work/photo.tif" \
  --cache "$work/cache" --workers 2 2>"$work/geotiff.log" &
pids+=($!)
geotiff_pid=$!
wait_ready $port
echo "resident memory at start: $(rss_kib $geotiff_pid) KiB"

cached="http://127.0.0.1:$port/tile.ashx?T=1&S=10&X=2730&Y=26360&Z=10"
curl -s -o /dev/null "$cached"
echo "== cached tile, 16 connections, 10 s"
timeout 60 wrk -t2 -c16 -d10s --latency "$cached"

echo "== distinct tiles from the GeoTIFF at 1 m/pixel, 4 connections, 10 s (at most 2,128 tiles)"
timeout 60 wrk -t2 -c4 -d10s --latency -s bench/distinct-tiles.lua "http://127.0.0.1:$port" -- 10 10 2716 26342 38 28 1064 2
echo "tiles rendered so far: $(grep -c 'cache-miss' "$work/geotiff.log")"
echo "resident memory after them: $(rss_kib $geotiff_pid) KiB"

echo "== 200 connections at once on a cached tile, 10 s"
timeout 60 wrk -t2 -c200 -d10s --timeout 10s --latency "$cached"
status=$(curl -s -o /dev/null -w '%{http_code}' -m 10 "$cached")
echo "still serving afterwards: HTTP $status"

port2=18432
mkdir -p "$work/cache2"
"$build/quiltmap-tileserver" --offline --listen 127.0.0.1:$port2 --cache "$work/cache2" --workers 2 2>"$work/embedded.log" &
pids+=($!)
wait_ready $port2
# The first request waits for the embedded data to be prepared; not measured.
curl -s -o /dev/null -m 120 "http://127.0.0.1:$port2/tile.ashx?T=1&S=14&X=100&Y=1600&Z=10"
echo "== embedded map, distinct tiles at 16 m/pixel around Puget Sound, 2 connections, 10 s (at most 3,200 tiles)"
timeout 60 wrk -t2 -c2 -d10s --latency -s bench/distinct-tiles.lua "http://127.0.0.1:$port2" -- 14 10 150 1630 40 40 1600 2
