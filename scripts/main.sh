#!/usr/bin/env bash
# The main job: set up, build every program (native, Windows x64 and x86), build the default English
# dictionary, look a prefix up in it and save a picture of the candidate window showing it.
# Usage: scripts/main.sh [PREFIX]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

prefix=${1:-quil}
jobs=$(nproc)
for preset in native-release win64 win32; do
  echo "=== building $preset"
  host=()
  [ "$preset" != native-release ] && host=(-DQUILLET_HOST_LEXFORGE="$PWD/build/native-release/bin/lexforge")
  cmake --preset "$preset" "${host[@]}" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

bin=build/native-release/bin
echo
echo "=== the default dictionary"
ls -l "$bin/english.dict"
echo
echo "=== what typing \"$prefix\" offers"
"$bin/lexforge" lookup "$bin/english.dict" "$prefix" --typed

echo
echo "=== the candidate window for \"$prefix\" (under Wine)"
bash scripts/wine-run.sh --prepare build/win64
picture=$PWD/build/candidates.png
bash scripts/wine-run.sh build/win64/bin/candview.exe --png "Z:${picture//\//\\}" "$prefix"
echo "picture: $picture"
