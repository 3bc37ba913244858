#!/usr/bin/env bash
# Runs one Windows program under Wine for ctest: a quiet WoW64 prefix under the build folder shared by
# the x86 and x64 builds, and an X display for programs that make windows.
#   wine-run.sh PROGRAM [ARGUMENTS...]   run it; its output and exit code are the program's
#   wine-run.sh --prepare BUILD_FOLDER   start the prefix of a Windows build folder (created the first
#                                        time) and let it settle
#
# Wine misbehaves now and then, mostly while a prefix is young: a start fails or hangs before the
# program runs, or a program that has finished never exits. Both are told apart from a failure of the
# program itself and handled here: a start that never reached the program is tried once more, and a
# finished program is ended and judged by its summary. Every other failure counts the first time.
# Every step is bounded, and what happened is logged to the prefix's log (build/wineprefix.log).
set -u

if [ "${1:-}" = --prepare ]; then
  build_root=$(dirname "$(cd "$2" && pwd)")
  exe=""
  shift 2
else
  exe=$1
  shift
  case "$exe" in
    *.exe) ;;
    *) [ -f "$exe.exe" ] && exe=$exe.exe ;;
  esac
  bin_dir=$(cd "$(dirname "$exe")" && pwd)
  build_root=$(dirname "$(dirname "$bin_dir")")
fi
export WINEPREFIX=${QUILLET_WINEPREFIX:-$build_root/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export WINEARCH=win64
export LANG=C.UTF-8
wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64
mkdir -p "$(dirname "$WINEPREFIX")"
log=$WINEPREFIX.log
what="$(basename "${exe:-prepare}") $*"
note() { printf '%s %s %s: %s\n' "$(date +%T)" "$$" "${what:0:90}" "$1" >>"$log"; }

# An X server is live when the process named in its lock file runs. A server that was killed leaves
# its socket and lock behind (a machine's earlier session does): those are not a display.
display_live() {
  local pid
  pid=$(tr -dc 0-9 2>/dev/null <"/tmp/.X$1-lock")
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && [ -S "/tmp/.X11-unix/X$1" ]
}
start_xvfb() {
  rm -f "/tmp/.X11-unix/X$1" "/tmp/.X$1-lock" 2>/dev/null
  setsid Xvfb ":$1" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 9>&- &
  for _ in $(seq 100); do display_live "$1" && return 0; sleep 0.1; done
  return 1
}
if [ -z "${DISPLAY:-}" ]; then
  # An Xvfb kept for later runs, started by whichever run finds none: QUILLET_XVFB_DISPLAY, else the
  # number this prefix used before, else the first from 71 that is live or starts (leftovers of
  # another user's server may block one). The prefix keeps using it, as its desktop lives there.
  chosen=$WINEPREFIX.display
  wanted() {
    local n=${QUILLET_XVFB_DISPLAY:-$(tr -dc 0-9 2>/dev/null <"$chosen")}
    echo "${n:-71}"
  }
  number=$(wanted)
  if ! display_live "$number"; then
    # The lock file is opened inside the substitution: bash opens a bare assignment's redirections
    # only after expanding it, so flock would find no descriptor 9.
    number=$(
      {
        flock -w 60 9 || note "display lock not taken in 60 s"
        number=$(wanted)
        if ! display_live "$number"; then
          last=$number
          [ -z "${QUILLET_XVFB_DISPLAY:-}" ] && last=$((number + 20))
          for number in $(seq "$number" "$last"); do
            display_live "$number" || start_xvfb "$number" && break
          done
          if display_live "$number"; then
            note "X display :$number"
            echo "$number" >"$chosen"
          else
            note "no X display: Xvfb did not start on :$number"
          fi
        fi
        echo "$number"
      } 9>"$WINEPREFIX.display.lock"
    )
  fi
  export DISPLAY=:$number
fi

# wineboot creates the prefix the first time and otherwise starts the server, the system services and
# the desktop, here with no stream of ours (Wine's helper processes outlive the program and would keep
# ctest waiting on an inherited pipe). Skipped while this prefix's services already run.
prefix_running() {
  local pid
  for pid in $(pgrep -f 'system32.services\.exe' 2>/dev/null); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
start_prefix() {
  prefix_running && return 0
  (
    flock -w 300 9 || { note "prefix lock not taken in 300 s"; exit 0; }
    if ! prefix_running; then
      note "starting the prefix"
      # A server that persists: with the default one, services and desktop end a few seconds after
      # the last program, and every later start would boot them again while other tests run. The
      # server needs the prefix folder to exist, also on the very first run.
      # A boot cut short (a loaded machine) leaves services that look running while every later
      # program hangs, and a prefix whose making was cut short lacks system files and never boots:
      # the server is ended, a prefix that never finished a boot is made anew, and the boot is
      # tried once more.
      booted=$WINEPREFIX/.quillet-booted
      for boot in 1 2; do
        if [ -e "$WINEPREFIX/system.reg" ] && [ ! -e "$booted" ] && [ ! -e "$WINEPREFIX/.quillet-configured" ]; then
          note "the prefix never finished a boot: made anew"
          rm -rf -- "$WINEPREFIX"
        fi
        mkdir -p "$WINEPREFIX"
        WINELOADER=$wine64 /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
        WINELOADER=$wine64 timeout -k 5 240 $wine64 wineboot </dev/null >/dev/null 2>&1
        status=$?
        note "wineboot ended with $status"
        if [ $status -eq 0 ]; then
          touch "$booted"
          break
        fi
        WINELOADER=$wine64 /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1
        WINELOADER=$wine64 timeout 30 /usr/lib/wine/wineserver -w </dev/null >/dev/null 2>&1
      done
    fi
  ) 9>"$WINEPREFIX.lock"
}

# What the candidate window needs of a prefix: the usual Windows families resolve to the installed
# metric-compatible fonts (GDI+ finds none of them otherwise), and windows are not managed, so hiding
# and destroying them takes milliseconds instead of seconds. Written once per prefix.
configure_prefix() {
  local mark=$WINEPREFIX/.quillet-configured
  [ -e "$mark" ] && return 0
  local key='HKCU\Software\Wine\Fonts\Replacements' ok=1
  for pair in "Times New Roman=Liberation Serif" "Arial=Liberation Sans" "Microsoft Sans Serif=Liberation Sans" \
              "Courier New=Liberation Mono"; do
    $wine64 reg add "$key" /v "${pair%%=*}" /d "${pair#*=}" /f </dev/null >/dev/null 2>&1 || ok=0
  done
  $wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || ok=0
  note "prefix configured (fonts, unmanaged windows): $ok"
  [ $ok = 1 ] && touch "$mark"
}

if [ -z "$exe" ]; then
  start_prefix
  WINELOADER=$wine64 configure_prefix
  # A first program makes Wine finish what it does lazily (the desktop, the font cache) before the
  # tests start many programs at once.
  WINELOADER=$wine64 timeout -k 5 240 $wine64 cmd /c exit </dev/null >/dev/null 2>&1
  note "first program ended with $?"
  exit 0
fi
start_prefix
WINELOADER=$wine64 configure_prefix

loader=$wine64
export WINELOADER=$wine64
if objdump -f "$exe" 2>/dev/null | grep -q 'pei-i386'; then
  loader=$wine32
  unset WINELOADER
fi

attempt_seconds=${QUILLET_WINE_ATTEMPT_SECONDS:-120}
[ "$loader" = "$wine32" ] && attempt_seconds=${QUILLET_WINE_ATTEMPT_SECONDS:-850}
finished='^\[==========\] .* ran\.'
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

# The program's streams go to files, copied out once it has ended: a Wine process it started on the way
# (the desktop, a console host) may live on, and must not keep the caller waiting on a pipe.
run_once() {
  timeout -k 5 "$attempt_seconds" "$loader" "$exe" "$@" </dev/null >"$out" 2>"$err" &
  local pid=$! done_at=""
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.1
    if [ -z "$done_at" ]; then
      grep -q "$finished" "$out" && done_at=$SECONDS
    elif ((SECONDS - done_at > 20)); then
      # The test program printed its summary and then never exited: Wine's fault, not the program's.
      note "finished but did not exit; ended, result taken from its summary"
      kill -TERM "$pid" 2>/dev/null
      wait "$pid"
      grep -q '^\[  FAILED  \]' "$out" && return 1
      return 0
    fi
  done
  wait "$pid"
}

for attempt in 1 2; do
  run_once "$@"
  status=$?
  # Our programs write as soon as they run (a test program its first line before its first case
  # starts, lexforge its errors): a failure without a byte of theirs, on either stream, is a start that
  # Wine failed or hung before the program ran, and only that is tried again.
  if [ $status -ne 0 ] && [ $attempt -eq 1 ] && [ ! -s "$out" ] &&
    ! grep -qvE '^([0-9a-f]{4}:(fixme|err|warn|trace):|wine)' "$err"; then
    note "ended with $status before the program wrote anything; tried again"
    continue
  fi
  if [ $status -eq 124 ] || [ $status -eq 137 ]; then
    note "timed out after $attempt_seconds s"
  fi
  break
done
cat "$out"
cat "$err" >&2
exit $status
