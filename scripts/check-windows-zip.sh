#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Unpacks dovex-calc-<version>-win64.zip into an empty Wine prefix (a Windows without anything
# else installed), checks its contents and runs a calculation with an exam part from there.
# Usage: scripts/check-windows-zip.sh [Windows build folder]
set -euo pipefail
wbuild="$(realpath -m "${1:-build-windows}")"
zip="$(ls "$wbuild"/dovex-calc-*-win64.zip)"
name="$(basename "$zip" .zip)"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX="$wbuild/wineprefix-fresh"
WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p
wine cmd.exe /c exit </dev/null >/dev/null 2>&1  # Wine's services, away from our pipes
trap 'WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true' EXIT
dest="$WINEPREFIX/drive_c/dovex"
mkdir -p "$dest"
(cd "$dest" && LC_ALL=C.UTF-8 cmake -E tar xf "$zip")
# The names in the zip are marked as UTF-8 (general purpose flag bit 11), as Windows needs them.
if command -v python3 >/dev/null; then
  python3 - "$zip" <<'PY'
import sys, zipfile
bad = [i.filename for i in zipfile.ZipFile(sys.argv[1]).infolist()
       if not i.filename.isascii() and not i.flag_bits & 0x800]
if bad:
    sys.exit("names not marked as UTF-8: %s" % bad)
PY
fi
for f in dovex-calc.exe README.txt data/撮影部位.txt data/診断参考レベル.txt data/Primary.dat \
         data/Organ-data/腹部正面.csv data/PDS-data; do
  test -e "$dest/$name/$f" || { echo "missing in the zip: $f" >&2; exit 1; }
done
# Run from the user's folder, not from the program's: the program finds its data beside itself.
out="$(cd "$WINEPREFIX/drive_c/users" && wine "C:\\dovex\\$name\\dovex-calc.exe" --exam-part 腹部正面)"
echo "$out" | grep -q '実効線量' || { echo "$out" >&2; exit 1; }
echo "$out" | grep -q '入射表面線量' || { echo "$out" >&2; exit 1; }
echo "$zip unpacked into an empty prefix; dovex-calc.exe --exam-part 腹部正面:"
echo "$out" | sed -n '1p;/実効線量/p'
