#!/usr/bin/env bash
# The main job: set up, build every program (native, Windows x64 and x86) and the setup program, build
# the default English dictionary and its ranking data, look a prefix up in it, show the two orders of "th" and the
# keystrokes each saves on a short real text, save a picture of the candidate window showing it (and of
# corrected spellings marked in it, in every appearance template and high contrast), type a
# sentence with the text service in tsfhost (printing the document and saving build/typing.png), and
# save pictures of the settings sheet's pages and the dictionary convertor; it prints where each is.
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

echo
echo "=== the setup program"
bash scripts/installer.sh

bin=build/native-release/bin
echo
echo "=== the default dictionary"
ls -l "$bin/english.dict"
echo
echo "=== what typing \"$prefix\" offers"
"$bin/lexforge" lookup "$bin/english.dict" "$prefix" --typed

echo
echo "=== the orders: what \"th\" offers first"
for order in dictionary frequent; do
  printf '%-11s %s\n' "$order:" "$(printf '?th\n' | "$bin/lexforge" lookup "$bin/english.dict" --stdin --order "$order" | tr '\t' ' ')"
done
echo
echo "=== a misspelling rescued: what \"becuse\" offers first in a tab that forgives spelling mistakes"
for match in exact forgiving; do
  printf '%-11s %s\n' "$match:" "$(printf '?becuse\n' | "$bin/lexforge" lookup "$bin/english.dict" --stdin --order frequent --match "$match" | tr '\t' ' ')"
done
echo
echo "=== keystrokes saved on a short real text (the Declaration of Independence, from Debian)"
"$bin/ksr_bench" --lexforge "$bin/lexforge" --dict "$bin/english.dict" /usr/share/state/us-declaration.gz
echo
echo "=== learning from a file: a chapter of the Vim user manual typed after learning 25 earlier chapters by its author"
"$bin/ksr_bench" --author --lexforge "$bin/lexforge" --dict "$bin/english.dict" /usr/share/vim/vim90/doc/usr_43.txt

echo
echo "=== the candidate window for \"$prefix\" (under Wine)"
bash scripts/wine-run.sh --prepare build/win64
picture=$PWD/build/candidates.png
bash scripts/wine-run.sh build/win64/bin/candview.exe --png "Z:${picture//\//\\}" "$prefix"
echo "picture: $picture"

echo
echo "=== corrected spellings marked in the candidate window for \"wich\", in each appearance template and high contrast"
pictures=$PWD/build/forgiven
mkdir -p "$pictures"
for look in 1 2 3 4 5 dark light; do
  case $look in
    dark | light) how=(--contrast "$look") name=contrast-$look ;;
    *) how=(--template "$look") name=template$look ;;
  esac
  bash scripts/wine-run.sh build/win64/bin/candview.exe --match forgiving "${how[@]}" --select 2 \
    --png "Z:${pictures//\//\\}\\$name.png" wich >/dev/null
done
echo "pictures: $pictures/"

echo
echo "=== typing with Quillet in tsfhost (under Wine): a sentence picked by number, Tab and a click"
# "qui" then 9 picks "quick", "jum" and a click on row 7 "jumped", "ove" Down Down Tab "over", "lazy"
# then 1; the sentence ends while "do" is being typed, so that the picture shows the candidate window.
keys='The qui9 brown fox jum{Click 7} ove{Down}{Down}{Tab} the lazy1 do'
picture=$PWD/build/typing.png
config=$(mktemp -d)
ns=main$$
QUILLET_NAMESPACE=$ns QUILLET_CONFIG_DIR="Z:${config//\//\\}" \
  bash scripts/wine-run.sh build/win64/bin/tsfhost.exe --png "Z:${picture//\//\\}" --keys "$keys"
# The loader the text service started for this run is not needed any more.
for pid in $(pgrep -f 'from service' || true); do
  tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "QUILLET_NAMESPACE=$ns" && kill "$pid" 2>/dev/null
done
rm -rf "$config"
echo "picture: $picture"

echo
echo "=== pictures of the settings sheet and the dictionary convertor"
(cd build/win64/bin &&
  bash ../../../scripts/wine-run.sh ./setting_dialog_test.exe --gtest_filter='*CancelAtOnce*' >/dev/null &&
  bash ../../../scripts/wine-run.sh ./convertor_dialog_test.exe --gtest_filter='*ConvertsBoth*' >/dev/null) ||
  echo "warning: some pictures could not be made" >&2
echo "pictures: $PWD/build/win64/pictures/"
