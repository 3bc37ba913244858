#!/usr/bin/env bash
# Builds and runs every test: native (ASan + UBSan, with short fuzz runs), then the Windows builds
# for x64 and x86 under Wine, then the setup program in a fresh prefix. Prints a summary for each.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

# Windows tests show windows and move the pointer: always on the runner's own Xvfb, never a desktop's.
unset DISPLAY
jobs=$(nproc)
status=0
for preset in native win64 win32; do
  echo "=== $preset: configure and build"
  # The Windows builds get their default dictionary from the native lexforge, and compare with it.
  host=()
  [ "$preset" != native ] && host=(-DQUILLET_HOST_LEXFORGE="$PWD/build/native/bin/lexforge")
  cmake --preset "$preset" "${host[@]}" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "=== $preset: tests"
  if [ "$preset" = native ]; then
    ctest --preset "$preset" -j "$jobs" || status=1
    continue
  fi
  # The Wine runner tries a start that Wine failed again by itself; every other failure counts.
  bash scripts/wine-run.sh --prepare "build/$preset"
  if ! ctest --preset "$preset" -j "$jobs"; then
    status=1
    echo "=== $preset: what the Wine runner saw (build/wineprefix.log)"
    tail -n 40 build/wineprefix.log || true
  fi
done
echo "=== installer: made, then installed, used and uninstalled in a fresh Wine prefix"
bash scripts/installer.sh && bash installer/install_test.sh || status=1
exit $status
