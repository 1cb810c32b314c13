#!/usr/bin/env bash
# Plants one small fault at a time in the sources, builds, and runs the tests that ought to notice.
# A mutant the tests let through marks a behaviour nothing guards.
#
#   scripts/mutants.sh [--build DIR] [--timeout SECONDS (300)] [--no-baseline] [--only NAME...]
#   scripts/mutants.sh --list
#
# Each mutant: a name, a file, the ctest labels that should catch it, a text that must occur
# exactly once in the file, and what replaces it.
set -uo pipefail

NAMES=() FILES=() LABELS=() ORIGINALS=() REPLACEMENTS=()
mutant() { NAMES+=("$1"); FILES+=("$2"); LABELS+=("$3"); ORIGINALS+=("$4"); REPLACEMENTS+=("$5"); }

# --- geodesy: constants and rounding
mutant utm-scale-factor src/geodesy/Mapstuff.cpp geodesy \
    'constexpr double kK0 = 0.9996;' 'constexpr double kK0 = 0.9999;'
mutant wgs84-textbook-radius src/geodesy/Geodesy.cpp geodesy \
    '{"WGS-84", 6378137.0, 6356750.321},' '{"WGS-84", 6378137.0, 6356752.314},'
mutant row-halves-up src/geodesy/Geodesy.cpp geodesy \
    'const double row = std::nearbyint(index);' 'const double row = std::round(index);'
mutant zone-rounded src/geodesy/Mapstuff.cpp geodesy \
    'std::trunc((lonN + 180) / 6 + 1)' 'std::round((lonN + 180) / 6 + 1)'
# --- the map's grid
mutant snap-half-tile-up src/map/MapRequest.cpp request \
    'if (r > tileMetres / 2.0)' 'if (r >= tileMetres / 2.0)'
mutant scale-code-off-by-one src/map/MapRequest.cpp request \
    'grid.ScaleCode = static_cast<int16_t>(request.ResolutionIndex + 10);' \
    'grid.ScaleCode = static_cast<int16_t>(request.ResolutionIndex + 9);'
# --- typed coordinates
mutant sixty-minutes src/map/CoordinateEntry.cpp request \
    'if (minutes > 59 || hundredths > 99)' 'if (minutes > 60 || hundredths > 99)'
mutant past-the-limit src/map/CoordinateEntry.cpp request \
    'if (degrees == limit && (minutes != 0 || hundredths != 0))' 'if (degrees == limit && minutes != 0)'
mutant one-digit-hundredths src/map/CoordinateEntry.cpp request \
    'hundredths *= 10;' 'hundredths *= 1;'
# --- INI files
mutant ini-value-limit src/ini/clsIni.cpp settings \
    'constexpr qsizetype ValueLimit = 1023;' 'constexpr qsizetype ValueLimit = 1024;'
mutant ini-names-case-sensitive src/ini/clsIni.cpp settings \
    'return a.compare(b, Qt::CaseInsensitive) == 0;' 'return a.compare(b, Qt::CaseSensitive) == 0;'
# --- tile addresses and library names
mutant tile-x-bound src/tiles/TileAddress.cpp tiles,tileserver \
    'if (result.Tile.X * m >= kMaxEasting)' 'if (result.Tile.X * m > kMaxEasting)'
mutant tile-scale-range src/tiles/TileAddress.cpp tiles,tileserver \
    "{'S', 10, 19}" "{'S', 10, 20}"
mutant library-name-order src/tiles/TileAddress.cpp tiles,fetch \
    'std::to_string(tile.Scale) + "-" + std::to_string(tile.Zone)' \
    'std::to_string(tile.Zone) + "-" + std::to_string(tile.Scale)'
mutant library-name-not-canonical src/tiles/TileAddress.cpp tiles \
    'if (!checked.Ok || TileFileName(checked.Tile, file.Format) != name)' 'if (!checked.Ok)'
# --- the fetcher and the fetch loop
mutant fetch-one-too-many src/map/TileFetcher.cpp fetch \
    'while (!Queue.empty() && Running() < MaxRequests) {' 'while (!Queue.empty() && Running() <= MaxRequests) {'
mutant failed-transfer-keeps-slot src/map/TileFetcher.cpp fetch \
    'Stop(slot);' 'slot.Transfer->Cancel();'
mutant damaged-library-tile-kept src/map/TileFetcher.cpp fetch \
    'QFile::remove(path);' '(void)path;'
mutant short-lived-bound src/map/TileFetcher.cpp fetch \
    'toLongLong() <= ShortLivedSeconds' 'toLongLong() < ShortLivedSeconds'
mutant last-row-dropped src/map/MapMaker.cpp fetch \
    'if (Grid.Row < 0) {' 'if (Grid.Row <= 0) {'
mutant failures-alike-late src/map/MapMaker.cpp fetch \
    'if (FailuresInARow >= FailuresAlike && !AskedToGoOn' 'if (FailuresInARow > FailuresAlike && !AskedToGoOn'
mutant grid-squares-ignored src/map/MapMaker.cpp fetch \
    'if (GridSquares) {' 'if (false) {'
# --- saving a map
mutant save-without-deferral src/map/MapSaver.cpp compose \
    'const TerminationDeferral deferral;' '// no deferral'
mutant save-picture-first src/map/MapSaver.cpp compose \
    'std::rotate(files.begin(), files.begin() + 1, files.end());' '// picture first'
# --- the tile server
mutant queue-bound src/tileserver/TileService.cpp tileserver \
    'if (m_idleWorkers == 0 && m_waiting >= m_maxQueue)' 'if (m_idleWorkers == 0 && m_waiting > m_maxQueue)'
mutant render-slot-not-given-back src/tileserver/TileService.cpp tileserver \
    '++Service.m_idleWorkers;' 'Service.m_idleWorkers += 0;'
mutant fallback-tile-cached src/tileserver/TileService.cpp tileserver \
    'if (drawn.Final)' 'if (true)'
mutant damaged-cache-served src/tileserver/TileCache.cpp tileserver \
    'if (!LooksWhole(bytes, tile.Type)) {' 'if (false) {'
mutant weak-etag-unmatched src/tileserver/TileHttpServer.cpp tileserver \
    'if (item.rfind("W/", 0) == 0)' 'if (item.rfind("W/", 0) == 1)'
mutant pipelined-request-dropped src/tileserver/TileHttpServer.cpp tileserver \
    'used += parse.Length;' 'used = connection.In.size();'

# --- the machinery
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=build
TEST_SECONDS=300
BASELINE=1
LIST=0
ONLY=()
while (($#)); do
    case $1 in
    --list) LIST=1 ;;
    --build) BUILD=${2:?--build needs a folder}; shift ;;
    --timeout) TEST_SECONDS=${2:?--timeout needs seconds}; shift ;;
    --no-baseline) BASELINE=0 ;;
    --only) shift; while (($#)) && [[ $1 != --* ]]; do ONLY+=("$1"); shift; done; continue ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
    shift
done

# How often needle occurs in the file.
occurrences() {
    local text needle=$2 n=0
    text=$(<"$ROOT/$1")
    while [[ $text == *"$needle"* ]]; do
        text=${text#*"$needle"}
        n=$((n + 1))
    done
    echo "$n"
}

# "tiles,fetch" as a label expression that matches whole labels only.
label_regex() { echo "^(${1//,/|})\$"; }

if ((LIST)); then
    status=0
    for i in "${!NAMES[@]}"; do
        n=$(occurrences "${FILES[i]}" "${ORIGINALS[i]}")
        [[ $n == 1 ]] || status=1
        printf '%-28s %-34s %-18s %s\n' "${NAMES[i]}" "${FILES[i]}" "${LABELS[i]}" \
            "$([[ $n == 1 ]] && echo ok || echo "no-match ($n found)")"
        printf '    - %s\n    + %s\n' "${ORIGINALS[i]}" "${REPLACEMENTS[i]}"
    done
    exit "$status"
fi

SELECTED=()
for name in "${ONLY[@]}"; do
    found=0
    for i in "${!NAMES[@]}"; do [[ ${NAMES[i]} == "$name" ]] && SELECTED+=("$i") && found=1; done
    ((found)) || { echo "no mutant called $name (see --list)" >&2; exit 2; }
done
((${#ONLY[@]})) || SELECTED=("${!NAMES[@]}")

[[ -f $BUILD/CMakeCache.txt ]] || { echo "$BUILD is no configured build folder" >&2; exit 2; }
BUILD=$(cd "$BUILD" && pwd)
SAVED=$(mktemp -d)
LOG=$BUILD/mutants.log
: >"$LOG"
CURRENT=""

# The mutated file always gets its own text back, with a new time, so the next build compiles
# it again rather than keeping the mutant's objects.
restore() {
    if [[ -n $CURRENT ]]; then
        cp "$SAVED/original" "$ROOT/$CURRENT"
        CURRENT=""
    fi
}
trap 'restore; rm -rf "$SAVED"' EXIT
TEST_PID=""
trap '[[ -n $TEST_PID ]] && kill -TERM "$TEST_PID" 2>/dev/null; echo; echo "interrupted; sources restored, rebuild $BUILD before trusting it" >&2; exit 130' INT TERM

build() { nice cmake --build "$BUILD" >>"$LOG" 2>&1; }
# Runs the labels' tests; 124 when they ran out of time. In the background, so that Ctrl-C is
# heard at once (timeout runs them in a process group of their own and ends the whole group).
run_tests() {
    timeout --kill-after=20 "$TEST_SECONDS" nice ctest --test-dir "$BUILD" -L "$(label_regex "$1")" \
        --output-on-failure >>"$LOG" 2>&1 &
    TEST_PID=$!
    wait "$TEST_PID"
    local status=$?
    TEST_PID=""
    return "$status"
}

if ((BASELINE)); then
    labels=""
    for i in "${SELECTED[@]}"; do labels+=",${LABELS[i]}"; done
    labels=$(tr ',' '\n' <<<"${labels#,}" | sort -u | paste -sd,)
    echo "baseline: building and running $labels without mutants"
    if ! build || ! run_tests "$labels"; then
        echo "the unmutated tree does not pass; see $LOG" >&2
        exit 2
    fi
fi

caught=0 survived=0 unmatched=0 broken=0
for i in "${SELECTED[@]}"; do
    name=${NAMES[i]} file=${FILES[i]}
    echo "=== $name ($file)" >>"$LOG"
    n=$(occurrences "$file" "${ORIGINALS[i]}")
    if [[ $n != 1 ]]; then
        printf '%-28s no-match (%s occurrences in %s)\n' "$name" "$n" "$file"
        unmatched=$((unmatched + 1))
        continue
    fi
    cp "$ROOT/$file" "$SAVED/original"
    CURRENT=$file
    text=$(cat "$ROOT/$file"; printf x)
    text=${text%x}
    printf '%s' "${text/"${ORIGINALS[i]}"/"${REPLACEMENTS[i]}"}" >"$ROOT/$file"
    if ! build; then
        result=build-failed
        broken=$((broken + 1))
    else
        start=$(wc -l <"$LOG")
        run_tests "${LABELS[i]}"
        status=$?
        # A hang is caught too, but worth telling apart: it costs the whole bound.
        if ((status == 0)); then
            result=SURVIVED; survived=$((survived + 1))
        elif ((status == 124 || status == 137)) || tail -n "+$start" "$LOG" | grep -q "(Timeout)"; then
            result="caught (timed out)"; caught=$((caught + 1))
        else
            result=caught; caught=$((caught + 1))
        fi
    fi
    restore
    printf '%-28s %-18s %s\n' "$name" "${LABELS[i]}" "$result"
done

# Leave the build folder as the sources are.
build || echo "the final rebuild failed; see $LOG" >&2
echo "mutants: ${#SELECTED[@]}, caught $caught, survived $survived, build failed $broken, no match $unmatched (log: $LOG)"
((survived == 0 && unmatched == 0))
