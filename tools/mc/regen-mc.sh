#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Regenerates the six dBSF-*.dat files and the 29 PDS-data/<E>.dat files of data/ by photon
# Monte Carlo (reproducible from the seed; about 10-15 minutes on 2 cores), then checks them.
# Usage: tools/mc/regen-mc.sh [build folder]   (default: build-mc)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-mc}
nist=${DOVEX_NIST_MUEN_DIR:-$root/tools/reference/nist-muen}
cmake -S "$root" -B "$build" -DDOVEX_WITH_QT=OFF -DDOVEX_WITH_BENCH=OFF -DDOVEX_WITH_TOOLS=ON >/dev/null
cmake --build "$build" -j2 --target dovex-mcgen dovex-mcval
"$build/tools/mc/dovex-mcgen" --nist "$nist" --seed 20240601 -j 2 -o "$root/data"
"$build/tools/mc/dovex-mcval" --data "$root/data" files
