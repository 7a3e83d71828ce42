#!/usr/bin/env bash
# make bench: runs every benchmark program of bench/ and prints their figures.
#
#   tools/bench.sh [BUILD_DIR]      (default: build/default)
#
# A benchmark program is an executable named *_bench in BUILD_DIR/bench. Each runs in BUILD_DIR/bench-scratch
# (on the build's file system), prints its figures and exits 0 when its targets are met, 1 when not. The
# scratch folder is removed afterwards. Exits non-zero when a benchmark missed a target or failed.
set -uo pipefail
build_dir=${1:-build/default}
shopt -s nullglob
programs=("$build_dir"/bench/*_bench)
if [ ${#programs[@]} -eq 0 ]; then
  echo "bench.sh: no benchmark programs in $build_dir/bench" >&2
  exit 2
fi
scratch="$build_dir/bench-scratch"
status=0
for program in "${programs[@]}"; do
  [ -x "$program" ] || continue
  name=$(basename "$program")
  echo "== $name"
  mkdir -p "$scratch"
  "$program" --dir "$scratch/$name"
  rc=$?
  rm -rf "$scratch/$name"
  case $rc in
    0) ;;
    1) echo "!! $name: a target was missed"; status=1 ;;
    *) echo "!! $name failed (exit $rc)"; status=1 ;;
  esac
done
rm -rf "$scratch"
exit $status
