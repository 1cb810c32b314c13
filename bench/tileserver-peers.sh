#!/usr/bin/env bash
# quiltmap-tileserver side by side with its peers in one run, everything on 127.0.0.1; every wrk
# run is bounded in time (and the uncached ones in requests). A peer that is not installed is
# skipped. Usage: bash bench/tileserver-peers.sh [BUILD_FOLDER]
# ROUNDS (default 3) runs of DURATION seconds (default 5) each, the servers taking turns, so that a
# machine shared with other work treats them alike; besides the rates, the CPU time the server's
# processes took per request, which depends less on what else the machine does.
#  - uncached tiles of one GeoTIFF with 1 and with 2 workers: quiltmap-tileserver against MapServer
#    (Debian's mapserv as FastCGI under spawn-fcgi, behind nginx; WMS GetMap of the same squares,
#    200 x 200, bilinear, JPEG quality 85). WMS names no CRS with the program's own ellipsoid, so
#    MapServer warps into EPSG:32610, the same UTM zone on WGS 84: the same work per pixel.
#  - the floor: GDAL warping and encoding alone, one thread (bench_tileserver --floor);
#  - one cached tile: quiltmap-tileserver against nginx serving the same bytes from a file, and
#    the shipped deployment (deploy/nginx: nginx's cache in front of the tile server) as well.
# Cached runs are bounded by time alone: a wrk script counting responses would slow wrk itself.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
duration=${DURATION:-5}
rounds=${ROUNDS:-3}
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
declare -A requests seconds ticks failed
rate() { [[ -n ${seconds[$1]:-} ]] && awk "BEGIN { printf \"%.1f\", ${requests[$1]} / ${seconds[$1]} }"; }
cpu_ticks() {
  local sum=0 pid
  for pid in "$@"; do
    [[ -r /proc/$pid/stat ]] && sum=$((sum + $(awk '{ print $14 + $15 }' "/proc/$pid/stat")))
  done
  echo $sum
}
# measure NAME "PIDS" wrk-arguments...: one bounded wrk run, added to NAME's totals with the CPU
# time the processes PIDS took meanwhile.
measure() {
  local name=$1 pids=$2 output before after
  shift 2
  before=$(cpu_ticks $pids)
  output=$(timeout $((duration + 30)) wrk -t2 "$@")
  after=$(cpu_ticks $pids)
  if echo "$output" | grep -q "Non-2xx"; then
    failed[$name]=1
    echo "$output" | sed "s/^/  /"
  fi
  read -r n s < <(echo "$output" | awk '/requests in/ { gsub(/[^0-9.]/, "", $4); print $1, $4 }')
  requests[$name]=$(( ${requests[$name]:-0} + n ))
  seconds[$name]=$(awk "BEGIN { print ${seconds[$name]:-0} + $s }")
  ticks[$name]=$(( ${ticks[$name]:-0} + after - before ))
  echo "  $name: $(awk "BEGIN { printf \"%.1f\", $n / $s }") requests/s"
}
ratio() {
  local a b
  a=$(rate "$1") b=$(rate "$2")
  [[ -n $a && -n $b && -z ${failed[$1]:-} && -z ${failed[$2]:-} ]] && awk "BEGIN { printf \"%.2f\", $a / $b }" || echo "-"
}
cpu_ms() { awk "BEGIN { printf \"%.3f\", ${ticks[$1]} * 1000 / $(getconf CLK_TCK) / ${requests[$1]} }"; }

# 16 x 12 km of Seattle at 1.1 m: more 200 m tiles (78 x 56 used) than a run can ask for.
source=$build/bench/peers-photo.tif
if [[ ! -f $source ]]; then
  echo "== writing the GeoTIFF once (16 x 12 km, 1.1 m pixels, geographic): $source"
  "$build/bench/bench_tileserver" --write-source "$source.part" 14400 10800
  mv "$source.part" "$source"
fi
tiles=(10 10 2727 26310 78 56 2184 2)
first_tile="tile.ashx?T=1&S=10&X=2740&Y=26340&Z=10"

echo "== the floor: GDAL warping and encoding alone, the same tiles, one thread"
floor_ms=$("$build/bench/bench_tileserver" --floor "$source")
requests[floor]=1000 seconds[floor]=$floor_ms
echo "  ${floor_ms} ms a tile: $(rate floor) tiles/s"

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
  include $work/site.conf;
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
  sed -e "s#listen 8420;#listen 127.0.0.1:18445;#; s#127.0.0.1:842[12]#127.0.0.1:18441#; s#/var/cache/nginx#$work#; s#/var/log/nginx#$work#" \
    deploy/nginx/quiltmap-tiles.conf >"$work/site.conf"
  mkdir -p "$work/static"
  nginx -p "$work" -e "$work/nginx-error.log" -c "$work/nginx.conf" -g "daemon off;" &
  pids+=($!)
  nginx_master=$!
  wait_ready "http://127.0.0.1:18442/"  || true
fi
nginx_pids() { echo "$nginx_master $(cat /proc/"$nginx_master"/task/*/children 2>/dev/null)"; }

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
fi

port=18441
start_quiltmap() {
  "$build/quiltmap-tileserver" --listen 127.0.0.1:$port --photo "$source" --topo "$source" --cache "$1" \
    --workers "$2" 2>>"$work/quiltmap.log" &
  quiltmap=$!
  pids+=($quiltmap)
}
stop_quiltmap() { kill -TERM "$quiltmap"; wait "$quiltmap" || true; }

# A fresh cache folder for every run of quiltmap-tileserver: every tile of a run is rendered.
for workers in 1 2; do
  echo "== uncached tiles, $workers worker(s), 4 connections, $rounds rounds of ${duration} s"
  for round in $(seq 1 "$rounds"); do
    start_quiltmap "$work/cache-$workers-$round" $workers
    wait_ready "http://127.0.0.1:$port/tile.ashx?T=1&S=10&X=2700&Y=26300&Z=10"
    measure quiltmap-$workers "$quiltmap" -c4 -d${duration}s -s bench/distinct-tiles.lua "http://127.0.0.1:$port" -- "${tiles[@]}"
    stop_quiltmap
    if $peer_mapserver; then
      MAPSERVER_CONFIG_FILE=$work/mapserver.conf spawn-fcgi -a 127.0.0.1 -p 18444 -F $workers -P "$work/fcgi.pid" \
        -- /usr/bin/mapserv >/dev/null
      wait_ready "http://127.0.0.1:18443/?SERVICE=WMS&VERSION=1.1.1&REQUEST=GetMap&LAYERS=photo&STYLES=&SRS=EPSG:32610&BBOX=540000,5260000,540200,5260200&WIDTH=200&HEIGHT=200&FORMAT=image/jpeg"
      measure mapserver-$workers "$(cat "$work/fcgi.pid") $(nginx_pids)" -c4 -d${duration}s -s bench/distinct-tiles.lua \
        "http://127.0.0.1:18443" -- "${tiles[@]}" wms
      # mapserv under FastCGI outlives SIGTERM while it waits for a request.
      for pid in $(cat "$work/fcgi.pid"); do
        kill -KILL "$pid"
        for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
      done
      rm "$work/fcgi.pid"
    fi
  done
done

echo "== one cached tile, 16 connections, $rounds rounds of ${duration} s"
start_quiltmap "$work/cache-2-1" 2
wait_ready "http://127.0.0.1:$port/$first_tile"
curl -s -o "$work/static/tile.jpg" --create-dirs "http://127.0.0.1:$port/$first_tile"
have nginx || echo "  nginx skipped: not installed (package nginx)"
for round in $(seq 1 "$rounds"); do
  measure quiltmap-cached "$quiltmap" -c16 -d${duration}s "http://127.0.0.1:$port/$first_tile"
  have nginx && measure nginx-cached "$(nginx_pids)" -c16 -d${duration}s "http://127.0.0.1:18442/tile.jpg"
  have nginx && curl -s -o /dev/null "http://127.0.0.1:18445/$first_tile" &&
    measure deployment-cached "$(nginx_pids) $quiltmap" -c16 -d${duration}s "http://127.0.0.1:18445/$first_tile"
done
$peer_mapserver || echo "  MapServer skipped: needs nginx, spawn-fcgi and mapserv (packages nginx spawn-fcgi cgi-mapserver)"

echo "== totals: requests/s over all rounds, and CPU ms per request of the server's processes"
for name in quiltmap-1 mapserver-1 quiltmap-2 mapserver-2 quiltmap-cached nginx-cached deployment-cached; do
  [[ -n ${requests[$name]:-} ]] && printf "  %-16s %10s/s %8s ms\n" "$name" "$(rate $name)" "$(cpu_ms $name)"
done
echo "== ratios of the rates (quiltmap-tileserver's to the peer's)"
echo "  uncached, 1 worker:  $(ratio quiltmap-1 mapserver-1) of MapServer ($(ratio quiltmap-1 floor) of GDAL warping alone)"
echo "  uncached, 2 workers: $(ratio quiltmap-2 mapserver-2) of MapServer"
echo "  cached tile:         $(ratio quiltmap-cached nginx-cached) of nginx"
echo "  cached tile through the shipped nginx site: $(ratio deployment-cached nginx-cached) of nginx serving the file"
