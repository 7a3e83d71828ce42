#!/usr/bin/env bash
# make fuzz: runs every fuzz target of a fuzz build for a number of seconds each.
#
#   tools/fuzz.sh [BUILD_DIR] [SECONDS]      (defaults: build/fuzz, 60)
#
# Each target <name> keeps its corpus in BUILD_DIR/corpus/<name> (seeded from fuzz/seeds/<name> when that
# exists) and writes what it finds (crashes, hangs, leaks) to BUILD_DIR/artifacts/<name>/. Exits non-zero when
# any target found something.
set -uo pipefail
build_dir=${1:-build/fuzz}
seconds=${2:-60}
source_dir=$(cd "$(dirname "$0")/.." && pwd)

shopt -s nullglob
targets=("$build_dir"/fuzz/*_fuzz)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz.sh: no fuzz targets in $build_dir/fuzz (cmake --preset fuzz && cmake --build --preset fuzz)" >&2
  exit 2
fi

failed=()
for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$build_dir/corpus/$name"
  artifacts="$build_dir/artifacts/$name"
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [ -d "$source_dir/fuzz/seeds/$name" ] && seeds=("$source_dir/fuzz/seeds/$name")
  echo "== $name: ${seconds}s, corpus $corpus"
  log="$build_dir/$name.log"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" >"$log" 2>&1
  status=$?
  grep -E '^#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb|cov: ' "$log" | tail -3
  if [ $status -ne 0 ]; then
    echo "!! $name found a problem (exit $status); see $log and $artifacts/"
    grep -E 'ERROR|==[0-9]+==|payload_fuzz:|SUMMARY' "$log" | head -5
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz.sh: problems found by: ${failed[*]}"
  exit 1
fi
echo "fuzz.sh: nothing found"
