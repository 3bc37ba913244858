#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test everything.
# Idempotent: packages already present are left alone.
set -euo pipefail

need=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format
      googletest libgtest-dev libbenchmark-dev
      g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
      wine wine64 wine32:i386 xvfb xauth wamerican)

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
