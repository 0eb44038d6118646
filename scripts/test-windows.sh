#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows build, tested on Linux: the MinGW-w64 cross build of the Qt-free libraries, dovex-calc
# and their tests (cmake/mingw-w64.cmake), every test under Wine, the --json output of dovex-calc.exe
# compared with the Linux build's on 126 conditions, a batch run with Japanese file
# and folder names, and the zip unpacked into an empty Wine prefix and run there.
# Usage: scripts/test-windows.sh [Windows build folder] [Linux build folder]
# (The Linux build folder must hold cli/dovex-calc for the comparison; without it that step is
# skipped with a note.)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
wbuild="$(realpath -m "${1:-build-windows}")"
lbuild="$(realpath -m "${2:-build}")"
jobs="${JOBS:-$(nproc)}"
t0=$(date +%s)

cmake -S . -B "$wbuild" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDOVEX_WERROR="${WERROR:-ON}" >/dev/null
cmake --build "$wbuild" -j "$jobs"
cmake --build "$wbuild" --target package-windows
t1=$(date +%s)

# Wine runs console programs without a display; its prefix (the Windows folders) lives in the
# build folder and is made once.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX="$wbuild/wineprefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
# One wine server for the whole run, instead of one starting for each program. Wine's own services
# start with the first program and stay: started here, away from ctest's output pipes, which they
# would otherwise hold open (ctest then waits for them to end).
wineserver -p
wine cmd.exe /c exit </dev/null >/dev/null 2>&1
trap 'WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true' EXIT

(cd "$wbuild" && ctest --output-on-failure -j "$jobs")
t2=$(date +%s)

calc="$wbuild/cli/dovex-calc.exe"
# No MinGW runtime DLL is needed beside the program.
if x86_64-w64-mingw32-objdump -p "$calc" | grep -i "DLL Name" | grep -iE "libstdc|libgcc|winpthread"; then
  echo "dovex-calc.exe needs MinGW DLLs" >&2
  exit 1
fi

# Japanese names: a conditions file in a Japanese folder, its results written beside it and read.
work="$wbuild/japanese-names"
rm -rf "$work"
mkdir -p "$work/撮影条件"
printf 'kv,ma,time,exam-part\r\n80,250,0.04,腹部正面\r\n70,200,0.05,胸部正面\r\n' >"$work/撮影条件/条件.csv"
(cd "$work" && wine "$calc" --data-dir "$here/data" --batch '撮影条件\条件.csv' --out '撮影条件\結果.csv' --comment 'Wine の試験')
test -f "$work/撮影条件/結果.csv"
(cd "$work" && wine "$calc" --read '撮影条件\結果.csv' --json) >"$work/read.json"
grep -q '腹部正面' "$work/read.json"
grep -q 'Wine の試験' "$work/read.json"
echo "Japanese names: 撮影条件/条件.csv read, 撮影条件/結果.csv written and read back under Wine"

# The same numbers as on Linux on the 126 conditions of bench/json-outputs.sh.
if [ -x "$lbuild/cli/dovex-calc" ]; then
  rm -rf "$wbuild/json-linux" "$wbuild/json-windows"
  bash bench/json-outputs.sh "$lbuild" "$wbuild/json-linux" >/dev/null
  bash bench/json-outputs.sh "$wbuild" "$wbuild/json-windows" >/dev/null
  # The same text; a number may differ in its last digit where MinGW's exp, log and pow round
  # otherwise than glibc's (at most 1e-13 relative).
  python3 bench/compare-json-outputs.py "$wbuild/json-linux" "$wbuild/json-windows" 1e-13
else
  echo "no Linux dovex-calc in $lbuild: the comparison with the Linux build is skipped"
fi
t3=$(date +%s)

# The zip, unpacked into an empty prefix of its own, run from another folder.
bash scripts/check-windows-zip.sh "$wbuild"
t4=$(date +%s)
echo "Windows: build $((t1 - t0)) s, tests under Wine $((t2 - t1)) s, names and comparison $((t3 - t2)) s, zip $((t4 - t3)) s"
