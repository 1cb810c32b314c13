#!/usr/bin/env bash
# Builds Quiltmap (installing what it needs) and starts it. When no tile server answers where
# the program will look (and QUILTMAP_TILE_SERVER is not set), a local quiltmap-tileserver with
# the embedded offline map is started for the session and stopped when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "Quiltmap is a desktop program and needs a display: run this from a graphical session." >&2
  exit 1
fi

# The tile server the program will use: the TILE_SERVER key of [SETUP] in its settings file, else
# the default. A bare host name means http://.
configured_server() {
  local value=""
  if [[ -f build/Quiltmap.INI ]]; then
    value=$(awk -F= 'BEGIN { IGNORECASE = 1 }
      /^[ \t]*\[/ { section = tolower($0); gsub(/[][ \t\r]/, "", section); next }
      section == "setup" && tolower($1) ~ /^[ \t]*tile_server[ \t]*$/ {
        sub(/^[^=]*=/, ""); gsub(/^[ \t"]+|[ \t"\r]+$/, ""); print; exit }' build/Quiltmap.INI)
  fi
  value=${value:-http://localhost:8421}
  [[ $value == *://* ]] || value="http://$value"
  echo "${value%/}"
}

answers() {
  # Any HTTP answer at all (a refusal of the empty request included) means a server is there.
  curl -s -o /dev/null -m 3 "$1/tile.ashx" 2>/dev/null
}

server_pid=""
stop_server() {
  if [[ -n $server_pid ]]; then
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
}
trap stop_server EXIT

if [[ -z "${QUILTMAP_TILE_SERVER:-}" ]]; then
  server=$(configured_server)
  if ! answers "$server"; then
    hostport=${server#*://}
    hostport=${hostport%%/*}
    host=${hostport%:*}
    port=8421
    [[ $hostport == *:* ]] && port=${hostport##*:}
    [[ $server == https://* && $hostport != *:* ]] && port=443
    if [[ $host == localhost || $host == 127.0.0.1 ]]; then
      echo "Starting the local tile server (National Map, else the embedded map) on 127.0.0.1:$port; its log: build/quiltmap-tileserver.log"
      ./build/quiltmap-tileserver --listen "127.0.0.1:$port" 2>build/quiltmap-tileserver.log &
      server_pid=$!
      for _ in $(seq 1 50); do
        answers "$server" && break
        kill -0 "$server_pid" 2>/dev/null || { echo "The tile server did not start; see build/quiltmap-tileserver.log" >&2; server_pid=""; break; }
        sleep 0.2
      done
    else
      echo "Note: no tile server answers at $server; maps will miss their tiles until it does." >&2
    fi
  fi
fi

./build/Quiltmap
