#!/usr/bin/env bash
# The setup program end to end in a fresh Wine prefix: a silent install; both text services registered
# with their files in place, the licence and the notices beside them, the logon entry and the
# programs-list entry written, the learning order set for the user's first tab through the loader;
# nothing written through a link that the user plants for the elevated half; typing through the
# installed x64 DLL in tsfhost; a silent reinstall while an application holds that DLL (the held file
# goes at the next restart, the new one works at once); an upgrade that fails whole on a file it cannot
# replace, and then goes through while two versions of the DLL are held; a silent uninstall that leaves
# nothing but the user's settings; a folder holding other files refused; an install into a folder of
# one's own, protected by icacls, and one with a failing icacls refused. Prints the installer's size and
# how long install and uninstall took.
# Usage: installer/install_test.sh   (after scripts/installer.sh, with build/win64 built; makensis)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
setup=$root/build/Quillet-setup.exe
prefix=$root/build/install-prefix
[ -f "$setup" ] || { echo "install test: $setup is missing (scripts/installer.sh)" >&2; exit 1; }

rm -rf "$prefix" "$prefix".*
export QUILLET_WINEPREFIX=$prefix
bash scripts/wine-run.sh --prepare build/win64
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
wine64=/usr/lib/wine/wine64
run() { timeout -k 5 600 bash scripts/wine-run.sh "$@"; }
failures=0
check() {
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
# Runs the setup program silently (what it did named by $1), prints how long it took and checks it
# succeeded.
install() {
  local start=$SECONDS code
  run "$setup" /S
  code=$?
  echo "=== silent $1: exit $code in $((SECONDS - start)) s"
  check "the $1 succeeded" "[ $code -eq 0 ]"
}
reg_has() { $wine64 reg query "$1" ${3:+/reg:$3} 2>/dev/null </dev/null | tr -d '\r' | grep -qiF -- "$2"; }

drive=$prefix/drive_c
installed="$drive/Program Files/Quillet"
user_dir=$(find "$drive/users" -maxdepth 1 -mindepth 1 ! -name Public | head -n1)
settings="$user_dir/AppData/Roaming/Quillet"
clsid='{81E900F8-0AE9-4137-8741-5CEB21FE4F62}'

# The elevated half's process (this prefix's), found by its switch; prints its id.
machine_half() {
  local pid
  for pid in $(pgrep -f '/MACHINE'); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$prefix" && { echo "$pid"; return 0; }
  done
  return 1
}
# Plays a process of the installing user: once the elevated half runs, it puts a link at every path
# inside the users' folders on that half's command line, pointing at a file that only administrators
# may write, and notes what that file holds once the half changed it or ended.
victim="$drive/windows/victim.ini"
plant_links() {
  local pid="" path
  for _ in $(seq 600); do pid=$(machine_half) && break; sleep 0.05; done
  [ -n "$pid" ] || return
  tr '\0' '\n' <"/proc/$pid/cmdline" | grep -io 'C:\\users\\.*' | while IFS= read -r path; do
    path=${path:3}
    ln -sfn "$victim" "$drive/${path//\\//}" && echo "planted a link at C:\\$path"
  done
  while kill -0 "$pid" 2>/dev/null && [ "$(cat "$victim" 2>/dev/null)" = untouched ]; do sleep 0.05; done
  cat "$victim" >"$victim.seen" 2>/dev/null
}

echo "=== installer: $(stat -c %s "$setup") bytes"
printf 'untouched\n' >"$victim"
plant_links &
planter=$!
install install
wait "$planter"
seen=$(cat "$victim.seen" 2>/dev/null)
check "nothing written through a link the user planted (the file holds: ${seen:-nothing})" "[ '$seen' = untouched ]"
for set in x64 x86; do
  for f in quillsvc.dll lexwarden.exe lexforge.exe english.dict english.rank Manual.chm; do
    check "$set/$f installed" "[ -f \"$installed/$set/$f\" ]"
  done
done
check "uninstaller installed" "[ -f \"$installed/uninstall.exe\" ]"
check "the licence installed as LICENSE.txt" "cmp -s LICENSE \"$installed/LICENSE.txt\""
check "the notices installed as NOTICES.txt" "cmp -s NOTICES \"$installed/NOTICES.txt\""
check "x64 text service registered" "reg_has 'HKLM\\Software\\Classes\\CLSID\\$clsid\\InProcServer32' 'Quillet\\x64\\quillsvc.dll' 64"
check "x86 text service registered" "reg_has 'HKLM\\Software\\Classes\\CLSID\\$clsid\\InProcServer32' 'Quillet\\x86\\quillsvc.dll' 32"
check "profile registered" "reg_has 'HKLM\\Software\\Microsoft\\CTF\\TIP\\$clsid' 'LanguageProfile' 64"
check "loader starts at logon" "reg_has 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run' 'Quillet\\x64\\lexwarden.exe' 64"
check "in the programs list" "reg_has 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillet' 'uninstall.exe' 64"
# The learning order of the first tab (id 0): options.dat, kept by the loader from what lexforge
# order wrote. Record: "QLTO", u16 version, u16 count, flags, reserved, then i16 id, u8 order, u8 flags.
learning=$(python3 - "$settings/options.dat" <<'PY'
import struct, sys
try:
    b = open(sys.argv[1], 'rb').read()
except OSError:
    print('none'); sys.exit()
count = struct.unpack_from('<H', b, 6)[0] if b[:4] == b'QLTO' else 0
orders = {struct.unpack_from('<h', b, 16 + 4 * i)[0]: b[16 + 4 * i + 2] for i in range(count)}
print(orders.get(0, 0))
PY
)
check "the first tab learns (order 2, found $learning)" "[ '$learning' = 2 ]"

# Typing through the installed DLL, its loader and dictionary: "qui" then 1 picks the first word.
out=$(run build/win64/bin/tsfhost.exe --dll "C:\\Program Files\\Quillet\\x64\\quillsvc.dll" --keys 'The qui1 fox')
echo "$out" | sed -n '1,5p'
check "typed through the installed DLL" "echo \"\$out\" | grep -q 'The qui[a-z]* fox'"

# An application of this prefix that holds the installed x64 DLL: started, and waited for until it
# has the DLL by its present name loaded (Wine maps it from the file).
holders=""
hold_dll() {
  local pid
  QUILLET_WINE_ATTEMPT_SECONDS=600 bash scripts/wine-run.sh build/win64/bin/tsfhost.exe \
    --dll "C:\\Program Files\\Quillet\\x64\\quillsvc.dll" </dev/null >/dev/null 2>&1 &
  holders="$holders $!"
  for _ in $(seq 600); do
    for pid in $(pgrep -f tsfhost); do
      tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$prefix" &&
        grep -q '/Quillet/x64/quillsvc\.dll$' "/proc/$pid/maps" 2>/dev/null && return 0
    done
    sleep 0.1
  done
  return 1
}
pending() {
  $wine64 reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations \
    2>/dev/null </dev/null | tr -d '\r' | grep -qiF -- "$1"
}
asides() { (cd "$installed/x64" && ls -1 quillsvc.dll*.old 2>/dev/null); }

# Installing again while an application holds the x64 DLL: the held file moves aside for the next
# restart, the new one takes its place, and nothing is left half installed.
check "an application holds the x64 DLL" hold_dll
install reinstall
for set in x64 x86; do
  check "$set/quillsvc.dll in place after the reinstall" "[ -f \"$installed/$set/quillsvc.dll\" ]"
done
check "x64 text service still registered" "reg_has 'HKLM\\Software\\Classes\\CLSID\\$clsid\\InProcServer32' 'Quillet\\x64\\quillsvc.dll' 64"
aside=$(asides)
check "the held DLL moved aside (as $aside) and goes at the next restart" "[ -n '$aside' ] && pending 'x64\\$aside'"

# A second upgrade, to a later version, while the first one's aside is still loaded and another
# application holds the DLL that upgrade put in. The later version: the same programs with a mark at
# their end, the licence and the notices too, in a setup program made from the same script without
# compression (quick to make and to run; the runs after this one use it too).
next=$prefix.next
mkdir -p "$next/top"
for f in LICENSE NOTICES; do
  cp $f "$next/top/"
  printf 'QUILLET-NEXT' >>"$next/top/$f"
done
for set in win64 win32; do
  mkdir -p "$next/$set"
  for f in quillsvc.dll lexwarden.exe lexforge.exe english.dict english.rank Manual.chm; do
    cp "build/$set/bin/$f" "$next/$set/"
  done
  for f in quillsvc.dll lexwarden.exe lexforge.exe Manual.chm; do printf 'QUILLET-NEXT' >>"$next/$set/$f"; done
done
makensis -V1 -NOCD '-XSetCompressor /FINAL zlib' '-XSetCompress off' -DVERSION=1.0.1 -DX64DIR="$next/win64" \
  -DX86DIR="$next/win32" -DTOP="$next/top" -DICON="$root/quillsvc/langbar/icons/open.ico" -DOUTFILE="$next/setup.exe" installer/quillet.nsi
marked() {
  local n=0 f
  for f in "$installed"/x{64,86}/{quillsvc.dll,lexwarden.exe,lexforge.exe,Manual.chm} "$installed"/{LICENSE,NOTICES}.txt; do
    tail -c 12 "$f" 2>/dev/null | grep -qa '^QUILLET-NEXT$' && n=$((n + 1))
  done
  echo $n
}
check "another application holds the new x64 DLL" hold_dll
# First while a program holds x64\Manual.chm open and shares it with nobody: that file can be neither
# replaced nor moved aside, so the upgrade must fail and leave the earlier version whole.
helper=build/win64/bin/platform_test_helper.exe
QUILLET_WINE_ATTEMPT_SECONDS=600 bash scripts/wine-run.sh $helper holdfile 'Local\quillet-held' \
  "C:\\Program Files\\Quillet\\x64\\Manual.chm" </dev/null >/dev/null 2>&1 &
fileholder=$!
held() {
  for _ in $(seq 50); do
    $wine64 $helper wait 'Local\quillet-held' 100 </dev/null >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}
check "a program holds x64\\Manual.chm" held
run "$next/setup.exe" /S
code=$?
echo "=== silent upgrade with a file that cannot be replaced: exit $code"
check "the upgrade with a file that cannot be replaced failed" "[ $code -ne 0 ]"
check "none of the later version put in ($(marked) of 10 files)" "[ $(marked) -eq 0 ]"
left=$(find "$installed" -type f ! -name '*.old' | grep -c .)
check "the earlier version whole ($left of 15 files beside the asides, the uninstaller among them)" \
  "[ $left -eq 15 ] && [ -f \"$installed/uninstall.exe\" ]"
$wine64 taskkill /f /im platform_test_helper.exe </dev/null >/dev/null 2>&1
wait "$fileholder" 2>/dev/null
start=$SECONDS
run "$next/setup.exe" /S
code=$?
echo "=== silent upgrade: exit $code in $((SECONDS - start)) s"
check "the upgrade succeeded" "[ $code -eq 0 ]"
check "all of the later version put in ($(marked) of 10 files)" "[ $(marked) -eq 10 ]"
aside=$(asides)
check "both held DLLs aside, each under a name of its own ($(echo $aside))" "[ $(echo "$aside" | sort -u | grep -c .) -eq 2 ]"
for a in $aside; do check "$a goes at the next restart" "pending 'x64\\$a'"; done
$wine64 taskkill /f /im tsfhost.exe </dev/null >/dev/null 2>&1
for holder in $holders; do kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null; done
out=$(run build/win64/bin/tsfhost.exe --dll "C:\\Program Files\\Quillet\\x64\\quillsvc.dll" --keys 'qui1')
check "typed through the upgraded DLL" "echo \"\$out\" | grep -q '^document qui'"

start=$SECONDS
run "$installed/uninstall.exe" /S
code=$?
# The uninstaller hands over to a copy of itself in the temporary folder and returns at once.
for _ in $(seq 240); do [ -e "$installed" ] || break; sleep 0.5; done
echo "=== silent uninstall: exit $code, folder gone after $((SECONDS - start)) s"
check "the uninstaller succeeded" "[ $code -eq 0 ]"
left=$(find "$installed" -type f 2>/dev/null | sed "s|^$installed/||" | tr '\n' ' ')
check "every installed file removed${left:+ (left: $left)}" "[ ! -e \"$installed\" ]"
check "x64 text service unregistered" "! reg_has 'HKLM\\Software\\Classes\\CLSID\\$clsid' 'InProcServer32' 64"
check "x86 text service unregistered" "! reg_has 'HKLM\\Software\\Classes\\CLSID\\$clsid' 'InProcServer32' 32"
check "profile unregistered" "! reg_has 'HKLM\\Software\\Microsoft\\CTF\\TIP' '$clsid' 64"
check "logon entry removed" "! reg_has 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run' 'Quillet' 64"
check "programs-list entry removed" "! reg_has 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall' 'Quillet' 64"
check "the user's settings kept" "[ -f \"$settings/settings.dat\" ] && [ -f \"$settings/options.dat\" ]"

# /D naming by mistake a folder that other things share: its rights stay, and nothing goes in.
mkdir -p "$drive/Shared" && echo other >"$drive/Shared/other.txt"
run "$next/setup.exe" /S '/D=C:\Shared'
code=$?
check "an install into a folder holding other files failed (exit $code) and left it as it was" \
  "[ $code -ne 0 ] && [ \"\$(ls \"$drive/Shared\")\" = other.txt ]"
# A folder of one's own outside Program Files would inherit its parent's rights (C:\ lets every
# signed-in user create and change files): any user could replace the DLL that every application
# loads. Wine keeps no file rights: its icacls only logs what it is asked and returns 0, and rights set
# through the API read back as made from the Unix mode. So what stands in is what the setup program
# asks of icacls, and that an icacls that fails (a program of ours that exits 100 in its place) fails
# the install and leaves nothing.
own='C:\Quillet'
overrides="mscoree,mshtml,winemenubuilder.exe="
system32=$drive/windows/system32
cp "$system32/icacls.exe" "$prefix/icacls.exe.wine"
cp build/win64/bin/platform_test_helper.exe "$system32/icacls.exe"
WINEDLLOVERRIDES="icacls.exe=n;$overrides" timeout -k 5 300 $wine64 "$next/setup.exe" /S "/D=$own" \
  </dev/null >/dev/null 2>&1
code=$?
cp "$prefix/icacls.exe.wine" "$system32/icacls.exe"
echo "=== silent install into $own with a failing icacls: exit $code"
check "an install whose folder could not be protected failed" "[ $code -ne 0 ]"
check "and left nothing" \
  "[ ! -e \"$drive/Quillet\" ] && ! reg_has 'HKLM\\Software\\Classes\\CLSID\\$clsid' 'InProcServer32' 64"
start=$SECONDS
# Into a file: the loader the setup program starts keeps a pipe open.
WINEDEBUG=-all,fixme+icacls WINEDLLOVERRIDES=$overrides timeout -k 5 300 $wine64 "$next/setup.exe" /S "/D=$own" \
  </dev/null >/dev/null 2>"$prefix.icacls"
code=$?
echo "=== silent install into $own: exit $code in $((SECONDS - start)) s"
check "the install into $own succeeded" "[ $code -eq 0 ]"
asked=$(sed -n 's/.*fixme:icacls:main stub: "[^"]*" //p' "$prefix.icacls" | tr -d '"' | tr -s '\\')
wanted='C:\Quillet /setowner *S-1-5-32-544 /L /Q
C:\Quillet /reset /L /Q
C:\Quillet /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX *S-1-15-2-1:(OI)(CI)RX *S-1-15-2-2:(OI)(CI)RX /L /Q'
echo "$asked" | sed 's/^/icacls /'
check "$own owned by Administrators, changed by them and the system alone" "[ \"\$asked\" = \"\$wanted\" ]"

$wine64 wineserver -k </dev/null >/dev/null 2>&1 || /usr/lib/wine/wineserver -k </dev/null >/dev/null 2>&1
echo "=== install test: $failures failed"
[ $failures -eq 0 ]
