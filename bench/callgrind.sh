#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Instruction counts (valgrind --tool=callgrind) of dovex-calc on the shipped data:
#   one run with default conditions, single-phase full-wave rectification, with the effective dose
#   estimate (腹部正面), and the cost of one batch row without and with the estimate, taken as the
#   difference between a batch of 21 rows and a batch of 1 row, divided by 20.
# Usage: bench/callgrind.sh [build folder]   (needs valgrind)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
calc="$build/cli/dovex-calc"
data="$here/data"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

count() {  # prints the instruction count of one dovex-calc run
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$calc" --data-dir "$data" "$@" \
        >/dev/null 2>"$work/cg.log" || true
    grep -E '^summary:|^totals:' "$work/cg.out" | head -1 | awk '{print $2}'
}

conditions() {  # conditions file of N rows; $2 = exam part column or empty
    local n="$1" part="$2" f="$work/cond-$1-${#2}.csv"
    if [ -n "$part" ]; then echo "kv,ma,time,exam-part" >"$f"; else echo "kv,ma,time" >"$f"; fi
    for ((i = 0; i < n; i++)); do
        local kv=$((60 + i % 30))
        if [ -n "$part" ]; then echo "$kv,200,0.05,$part" >>"$f"; else echo "$kv,200,0.05" >>"$f"; fi
    done
    echo "$f"
}

batch_row() {  # per-row cost: (21 rows - 1 row) / 20
    local part="$1"
    local one many
    one=$(count --batch "$(conditions 1 "$part")" --out "$work/r1.csv")
    many=$(count --batch "$(conditions 21 "$part")" --out "$work/r21.csv")
    echo $(((many - one) / 20))
}

printf '%-44s %12s\n' "case" "instructions"
printf '%-44s %12s\n' "run --json (default conditions)" "$(count --json)"
printf '%-44s %12s\n' "run --json --rectification 3 (single-phase)" "$(count --json --rectification 3)"
printf '%-44s %12s\n' "run --json --exam-part 腹部正面" "$(count --json --exam-part 腹部正面)"
printf '%-44s %12s\n' "batch, per row without the estimate" "$(batch_row "")"
printf '%-44s %12s\n' "batch, per row with the estimate (腹部正面)" "$(batch_row 腹部正面)"

# Dose records: reading and mapping only (callgrind collects inside ReadRecordBytes and MapEvent),
# per event of a 5-event report, as (two reports - one report) / 5; the difference leaves out
# what happens once per run (DCMTK reads its data dictionary on the first file).
seeds="$build/tests/records/dovex-record-seeds"
if [ -x "$seeds" ]; then
    "$seeds" "$work/seeds" >/dev/null
    mkdir -p "$work/one" "$work/two"
    cp "$work/seeds/report-5-events.dcm" "$work/one/a.dcm"
    cp "$work/seeds/report-5-events.dcm" "$work/two/a.dcm"
    cp "$work/seeds/report-5-events.dcm" "$work/two/b.dcm"
    records() {
        valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" \
            --toggle-collect='dovex::records::ReadRecordBytes*' \
            --toggle-collect='dovex::records::MapEvent*' \
            "$calc" --data-dir "$data" --no-estimate --dicom "$1" >/dev/null 2>"$work/cg.log" || true
        grep -E '^summary:|^totals:' "$work/cg.out" | head -1 | awk '{print $2}'
    }
    one=$(records "$work/one")
    two=$(records "$work/two")
    printf '%-44s %12s\n' "records, first report (with DCMTK's start)" "$one"
    printf '%-44s %12s\n' "records, read + map per event" "$(((two - one) / 5))"
fi
