#!/usr/bin/env bash
# The end-to-end suite's Wine fixture: `fixture.sh up STATE` prepares the prefix, the display and
# the registered component and writes what the cases need to STATE; `fixture.sh down STATE` ends it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
action="$1"
state="$2"
source "$here/../../tools/wine/env.sh"

case "$action" in
  up)
    [ -f "$state" ] && { source "$state"; sarnivox_wine_down; }
    sarnivox_wine_up "$BUILD_DIR/tools/SimControl.dll"
    {
      printf 'export DISPLAY=%q\n' "$DISPLAY"
      printf 'export SARNIVOX_XVFB_PID=%q\n' "${SARNIVOX_XVFB_PID:-}"
      printf 'export WINEPREFIX=%q\n' "$WINEPREFIX"
    } >"$state"
    ;;
  down)
    if [ -f "$state" ]; then
      source "$state"
      _sarnivox_wine_display_set=""
      sarnivox_wine_down
      rm -f "$state"
    fi
    ;;
  *)
    echo "usage: fixture.sh up|down STATE" >&2
    exit 2
    ;;
esac
