#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the installation and the Debian package of a built build folder (CI, `make test`):
#   1. installs into a staging root (DESTDIR) and checks the layout: programs, every shipped data
#      file byte for byte, the data stamp, the menu entry, the icons, the manual page, documents;
#   2. runs the staged programs: dovex-calc on its default data, dovex (offscreen) until it has
#      made the user's data folder in a scratch HOME;
#   3. builds dovex_<version>_amd64.deb with CPack and checks its fields, its dependencies,
#      that it holds exactly the staged files, and that lintian finds no error in it.
# Usage: scripts/check-package.sh [build folder]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
dovex_pid=""
cleanup() {
  if [ -n "$dovex_pid" ]; then kill "$dovex_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

# ---- 1. Staging install
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr --strip >/dev/null
u=$stage/usr
for f in bin/dovex bin/dovex-calc; do
  [ -x "$u/$f" ] || fail "/usr/$f is missing or not executable"
done
for f in share/applications/dovex.desktop share/icons/hicolor/scalable/apps/dovex.svg \
         share/icons/hicolor/48x48/apps/dovex.png share/icons/hicolor/256x256/apps/dovex.png \
         share/man/man1/dovex-calc.1.gz share/doc/dovex/copyright \
         share/doc/dovex/changelog.gz share/man/man1/dovex.1.gz share/dovex/.dovex-data-version \
         share/doc/dovex/THIRD-PARTY-NOTICES.md share/doc/dovex/manual/index.md; do
  [ -s "$u/$f" ] || fail "/usr/$f is missing"
done
# Every data file of the source tree, unchanged; nothing else but the stamp.
(cd "$root/data" && find . -type f ! -name README.md | sort) > "$work/source-data"
(cd "$u/share/dovex" && find . -type f ! -name .dovex-data-version | sort) > "$work/shipped-data"
diff -u "$work/source-data" "$work/shipped-data" || fail "share/dovex differs from data/ in its files"
while IFS= read -r f; do
  cmp -s "$root/data/$f" "$u/share/dovex/$f" || fail "share/dovex/$f differs from data/$f"
done < "$work/source-data"
grep -q "^$version " "$u/share/dovex/.dovex-data-version" || fail "data stamp does not name $version"
# The shipped name file carries no user's name: the engine's 31 lines only.
[ "$(wc -l < "$u/share/dovex/Primary.dat")" -eq 31 ] || fail "shipped Primary.dat is not 31 lines"
# Nothing of the build: no run path into the build folder.
if readelf -d "$u/bin/dovex" "$u/bin/dovex-calc" | grep -q 'R.*PATH'; then
  fail "an installed program has a run path"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$u/share/applications/dovex.desktop" || fail "menu entry does not validate"
fi
grep -q '^Categories=Science;MedicalSoftware;$' "$u/share/applications/dovex.desktop" ||
  fail "menu entry category"
grep -q '^Name\[ja\]=' "$u/share/applications/dovex.desktop" || fail "menu entry has no Japanese name"
zcat "$u/share/man/man1/dovex-calc.1.gz" | grep -qF -- '\-\-kv' || fail "manual page does not list --kv"
grep -q '^License: Expat' "$u/share/doc/dovex/copyright" || fail "copyright states no Expat licence"
# The user's manual: every chapter and every image it names.
for f in "$root"/docs/manual/*.md "$root"/docs/manual/images/*.png; do
  rel=${f#"$root"/docs/manual/}
  cmp -s "$f" "$u/share/doc/dovex/manual/$rel" || fail "manual file $rel is not installed unchanged"
done
"$u/bin/dovex-calc" --help | grep -qF /usr/share/doc/dovex/manual || fail "dovex-calc --help does not name the manual"

# ---- 2. The staged programs
"$u/bin/dovex-calc" --kv 80 --json > "$work/calc.json" || fail "staged dovex-calc --kv 80 --json failed"
python3 - "$work/calc.json" <<'PY' || fail "staged dovex-calc gave no plausible entrance surface dose"
import json, sys
def esd(o):  # every numeric value under a key that names an entrance surface dose
    if isinstance(o, dict):
        for k, v in o.items():
            if isinstance(v, (int, float)) and "esd" in k.lower():
                yield v
            else:
                yield from esd(v)
    elif isinstance(o, list):
        for v in o:
            yield from esd(v)
vals = list(esd(json.load(open(sys.argv[1]))))
assert vals and all(0.01 < v < 100 for v in vals), vals
PY
home=$work/home
mkdir -p "$home"
HOME=$home XDG_DATA_HOME= QT_QPA_PLATFORM=offscreen "$u/bin/dovex" >"$work/dovex.log" 2>&1 &
dovex_pid=$!
userdir=$home/.local/share/dovex
for _ in $(seq 1 100); do
  [ -f "$userdir/.dovex-data-version" ] && break
  kill -0 "$dovex_pid" 2>/dev/null || { cat "$work/dovex.log" >&2; fail "staged dovex ended at start"; }
  sleep 0.2
done
sleep 0.5
kill -0 "$dovex_pid" 2>/dev/null || { cat "$work/dovex.log" >&2; fail "staged dovex ended at start"; }
kill "$dovex_pid"; wait "$dovex_pid" 2>/dev/null || true; dovex_pid=""
cmp -s "$userdir/.dovex-data-version" "$u/share/dovex/.dovex-data-version" ||
  fail "staged dovex did not fill the user's data folder $userdir"
cmp -s "$userdir/Att_coeff2020.dat" "$u/share/dovex/Att_coeff2020.dat" ||
  fail "user's data folder lacks the shipped physics files"

# ---- 3. The Debian package
(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$build/dovex_${version}_amd64.deb
[ -f "$deb" ] || fail "no $deb"
[ "$(dpkg-deb -f "$deb" Package)" = dovex ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "architecture"
depends=$(dpkg-deb -f "$deb" Depends)
for d in fonts-noto-cjk qt6-qpa-plugins libqt6widgets6 libqt6gui6 libqt6core6 libqt6printsupport6 libqt6charts6 libstdc++6; do
  echo "$depends" | grep -q "\b$d\b" || fail "Depends lacks $d: $depends"
done
mkdir "$work/deb"
dpkg-deb -x "$deb" "$work/deb"
(cd "$stage" && find . -type f | sort) > "$work/staged-files"
(cd "$work/deb" && find . -type f | sort) > "$work/deb-files"
diff -u "$work/staged-files" "$work/deb-files" || fail "the package holds other files than the staged install"
# Debian's package checker: no error (licence, documentation, layout). Warnings are printed.
lintian --fail-on error "$deb" > "$work/lintian.log" 2>&1 || { cat "$work/lintian.log" >&2; fail "lintian reports errors"; }
cat "$work/lintian.log"
echo "check-package: $(basename "$deb") $(du -k "$deb" | cut -f1) KiB; Depends: $depends"
