#!/usr/bin/env bash
# The main job: builds Sarnivox.exe, prepares a Wine prefix with the simulated control component,
# runs the program on a command file and reports the component's calls and the exit status.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  cat >&2 <<'USAGE'
usage: bash tools/run.sh [--answer yes|no] [/debug] [command-file]

  --answer yes|no  answer the confirmation dialog (and OK every debug message box) by itself,
                   for a run without anyone at the display
  /debug           passed to Sarnivox.exe: failures are shown in message boxes
  command-file     default: examples/start.txt

SARNIVOX_SIM_SCRIPT=<file> makes the simulated component answer as the script says
(format: tools/simcomponent/README.md).
USAGE
  exit 2
}

answer=""
debug=""
file=""
while [ $# -gt 0 ]; do
  case "$1" in
    --answer)
      [ $# -ge 2 ] && { [ "$2" = yes ] || [ "$2" = no ]; } || usage
      answer="$2"
      shift 2
      ;;
    --answer=yes | --answer=no)
      answer="${1#--answer=}"
      shift
      ;;
    -h | --help) usage ;;
    /debug | /DEBUG) debug="/debug" && shift ;;
    -*) usage ;;
    *)
      [ -z "$file" ] || usage
      file="$1"
      shift
      ;;
  esac
done
file="${file:-$repo/examples/start.txt}"
[ -f "$file" ] || { echo "run.sh: no such command file: $file" >&2; exit 2; }
file=$(cd "$(dirname "$file")" && pwd)/$(basename "$file")

echo "Preparing (packages, build, Wine prefix); the first time this takes a few minutes..."
work=$(mktemp -d /tmp/sarnivox-run.XXXXXX)
bash "$repo/tools/wine/install-deps.sh"
(cd "$repo" && cmake --preset windows && cmake --build --preset windows) >"$work/build.log" 2>&1 ||
  { cat "$work/build.log" >&2; echo "run.sh: the build failed" >&2; exit 1; }

export BUILD_DIR="$repo/build/windows"
source "$repo/tools/wine/env.sh"
trap 'sarnivox_wine_down; rm -rf "$work"' EXIT
sarnivox_wine_up "$BUILD_DIR/tools/SimControl.dll"

export SARNIVOX_SIM_LOG
SARNIVOX_SIM_LOG=$(sarnivox_wine_path "$work/component.log")
if [ -n "${SARNIVOX_SIM_SCRIPT:-}" ]; then
  SARNIVOX_SIM_SCRIPT=$(sarnivox_wine_path "$(cd "$(dirname "$SARNIVOX_SIM_SCRIPT")" && pwd)/$(basename "$SARNIVOX_SIM_SCRIPT")")
  export SARNIVOX_SIM_SCRIPT
fi

exe=$(sarnivox_wine_path "$BUILD_DIR/Sarnivox.exe")
printf '%s' "\"$exe\" ${debug:+$debug }$(sarnivox_wine_path "$file")" >"$work/cmdline.txt"
echo "Running: $(cat "$work/cmdline.txt")"
if [ -n "$answer" ]; then
  wine "$BUILD_DIR/tools/UiDriver.exe" --report "$work/report.txt" --timeout-ms 600000 \
    --exe "$exe" --cmdline-file "$work/cmdline.txt" "respond:$answer" >"$work/driver.out" 2>&1 ||
    true
  echo
  echo "What Sarnivox showed:"
  grep -E '^(msgbox|dialog|unexpected|error)' "$work/report.txt" |
    sed -E 's/^msgbox .* text=("[^"]*").*/  message box: \1/; s/^dialog .* answer=("[^"]*").*/  confirmation dialog, answered \1/' ||
    echo "  nothing"
  code=$(sed -n 's/^exit code=\([0-9]*\).*/\1/p' "$work/report.txt" | tail -n 1)
else
  if [ -n "${SARNIVOX_XVFB_PID:-}" ]; then
    echo "run.sh: there is no display to answer the dialog on; use --answer yes|no" >&2
    exit 2
  fi
  echo "Answer the dialog on the display if it appears."
  code=0
  wine "$BUILD_DIR/Sarnivox.exe" ${debug:+"$debug"} "$(sarnivox_wine_path "$file")" \
    >"$work/wine.out" 2>&1 || code=$?
fi
echo
echo "Calls on the control component:"
if [ -s "$work/component.log" ]; then sed 's/^/  /' "$work/component.log"; else echo "  none"; fi
echo

case "$code" in
  0) meaning="the command was carried out" ;;
  2) meaning="empty command line" ;;
  3) meaning="COM could not be initialised" ;;
  4) meaning="the control component could not be created" ;;
  5) meaning="the command file could not be opened" ;;
  6) meaning="reading the command file failed" ;;
  7) meaning="the command file ends inside the start record" ;;
  8) meaning="the command file holds no command" ;;
  9) meaning="NetMeeting is not installed, corrupt, or the wrong version" ;;
  10) meaning="a required parameter is empty" ;;
  11) meaning="the configuration check failed" ;;
  12) meaning="stopping NetMeeting failed" ;;
  13) meaning="updating the configuration failed" ;;
  14) meaning="NetMeeting did not start" ;;
  15) meaning="memory ran out" ;;
  "") echo "Sarnivox.exe did not finish (see the driver's report above)"; exit 1 ;;
  *) meaning="unexpected status" ;;
esac
echo "Exit status $code: $meaning."
