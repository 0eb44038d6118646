#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Regenerates the physical reference data files of data/ byte for byte:
#   Att_coeff2020.dat, default-output.op, ICRUSoft.dat, Primary.dat (lines 1-31),
#   the filter material files *.ele / *.mix and "はじめにお読み下さい.txt".
# Sources: xraylib 4.0.0 (Debian libxrl-dev) and the NIST SRD 126 tables in
# $DOVEX_NIST_MUEN_DIR (default: tools/reference/nist-muen).
#
# Also the exam-part list and the organ data files (tools/organdata).
#
# Usage: scripts/regen-data.sh [build folder]   (default: build-regen)
# With DOVEX_REGEN_MC=1 the Monte Carlo data (dBSF files, PDS-data) are regenerated too, by
# tools/mc/regen-mc.sh (about 10-15 minutes on 2 cores).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-regen}
nist=${DOVEX_NIST_MUEN_DIR:-$root/tools/reference/nist-muen}
if [ ! -f "$nist/air.csv" ]; then
  echo "regen-data: NIST tables not found in $nist (set DOVEX_NIST_MUEN_DIR)" >&2
  exit 1
fi
cmake -S "$root" -B "$build" -DDOVEX_WITH_QT=OFF -DDOVEX_WITH_BENCH=OFF -DDOVEX_WITH_TOOLS=ON >/dev/null
cmake --build "$build" -j2 --target dovex-refdata dovex-organdata
"$build/tools/refdata/dovex-refdata" --nist "$nist" --out "$root/data"
"$build/tools/organdata/dovex-organdata" --out "$root/data"

if [ "${DOVEX_REGEN_MC:-0}" = 1 ]; then
  "$root/tools/mc/regen-mc.sh" "$build"
fi
