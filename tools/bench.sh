#!/usr/bin/env bash
# make bench: runs every benchmark program of bench/ and prints their figures.
#
#   tools/bench.sh [BUILD_DIR]      (default: build/default)
#
# A benchmark program is an executable named *_bench in BUILD_DIR/bench. Each runs in BUILD_DIR/bench-scratch
# (on the build's file system), prints its figures and exits 0 when its targets are met, 1 when not. The
# scratch folder is removed afterwards. At the end the ratio of every comparison is printed again with its target.
# Exits non-zero when a benchmark missed a target or failed.
set -uo pipefail
build_dir=${1:-build/default}
shopt -s nullglob
programs=()
# The payload split goes last: it makes and at the end deletes tens of thousands of files, and for a minute or
# more after that the file system makes every new file slower, which would fall on the benchmarks after it.
for program in "$build_dir"/bench/*_bench; do
  [ "$(basename "$program")" = payload_split_bench ] || programs+=("$program")
done
[ -e "$build_dir/bench/payload_split_bench" ] && programs+=("$build_dir/bench/payload_split_bench")
if [ ${#programs[@]} -eq 0 ]; then
  echo "bench.sh: no benchmark programs in $build_dir/bench" >&2
  exit 2
fi
scratch="$build_dir/bench-scratch"
rm -rf "$scratch"
mkdir -p "$scratch"
status=0
for program in "${programs[@]}"; do
  [ -x "$program" ] || continue
  name=$(basename "$program")
  echo "== $name"
  mkdir -p "$scratch"
  "$program" --dir "$scratch/$name" | tee "$scratch/$name.out"
  rc=${PIPESTATUS[0]}
  # The lines that give a ratio against its target, for the summary.
  grep -E 'ratio .*target' "$scratch/$name.out" >> "$scratch/summary"
  rm -f "$scratch/$name.out"
  rm -rf "$scratch/$name"
  case $rc in
    0) ;;
    1) echo "!! $name: a target was missed"; status=1 ;;
    *) echo "!! $name failed (exit $rc)"; status=1 ;;
  esac
done
echo "== summary"
cat "$scratch/summary" 2>/dev/null
rm -rf "$scratch"
exit $status
