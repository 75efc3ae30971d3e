#!/usr/bin/env bash
# Times a stop run of Sarnivox.exe against MinimalStop.exe (COM in, create, Stop, Release, out),
# alternating the two under one persistent wineserver, and prints the figures and their ratio.
# Usage: bash bench/wine_stop_run.sh [pairs]   (after the windows preset is built)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
pairs="${1:-30}"
export BUILD_DIR="${BUILD_DIR:-$repo/build/windows}"
source "$repo/tools/wine/env.sh"
work=$(mktemp -d /tmp/sarnivox-bench.XXXXXX)
trap 'sarnivox_wine_down; rm -rf "$work"' EXIT
sarnivox_wine_up "$BUILD_DIR/tools/SimControl.dll" >/dev/null

printf 'stop\r\n' >"$work/stop.txt"
stop_file=$(sarnivox_wine_path "$work/stop.txt")
unset SARNIVOX_SIM_LOG SARNIVOX_SIM_SCRIPT

now_ns() { date +%s%N; }
time_one() {
  local start end
  start=$(now_ns)
  "$@" >"$work/out" 2>&1 || { echo "failed: $*" >&2; cat "$work/out" >&2; exit 1; }
  end=$(now_ns)
  echo $(((end - start) / 1000))
}

# One warm-up each, so neither pays for the first load of the shared libraries.
time_one wine "$BUILD_DIR/Sarnivox.exe" "$stop_file" >/dev/null
time_one wine "$BUILD_DIR/tools/MinimalStop.exe" >/dev/null
for ((i = 0; i < pairs; i++)); do
  echo "sarnivox $(time_one wine "$BUILD_DIR/Sarnivox.exe" "$stop_file")"
  echo "minimal $(time_one wine "$BUILD_DIR/tools/MinimalStop.exe")"
done >"$work/times"

python3 - "$work/times" <<'PY'
import statistics, sys
times = {"sarnivox": [], "minimal": []}
for line in open(sys.argv[1]):
    name, us = line.split()
    times[name].append(int(us) / 1000)
for name, values in times.items():
    print("%-9s runs=%d median=%.1f ms mean=%.1f ms min=%.1f ms max=%.1f ms" % (
        name, len(values), statistics.median(values), statistics.mean(values), min(values),
        max(values)))
ratio = statistics.median(times["sarnivox"]) / statistics.median(times["minimal"])
print("ratio of medians (Sarnivox.exe / MinimalStop.exe): %.3f (goal: at most 1.10)" % ratio)
PY
