#!/usr/bin/env bash
# Fetches the misspelling lists that bench/misspellings.py measures on, into build/misspellings, and
# the spelling checker it compares with. Measuring data only: nothing of it is built into Quillet.
#   codespell.txt    Debian's codespell list (GPL-2.0)
#   acor_en-US.dat   LibreOffice's English autocorrect list, from Debian's libreoffice-common (MPL-2.0)
#   dict-en.json     the npm package @cspell/dict-en-common-misspellings 2.2.6 (CC-BY-SA-4.0)
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/misspellings
mkdir -p "$out"
sudo=()
[ "$(id -u)" = 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get install -y --no-install-recommends codespell hunspell hunspell-en-us >/dev/null
cp "$(dpkg -L codespell | grep '/codespell_lib/data/dictionary\.txt$')" "$out/codespell.txt"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if [ ! -f "$out/acor_en-US.dat" ]; then
  (cd "$tmp" && apt-get download libreoffice-common >/dev/null && dpkg-deb -x libreoffice-common_*.deb x)
  cp "$(find "$tmp/x" -name 'acor_en-US.dat' | head -n1)" "$out/acor_en-US.dat"
fi
if [ ! -f "$out/dict-en.json" ]; then
  (cd "$tmp" && npm pack --silent @cspell/dict-en-common-misspellings@2.2.6 >/dev/null && tar xzf ./*.tgz)
  cp "$tmp/package/dict/dict-en.json" "$out/dict-en.json"
fi
wc -l "$out/codespell.txt"
ls -l "$out"
