#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The --json output (and the messages and exit status) of dovex-calc on 126 conditions, one file
# each, for a byte-for-byte comparison of two builds after a change that must keep every number:
#   bench/json-outputs.sh build-before /tmp/before; bench/json-outputs.sh build /tmp/after
#   diff -r /tmp/before /tmp/after
# The conditions: 7 tube voltages x 3 rectifications x 2 phantoms x 3 sets of the other options
# (the defaults; an exam part with organ data, a circular field and other distances; a measured
# exposure in R with an arbitrary filter, copper and a field preset).
# A Windows build folder (cmake/mingw-w64.cmake) holds dovex-calc.exe, which runs under Wine; its
# outputs compare with a Linux build's the same way.
# Usage: bench/json-outputs.sh [build folder] [output folder]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
out="${2:-json-outputs}"
calc="$build/cli/dovex-calc"
run=()
if [ -f "$build/cli/dovex-calc.exe" ]; then
    calc="$build/cli/dovex-calc.exe"
    run=(wine)
fi
data="$here/data"
mkdir -p "$out"
parts=(腹部正面 胸部正面 頭部正面 頸椎側面 腰椎正面 骨盤正面 股関節正面)
n=0
for kv in 40 60 75 90 110 130 149.9; do
    for rect in 1 2 3; do
        for phantom in body head; do
            for set in 0 1 2; do
                args=(--json --kv "$kv" --rectification "$rect" --phantom "$phantom")
                case $set in
                    1) args+=(--exam-part "${parts[$((n % ${#parts[@]}))]}" --circle 30 --ffd 120
                              --fsd 95 --thickness 22 --ma 320 --time 0.08) ;;
                    2) args+=(--exposure 0.35 --exposure-unit R --filter-file Cu.ele
                              --filter-mm 0.2 --added-cu 0.1 --field-preset "四切サイズ 横"
                              --target-angle 16 --inherent-al 1.5 --added-al 2
                              --exam-part 胸部正面) ;;
                esac
                f="$out/$(printf '%03d' "$n").txt"
                {
                    echo "args: ${args[*]}"
                    rc=0
                    "${run[@]}" "$calc" --data-dir "$data" "${args[@]}" 2>"$f.err" || rc=$?
                    echo "exit: $rc"
                    cat "$f.err"
                } >"$f"
                rm -f "$f.err"
                n=$((n + 1))
            done
        done
    done
done
echo "$n conditions written to $out"
