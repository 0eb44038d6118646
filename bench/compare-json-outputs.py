#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Compares two folders written by bench/json-outputs.sh (two builds, e.g. Linux and Windows).

Every file must hold the same text, except that a number may differ in its last digits where the
two C libraries' exp, log and pow round differently: within the given relative tolerance (default
1e-13). Prints how many files are byte for byte the same, how many differ only so, and the largest
relative difference; exits with 1 when a file differs beyond that.
Usage: bench/compare-json-outputs.py FOLDER_A FOLDER_B [TOLERANCE]
"""
import os
import re
import sys

NUMBER = re.compile(r"-?\d+(?:\.\d+)?(?:[eE][-+]?\d+)?")


def main():
    a, b = sys.argv[1], sys.argv[2]
    tol = float(sys.argv[3]) if len(sys.argv) > 3 else 1e-13
    names = sorted(os.listdir(a))
    if names != sorted(os.listdir(b)):
        sys.exit("the folders hold different files")
    same = close = 0
    worst = 0.0
    failures = []
    for name in names:
        ta = open(os.path.join(a, name), "rb").read()
        tb = open(os.path.join(b, name), "rb").read()
        if ta == tb:
            same += 1
            continue
        sa, sb = ta.decode("utf-8"), tb.decode("utf-8")
        # The text around the numbers must be the same; the numbers themselves nearly so.
        if NUMBER.split(sa) != NUMBER.split(sb):
            failures.append(name + ": the text differs")
            continue
        ok = True
        for x, y in zip(NUMBER.findall(sa), NUMBER.findall(sb)):
            if x == y:
                continue
            fx, fy = float(x), float(y)
            rel = abs(fx - fy) / max(abs(fx), abs(fy))
            worst = max(worst, rel)
            if rel > tol:
                failures.append("%s: %s and %s differ by %.3g relative" % (name, x, y, rel))
                ok = False
        close += ok
    print("%d files: %d byte for byte the same, %d the same within %g relative (largest %.3g)"
          % (len(names), same, close, tol, worst))
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
