#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the folder the desktop program runs in: a copy of data/ that the program may write to
# (the spectrum file, the user name line of Primary.dat), so the source tree stays as committed.
# A user name registered in an earlier run is kept across updates of the data files.
set -euo pipefail
src=$1
dst=$2
mkdir -p "$dst"
name=""
if [ -f "$dst/Primary.dat" ] && [ "$(wc -l < "$dst/Primary.dat")" -ge 32 ]; then
  name=$(sed -n '32p' "$dst/Primary.dat")
fi
cp -r "$src"/. "$dst"/
if [ -n "$name" ]; then
  printf '%s\n' "$name" >> "$dst/Primary.dat"
fi
