#!/usr/bin/env bash
# make format: formats every C++ file of the project with clang-format (.clang-format at the root).
# make format-check (part of make test): fails, naming the files, when one is not formatted.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-fix}
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "$mode" = check ]; then
  unformatted=()
  for f in "${files[@]}"; do
    clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
  done
  if [ ${#unformatted[@]} -gt 0 ]; then
    echo "Not formatted (run 'make format'):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    exit 1
  fi
  echo "format: all ${#files[@]} files are formatted"
else
  clang-format -i "${files[@]}"
  echo "format: ${#files[@]} files formatted"
fi
