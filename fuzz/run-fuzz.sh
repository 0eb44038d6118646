#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets with clang (folder build-fuzz) and runs each on a copy of its committed
# seed corpus plus the matching shipped data files, FUZZ_SECONDS seconds each (default 20).
#   FUZZ_TARGETS="kernel organ"  only these targets
#   FUZZ_RUNS=10000000           stop a target after this many executions (default: time only)
# Prints the executions per target; exit status 1 when a target reports a crash, a hang, a leak
# or a broken property (the input that did it is kept in fuzz/findings/).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD:-$here/build-fuzz}"
secs="${FUZZ_SECONDS:-20}"
all="numtext results_csv backscatter attenuation default_output icrusoft primary material organ kernel batch primary_name drl dicom profiles"
targets="${FUZZ_TARGETS:-$all}"

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDOVEX_FUZZ=ON -DDOVEX_WITH_QT=OFF -DDOVEX_WITH_TOOLS=OFF -DDOVEX_WITH_BENCH=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target fuzz_all >/dev/null

shipped() {  # the shipped data files that seed a target
    local d="$here/data"
    case "$1" in
        backscatter) ls "$d"/dBSF-*.dat ;;
        attenuation) echo "$d/Att_coeff2020.dat" ;;
        default_output) echo "$d/default-output.op" ;;
        icrusoft) echo "$d/ICRUSoft.dat" ;;
        primary | primary_name) echo "$d/Primary.dat" ;;
        material) ls "$d"/*.ele "$d"/*.mix ;;
        organ) ls "$d"/Organ-data/*.csv ;;
        kernel) echo "$d/PDS-data/10.dat" "$d/PDS-data/75.dat" "$d/PDS-data/150.dat" ;;
        drl) echo "$d/診断参考レベル.txt" ;;
    esac
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
for t in $targets; do
    mkdir -p "$work/$t/corpus" "$work/$t/data" "$work/$t/out"
    cp -r "$here/fuzz/corpus/$t/." "$work/$t/corpus/"
    for f in $(shipped "$t"); do cp "$f" "$work/$t/data/"; done
    args=(-max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
          -artifact_prefix="$work/$t/out/")
    [ -n "${FUZZ_RUNS:-}" ] && args+=(-runs="$FUZZ_RUNS")
    # DCMTK reserves a value of the length an element declares (up to 4 GB) with a non-throwing
    # new before it finds the stream too short, and reports the failure as a read error: such an
    # allocation is no finding of the dose-record target as long as the memory is not touched
    # (the resident limit stays at 2 GB).
    [ "$t" = dicom ] && args+=(-malloc_limit_mb=8192)
    if "$build/fuzz/fuzz_$t" "${args[@]}" "$work/$t/corpus" "$work/$t/data" >"$work/$t/log" 2>&1; then
        result="ok"
    else
        result="FAILED"
        status=1
        mkdir -p "$here/fuzz/findings"
        cp "$work/$t/out/"* "$here/fuzz/findings/" 2>/dev/null || true
        tail -n 30 "$work/$t/log"
    fi
    runs="$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$work/$t/log" | grep -oE '[0-9]+$' || echo '?')"
    printf 'fuzz_%-16s %12s executions  %s\n' "$t" "$runs" "$result"
done
exit $status
