#!/usr/bin/env bash
# make tidy: runs clang-tidy (.clang-tidy at the root) over the project's sources with the compile commands of a
# build folder; exits 1 when it reports anything.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build/default}
mapfile -t files < <(git ls-files '*.cpp')
status=0
for f in "${files[@]}"; do
  out=$(clang-tidy --quiet -p "$build_dir" "$f" 2>/dev/null | grep -E '(warning|error):' || true)
  if [ -n "$out" ]; then
    echo "$out"
    status=1
  fi
done
exit "$status"
