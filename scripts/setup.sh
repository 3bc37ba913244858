#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test everything.
# Idempotent: packages already present are left alone.
set -euo pipefail

# vim-runtime: its user manual, texts by one author that ksr_bench --author learns from (measuring only).
# codespell: its list of common misspellings, from which tools/mistake_costs remakes the forgiving
# matcher's costs and forgiving_bench measures it (never built into the programs).
need=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format
      googletest libgtest-dev libbenchmark-dev
      g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
      wine wine64 wine32:i386 xvfb xauth wamerican qemu-user-static
      fonts-liberation fp-utils-3.2.2
      pocketsphinx-en-us dasher-data
      presage libpresage-dev libpresage-data miscfiles doc-debian nsis codespell vim-runtime)

# Wine's 32-bit loader is an i386 Linux program. Some kernels (small VMs) cannot run 32-bit code at all;
# there it runs under user-mode emulation, registered with binfmt_misc (kernel state, so it is checked
# on every run, not only when packages are missing).
enable_i386_emulation() {
  /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
  local fs=/proc/sys/fs/binfmt_misc
  [ -e "$fs/register" ] || mount -t binfmt_misc binfmt_misc "$fs" 2>/dev/null || true
  if [ -e "$fs/register" ] && [ ! -e "$fs/qemu-i386" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      >"$fs/register" || true
  fi
  /usr/lib/wine/wine --version >/dev/null 2>&1 || echo "warning: 32-bit Windows programs cannot run on this machine" >&2
}

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  enable_i386_emulation
  exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
enable_i386_emulation
