# Wine environment for running Sarnivox and its test tools: a 32-bit prefix, a persistent wineserver
# and a display. Source it (bash), then call sarnivox_wine_up [dll] and sarnivox_wine_down.
# shellcheck shell=bash

_sarnivox_wine_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
: "${BUILD_DIR:=$_sarnivox_wine_repo/build/windows}"
export BUILD_DIR
export WINEPREFIX="${WINEPREFIX:-$BUILD_DIR/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
# Without this a fresh prefix asks to download Mono and Gecko, which nobody can answer here.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# What sarnivox_wine_up started, so that sarnivox_wine_down stops only that.
SARNIVOX_XVFB_PID="${SARNIVOX_XVFB_PID:-}"
_sarnivox_wine_saved_display=""
_sarnivox_wine_display_set=""

# Prints a Windows path for a Unix one: Wine maps drive Z: to /.
sarnivox_wine_path() {
  local p="$1"
  case "$p" in
    /*) p="Z:$p" ;;
  esac
  printf '%s\n' "${p//\//\\}"
}

_sarnivox_wine_now_ms() { date +%s%3N; }

_sarnivox_wine_display_ok() {
  local d="${DISPLAY:-}" n
  [ -n "$d" ] || return 1
  case "$d" in
    :*)
      n="${d#:}"
      n="${n%%.*}"
      [ -S "/tmp/.X11-unix/X$n" ] || return 1
      ;;
  esac
  if command -v xdpyinfo >/dev/null 2>&1; then
    xdpyinfo >/dev/null 2>&1 || return 1
  fi
  return 0
}

_sarnivox_wine_start_xvfb() {
  local fdfile log n i
  fdfile=$(mktemp)
  log="${TMPDIR:-/tmp}/sarnivox-xvfb.$$.log"
  # -displayfd lets the server pick a free display itself: no race between parallel suites.
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$fdfile" >"$log" 2>&1 </dev/null &
  SARNIVOX_XVFB_PID=$!
  for ((i = 0; i < 1000; i++)); do
    n=$(tr -dc '0-9' <"$fdfile")
    [ -n "$n" ] && break
    if ! kill -0 "$SARNIVOX_XVFB_PID" 2>/dev/null; then
      echo "sarnivox_wine_up: Xvfb failed, see $log" >&2
      SARNIVOX_XVFB_PID=""
      rm -f "$fdfile"
      return 1
    fi
    sleep 0.01
  done
  rm -f "$fdfile"
  if [ -z "$n" ]; then
    echo "sarnivox_wine_up: Xvfb gave no display number, see $log" >&2
    return 1
  fi
  export SARNIVOX_XVFB_PID
  _sarnivox_wine_saved_display="${DISPLAY-__unset__}"
  _sarnivox_wine_display_set=1
  export DISPLAY=":$n"
}

# Succeeds when user.reg already holds the line under the key (HKCU-relative, single backslashes).
_sarnivox_wine_reg_has() {
  local sect="[$1]"
  # user.reg spells each backslash of a key name twice.
  sect="${sect//\\/\\\\}"
  [ -f "$WINEPREFIX/user.reg" ] &&
    SECT="$sect" WANT="$2" awk '
        /^\[/ { inside = (index($0, ENVIRON["SECT"]) == 1) }
        inside && $0 == ENVIRON["WANT"] { found = 1 }
        END { exit !found }' "$WINEPREFIX/user.reg"
}

# Sets the per-user values the suite relies on, in one Wine process and only when missing.
_sarnivox_wine_settings() {
  local missing="" file
  # Without a window manager a managed window costs seconds at every close.
  _sarnivox_wine_reg_has 'Software\Wine\X11 Driver' '"Managed"="N"' ||
    missing+=$'[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n\n'
  # A crash must end the program with its exception code, not wait on a debugger dialog.
  _sarnivox_wine_reg_has 'Software\Wine\WineDbg' '"ShowCrashDialog"=dword:00000000' ||
    missing+=$'[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\n"ShowCrashDialog"=dword:00000000\n\n'
  [ -n "$missing" ] || return 0
  file="$WINEPREFIX/sarnivox-settings.reg"
  printf 'REGEDIT4\n\n%s' "$missing" >"$file"
  wine reg import "$(sarnivox_wine_path "$file")" >/dev/null 2>&1 </dev/null || {
    echo "sarnivox_wine_up: reg import $file failed" >&2
    return 1
  }
}

# Usage: sarnivox_wine_up [path/to/component.dll]
sarnivox_wine_up() {
  local dll="${1:-}" t0 t1
  if ! _sarnivox_wine_display_ok; then
    _sarnivox_wine_start_xvfb || return 1
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX" || return 1
    t0=$(_sarnivox_wine_now_ms)
    wineboot -i >"$WINEPREFIX/wineboot.log" 2>&1 </dev/null || {
      echo "sarnivox_wine_up: wineboot -i failed, see $WINEPREFIX/wineboot.log" >&2
      return 1
    }
    # wineboot returns before the prefix is written; only the server's exit guarantees it.
    wineserver -w
    t1=$(_sarnivox_wine_now_ms)
    echo "sarnivox_wine_up: prefix created in $((t1 - t0)) ms" >&2
  fi
  # Kept up for the whole suite: each program start then skips the server's start-up.
  wineserver -p >/dev/null 2>&1 </dev/null
  _sarnivox_wine_settings || return 1
  if [ -n "$dll" ]; then
    if [ ! -f "$dll" ]; then
      echo "sarnivox_wine_up: $dll does not exist" >&2
      return 1
    fi
    wine regsvr32 /s "$(sarnivox_wine_path "$dll")" >/dev/null 2>&1 </dev/null || {
      echo "sarnivox_wine_up: regsvr32 $dll failed" >&2
      return 1
    }
    # Wine's HKEY_CLASSES_ROOT is the machine's classes alone: it does not merge the per-user
    # registration that Windows would find, so the prefix gets a machine-wide copy as well.
    local clsid='Software\Classes\CLSID\{7B956261-C955-11D0-9225-006097498625}'
    wine reg copy "HKCU\\$clsid" "HKLM\\$clsid" /s /f >/dev/null 2>&1 </dev/null || {
      echo "sarnivox_wine_up: copying the registration of $dll failed" >&2
      return 1
    }
  fi
  return 0
}

# Stops what sarnivox_wine_up started; idempotent and quiet, so it can run from a trap.
sarnivox_wine_down() {
  if [ -f "$WINEPREFIX/system.reg" ]; then
    wineserver -k >/dev/null 2>&1 </dev/null || true
  fi
  if [ -n "${SARNIVOX_XVFB_PID:-}" ]; then
    if tr '\0' ' ' <"/proc/$SARNIVOX_XVFB_PID/cmdline" 2>/dev/null | grep -q Xvfb; then
      kill "$SARNIVOX_XVFB_PID" 2>/dev/null || true
      wait "$SARNIVOX_XVFB_PID" 2>/dev/null || true
    fi
    SARNIVOX_XVFB_PID=""
  fi
  if [ -n "$_sarnivox_wine_display_set" ]; then
    if [ "$_sarnivox_wine_saved_display" = __unset__ ]; then
      unset DISPLAY
    else
      export DISPLAY="$_sarnivox_wine_saved_display"
    fi
    _sarnivox_wine_display_set=""
  fi
  return 0
}
