#!/usr/bin/env bash
# Desktop program: time from start to a shown (and painted) window, CPU use while it sits
# offline and idle, and CPU use while it polls the simulator at 10 Hz with each live page in
# front (target: under 3 % of one core each).
# Usage: bench/gui-startup-idle.sh [runs] [live seconds]
# KALVIST_BUILD_DIR names the build (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
live_seconds=${2:-60}
program=$(realpath "${KALVIST_BUILD_DIR:-build}/src/gui/kalvist")
work=$(mktemp -d)
display=:$((100 + RANDOM % 800))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=$display
sleep 1

# A copy of the program in its own folder, with unit names set so that no dialog comes.
prepare() {
  local folder="$work/$1"
  mkdir -p -m 700 "$folder"
  cp "$program" "$folder/kalvist"
  printf '[Setup]\r\nUnit20SensorsName=Z-20\r\nUnit2SensorsName=Z-2\r\n' >"$folder/kalvist.ini"
  echo "$folder"
}

# Milliseconds of each of `runs` runs of the program with the given options, sorted.
timed_runs() {
  local label=$1 times=() folder start
  shift
  for ((i = 0; i < runs; i++)); do
    folder=$(prepare "$label$i")
    start=$(date +%s%N)
    XDG_RUNTIME_DIR=$folder "$folder/kalvist" "$@" >/dev/null 2>&1
    times+=($(( ($(date +%s%N) - start) / 1000000 )))
  done
  local sorted median
  sorted=$(printf '%s\n' "${times[@]}" | sort -n | tr '\n' ' ')
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  echo "$label: median ${median} ms over $runs runs (${sorted% } ms)"
}
# The picture is taken at the first turn of the event loop after the window is shown;
# --help measures what Qt's start and end alone cost on this display.
timed_runs "start to shown window, including exit" --grab /dev/null --grab-delay 0
timed_runs "Qt application start and exit only (--help)" --help

# CPU seconds used by a running program over `seconds`, after 3 s to settle (connecting and
# reading the configuration).
cpu_use() {
  local name=$1 seconds=$2
  shift 2
  local folder
  folder=$(prepare "$name")
  XDG_RUNTIME_DIR=$folder "$folder/kalvist" "$@" 2>/dev/null &
  local pid=$!
  sleep 3
  local before after ticks
  before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep "$seconds"
  after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  ticks=$(getconf CLK_TCK)
  echo "$name: $((after - before)) ticks of 1/$ticks s in $seconds s" \
    "($(awk -v t=$((after - before)) -v h="$ticks" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * t / h / s }') % of one core)"
}
cpu_use offline-idle 10
# The simulator runs inside the program (--demo): its share is in the figures.
cpu_use "demo, page Actual knocking values" "$live_seconds" --demo --grab-page tsAnalyzer
cpu_use "demo, page Knocking history" "$live_seconds" --demo --grab-page tsHistory
