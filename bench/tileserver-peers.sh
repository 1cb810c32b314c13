#!/usr/bin/env bash
# quiltmap-tileserver side by side with its peers in one run, everything on 127.0.0.1; every wrk
# run is bounded in time (and the uncached ones in requests). A peer that is not installed is
# skipped. Usage: bash bench/tileserver-peers.sh [BUILD_FOLDER]   (DURATION=seconds, default 8)
#  - uncached tiles of one GeoTIFF with 1 and with 2 workers: quiltmap-tileserver against MapServer
#    (Debian's mapserv as FastCGI under spawn-fcgi, behind nginx; WMS GetMap of the same squares,
#    200 x 200, bilinear, JPEG quality 85). WMS names no CRS with the program's own ellipsoid, so
#    MapServer warps into EPSG:32610, the same UTM zone on WGS 84: the same work per pixel.
#  - the floor: GDAL warping and encoding alone, one thread (bench_tileserver);
#  - one cached tile: quiltmap-tileserver against nginx serving the same bytes from a file.
# Cached runs are bounded by time alone: a wrk script counting responses would slow wrk itself.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
duration=${DURATION:-8}
work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  if [[ -f $work/fcgi.pid ]]; then
    for pid in $(cat "$work/fcgi.pid"); do kill -KILL "$pid" 2>/dev/null || true; done
  fi
  rm -rf "$work"
}
trap cleanup EXIT

have() { command -v "$1" >/dev/null 2>&1; }
wait_ready() {
  for _ in $(seq 1 300); do
    [[ $(curl -s -o /dev/null -w '%{http_code}' -m 2 "$1") == 200 ]] && return 0
    sleep 0.1
  done
  echo "nothing answers $1" >&2
  return 1
}
declare -A rate
# measure NAME wrk-arguments...: one bounded wrk run; its rate is kept under NAME.
measure() {
  local name=$1 output
  shift
  output=$(timeout $((duration + 30)) wrk -t2 --latency "$@")
  echo "$output" | grep -E "Requests/sec|Latency  |Non-2xx|Socket errors" | sed "s/^/  /"
  rate[$name]=$(echo "$output" | awk '/^Requests\/sec/ { print $2 }')
  if echo "$output" | grep -q "Non-2xx"; then rate[$name]="failed"; fi
}
ratio() { [[ ${rate[$1]:-} =~ ^[0-9.]+$ && ${rate[$2]:-} =~ ^[0-9.]+$ ]] && awk "BEGIN { printf \"%.2f\", ${rate[$1]} / ${rate[$2]} }" || echo "-"; }

# 16 x 12 km of Seattle at 1.1 m: more 200 m tiles (78 x 56 used) than a run can ask for.
source=$build/bench/peers-photo.tif
if [[ ! -f $source ]]; then
  echo "== writing the GeoTIFF once (16 x 12 km, 1.1 m pixels, geographic): $source"
  "$build/bench/bench_tileserver" --write-source "$source.part" 14400 10800
  mv "$source.part" "$source"
fi
tiles=(10 10 2727 26310 78 56 2184 2)
first_tile="tile.ashx?T=1&S=10&X=2740&Y=26340&Z=10"

echo "== the floor: GDAL warping and encoding alone, one thread"
floor_ms=$("$build/bench/bench_tileserver" --benchmark_filter=BM_RenderGeoTiffPhoto1m --benchmark_min_time=3 \
  --benchmark_format=csv 2>/dev/null | awk -F, '/BM_RenderGeoTiffPhoto1m/ { print $3 }')
rate[floor]=$(awk "BEGIN { printf \"%.2f\", 1000 / $floor_ms }")
echo "  ${floor_ms} ms a tile: ${rate[floor]} tiles/s"

nginx_conf() {
  cat <<EOF
$([[ $(id -u) -eq 0 ]] && echo "user $(id -un);")
worker_processes auto;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 1024; }
http {
  include /etc/nginx/mime.types;
  access_log $work/nginx-access.log;
  sendfile on;
  tcp_nopush on;
  client_body_temp_path $work/nginx-body;
  proxy_temp_path $work/nginx-proxy;
  fastcgi_temp_path $work/nginx-fastcgi;
  uwsgi_temp_path $work/nginx-uwsgi;
  scgi_temp_path $work/nginx-scgi;
  server {
    listen 127.0.0.1:18442;
    location / { root $work/static; }
  }
  server {
    listen 127.0.0.1:18443;
    location / {
      include /etc/nginx/fastcgi_params;
      fastcgi_param SCRIPT_FILENAME /usr/bin/mapserv;
      fastcgi_pass 127.0.0.1:18444;
    }
  }
}
EOF
}

if have nginx; then
  nginx_conf >"$work/nginx.conf"
  mkdir -p "$work/static"
  nginx -p "$work" -e "$work/nginx-error.log" -c "$work/nginx.conf" -g "daemon off;" &
  pids+=($!)
fi

peer_mapserver=false
if have nginx && have spawn-fcgi && have mapserv; then
  peer_mapserver=true
  cat >"$work/peer.map" <<EOF
MAP
  NAME "peer"
  SIZE 200 200
  EXTENT 545000 5261000 562000 5274000
  PROJECTION "init=epsg:32610" END
  OUTPUTFORMAT
    NAME "jpeg"
    DRIVER "AGG/JPEG"
    MIMETYPE "image/jpeg"
    IMAGEMODE RGB
    EXTENSION "jpg"
    FORMATOPTION "QUALITY=85"
  END
  WEB
    METADATA
      "wms_title" "peer"
      "wms_srs" "EPSG:32610"
      "wms_enable_request" "GetMap"
      "wms_onlineresource" "http://127.0.0.1:18443/?"
    END
  END
  LAYER
    NAME "photo"
    TYPE RASTER
    STATUS ON
    DATA "$source"
    PROJECTION "init=epsg:4326" END
    PROCESSING "RESAMPLE=BILINEAR"
  END
END
EOF
  printf 'CONFIG\n  ENV\n    MS_MAPFILE "%s"\n  END\nEND\n' "$work/peer.map" >"$work/mapserver.conf"
else
  echo "== MapServer skipped: needs nginx, spawn-fcgi and mapserv (packages nginx spawn-fcgi cgi-mapserver)"
fi

port=18441
# The two servers take turns, so that both see the same machine.
for workers in 1 2; do
  mkdir -p "$work/cache-$workers"
  "$build/quiltmap-tileserver" --listen 127.0.0.1:$port --photo "$source" --topo "$source" --cache "$work/cache-$workers" \
    --workers $workers 2>"$work/quiltmap-$workers.log" &
  pids+=($!)
  wait_ready "http://127.0.0.1:$port/tile.ashx?T=1&S=10&X=2700&Y=26300&Z=10"
  echo "== quiltmap-tileserver, uncached tiles, $workers worker(s), 4 connections, ${duration} s"
  measure quiltmap-$workers -c4 -d${duration}s -s bench/distinct-tiles.lua "http://127.0.0.1:$port" -- "${tiles[@]}"
  kill -TERM "${pids[-1]}"; wait "${pids[-1]}" || true; unset 'pids[-1]'
  if $peer_mapserver; then
    MAPSERVER_CONFIG_FILE=$work/mapserver.conf spawn-fcgi -a 127.0.0.1 -p 18444 -F $workers -P "$work/fcgi.pid" \
      -- /usr/bin/mapserv >/dev/null
    wait_ready "http://127.0.0.1:18443/?SERVICE=WMS&VERSION=1.1.1&REQUEST=GetMap&LAYERS=photo&STYLES=&SRS=EPSG:32610&BBOX=540000,5260000,540200,5260200&WIDTH=200&HEIGHT=200&FORMAT=image/jpeg"
    echo "== MapServer (FastCGI behind nginx), uncached tiles, $workers worker(s), 4 connections, ${duration} s"
    measure mapserver-$workers -c4 -d${duration}s -s bench/distinct-tiles.lua "http://127.0.0.1:18443" -- "${tiles[@]}" wms
    # mapserv under FastCGI outlives SIGTERM while it waits for a request.
    for pid in $(cat "$work/fcgi.pid"); do
      kill -KILL "$pid"
      for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    done
    rm "$work/fcgi.pid"
  fi
done

"$build/quiltmap-tileserver" --listen 127.0.0.1:$port --photo "$source" --topo "$source" --cache "$work/cache-2" \
  --workers 2 2>"$work/quiltmap-cached.log" &
pids+=($!)
wait_ready "http://127.0.0.1:$port/$first_tile"
curl -s -o "$work/static/tile.jpg" --create-dirs "http://127.0.0.1:$port/$first_tile"
echo "== quiltmap-tileserver, one cached tile, 16 connections, ${duration} s"
measure quiltmap-cached -c16 -d${duration}s "http://127.0.0.1:$port/$first_tile"
if have nginx; then
  wait_ready "http://127.0.0.1:18442/tile.jpg"
  echo "== nginx, the same tile from a file, 16 connections, ${duration} s"
  measure nginx-cached -c16 -d${duration}s "http://127.0.0.1:18442/tile.jpg"
else
  echo "== nginx skipped: not installed (package nginx)"
fi

echo "== ratios (quiltmap-tileserver's rate to the peer's)"
echo "  uncached, 1 worker:  $(ratio quiltmap-1 mapserver-1) of MapServer ($(ratio quiltmap-1 floor) of GDAL warping alone)"
echo "  uncached, 2 workers: $(ratio quiltmap-2 mapserver-2) of MapServer"
echo "  cached tile:         $(ratio quiltmap-cached nginx-cached) of nginx"
