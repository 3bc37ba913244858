#!/usr/bin/env bash
# Runs one Windows program under Wine for ctest: a quiet WoW64 prefix under the build folder shared by
# the x86 and x64 builds, and an X display for programs that make windows.
#
# Wine's server and helper processes outlive the program and inherit its streams; if the program's
# own start launched them, ctest would wait on the open pipe. So they are started detached first.
set -u
exe=$1
shift
case "$exe" in
  *.exe) ;;
  *) [ -f "$exe.exe" ] && exe=$exe.exe ;;
esac
bin_dir=$(cd "$(dirname "$exe")" && pwd)
build_root=$(dirname "$(dirname "$bin_dir")")
export WINEPREFIX=${QUILLET_WINEPREFIX:-$build_root/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export WINEARCH=win64
export LANG=C.UTF-8
wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64

if [ -z "${DISPLAY:-}" ]; then
  # One Xvfb per machine, kept for later runs.
  export DISPLAY=:${QUILLET_XVFB_DISPLAY:-71}
  if [ ! -e "/tmp/.X11-unix/X${DISPLAY#:}" ]; then
    setsid Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
  fi
fi

# wineboot creates the prefix the first time and otherwise starts the server, the system services and
# the desktop, here with no stream of ours. Skipped while this prefix's services already run.
prefix_running() {
  local pid
  for pid in $(pgrep -f 'system32.services\.exe' 2>/dev/null); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
mkdir -p "$(dirname "$WINEPREFIX")"
if ! prefix_running; then
  (
    flock 9
    if ! prefix_running; then
      WINELOADER=$wine64 /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
      WINELOADER=$wine64 $wine64 wineboot </dev/null >/dev/null 2>&1
    fi
  ) 9>"$WINEPREFIX.lock"
fi

loader=$wine64
export WINELOADER=$wine64
if objdump -f "$exe" 2>/dev/null | grep -q 'pei-i386'; then
  loader=$wine32
  unset WINELOADER
fi

# The program's streams go to files, copied out once it has ended: a Wine process it started on the
# way (the desktop, a console host) may live on, and must not keep the caller waiting on a pipe.
# Rarely (about once in a few hundred starts here) Wine hangs a program before it runs any of its code;
# such a start is abandoned after a while and tried once more. A program that really hangs still fails.
attempt_seconds=${QUILLET_WINE_ATTEMPT_SECONDS:-120}
[ "$loader" = "$wine32" ] && attempt_seconds=${QUILLET_WINE_ATTEMPT_SECONDS:-1500}
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
  timeout -k 5 "$attempt_seconds" "$loader" "$exe" "$@" </dev/null >"$out" 2>"$err"
  status=$?
  [ $status -eq 124 ] && [ ! -s "$out" ] && [ $attempt -eq 1 ] && continue
  break
done
cat "$out"
cat "$err" >&2
exit $status
