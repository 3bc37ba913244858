#!/usr/bin/env bash
# Builds the setup program build/Quillet-setup.exe from the win64 and win32 builds (both built first)
# and prints its size.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/build/Quillet-setup.exe
for set in win64 win32; do
  for f in quillsvc.dll lexwarden.exe lexforge.exe english.dict english.rank Manual.chm; do
    [ -f "build/$set/bin/$f" ] || { echo "installer: build/$set/bin/$f is missing: build $set first" >&2; exit 1; }
  done
done
makensis -V2 -NOCD -DX64DIR="$PWD/build/win64/bin" -DX86DIR="$PWD/build/win32/bin" \
  -DICON="$PWD/quillsvc/langbar/icons/open.ico" -DOUTFILE="$out" installer/quillet.nsi
echo "setup program: $out ($(stat -c %s "$out") bytes)"
