#!/usr/bin/env bash
# Puts the project's licence identifier, "SPDX-License-Identifier: MIT", into every source file
# of the project: C++ (.cpp, .h) as "// ..." on the first line; CMake (CMakeLists.txt, *.cmake),
# shell (*.sh), Python (*.py) and the Makefile as "# ..." on the first line, after a "#!" line
# when there is one. A file that already names an SPDX licence in its first five lines is left
# as it is, so running the script again changes nothing.
# Usage: scripts/add-spdx.sh [--check] [source root]
#   --check  changes nothing; lists the files without the line and ends with status 1 if any.
# Data files, reference tables, fuzz corpora and documents are not source files and are left alone.
set -euo pipefail
check=0
if [ "${1:-}" = "--check" ]; then check=1; shift; fi
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
cd "$root"

list_sources() {
  if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files --cached --others --exclude-standard
  else
    find . -path ./.git -prune -o -path './build*' -prune -o -type f -print | sed 's|^\./||'
  fi | grep -Ev '^(data|docs|tools/reference|fuzz/corpus|fuzz/findings)/|^build' |
    while IFS= read -r f; do
      # Named sources, and scripts without an extension that start with "#!".
      if [[ "$f" =~ (\.(cpp|h|cmake|sh|py)|(^|/)CMakeLists\.txt|(^|/)Makefile)$ ]]; then
        echo "$f"
      elif [[ ! "$f" =~ \.[A-Za-z0-9]+$ ]] && [ -f "$f" ] && head -c 2 "$f" | grep -q '^#!'; then
        echo "$f"
      fi
    done | LC_ALL=C sort
}

missing=0
while IFS= read -r f; do
  [ -f "$f" ] || continue
  if head -n 5 "$f" | grep -q 'SPDX-License-Identifier:'; then continue; fi
  if [ "$check" = 1 ]; then
    echo "no SPDX line: $f"
    missing=$((missing + 1))
    continue
  fi
  case "$f" in
    *.cpp|*.h) line='// SPDX-License-Identifier: MIT' ;;
    *) line='# SPDX-License-Identifier: MIT' ;;
  esac
  tmp=$(mktemp "$f.spdx.XXXXXX")
  if head -n 1 "$f" | grep -q '^#!'; then
    { head -n 1 "$f"; printf '%s\n' "$line"; tail -n +2 "$f"; } > "$tmp"
  else
    { printf '%s\n' "$line"; cat "$f"; } > "$tmp"
  fi
  chmod --reference="$f" "$tmp"
  mv "$tmp" "$f"
done < <(list_sources)

if [ "$check" = 1 ] && [ "$missing" -gt 0 ]; then
  echo "add-spdx: $missing source files lack the SPDX line (run scripts/add-spdx.sh)" >&2
  exit 1
fi
exit 0
