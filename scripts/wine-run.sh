#!/usr/bin/env bash
# Runs one Windows program under Wine for ctest: a quiet prefix inside the build folder, one WoW64
# prefix for both architectures, and an X display for programs that make windows.
#
# Wine's server and helper processes outlive the program and inherit its streams; if the program's
# own start launched them, ctest would wait on the open pipe. So they are started detached first.
set -u
exe=$1
shift
bin_dir=$(cd "$(dirname "$exe")" && pwd)
build_dir=$(dirname "$bin_dir")
export WINEPREFIX=${QUILLET_WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export WINEARCH=win64
export LANG=C.UTF-8

if [ -z "${DISPLAY:-}" ]; then
  # One Xvfb per user, kept for later runs.
  export DISPLAY=:${QUILLET_XVFB_DISPLAY:-71}
  if ! xdpyinfo >/dev/null 2>&1 && [ ! -e "/tmp/.X11-unix/X${DISPLAY#:}" ]; then
    setsid Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
  fi
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineserver -p </dev/null >/dev/null 2>&1
      wine64 wineboot -i </dev/null >/dev/null 2>&1
    fi
  ) 9>"$WINEPREFIX.lock"
fi
wineserver -p </dev/null >/dev/null 2>&1

case "$exe" in
  *.exe) ;;
  *) [ -f "$exe.exe" ] && exe=$exe.exe ;;
esac
# The 64-bit loader runs 64-bit programs directly; 32-bit ones go through the WoW64 loader.
if objdump -f "$exe" 2>/dev/null | grep -q "pei-i386"; then
  exec wine "$exe" "$@"
fi
exec wine64 "$exe" "$@"
