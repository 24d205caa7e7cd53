#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) over every source of src/ in the compile
# database of a configured build; any finding fails. Two jobs: the machine is
# shared. Usage: scripts/clang-tidy.sh [build folder, default build/default]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/default}"
if [[ ! -f "$build/compile_commands.json" ]]; then
  echo "clang-tidy: no $build/compile_commands.json; configure first (cmake --preset default)" >&2
  exit 2
fi
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
if command -v run-clang-tidy >/dev/null; then
  # Its last argument is a regular expression over the database's file names.
  run-clang-tidy -p "$build" -j 2 -quiet "$PWD/src/.*\.cpp$" >"$log" 2>&1 || true
else
  python3 -c 'import json,sys; [print(e["file"]) for e in json.load(open(sys.argv[1]))]' \
      "$build/compile_commands.json" | grep "^$PWD/src/.*\.cpp$" | sort -u |
    xargs -P 2 -n 1 clang-tidy -p "$build" --quiet >"$log" 2>&1 || true
fi
# run-clang-tidy colours its output even into a file.
sed -i 's/\x1b\[[0-9;]*m//g' "$log"
if grep -E -A3 ': (warning|error):' "$log"; then
  echo "clang-tidy: findings above" >&2
  exit 1
fi
echo "clang-tidy: src/ is clean"
