#!/usr/bin/env bash
# make fuzz: runs every fuzz target of a QUILLFEN_FUZZ build for SECONDS each, starting from its kept
# corpus in tests/fuzz/corpus. New inputs go to BUILD_DIR/fuzz/corpus and crashes to
# BUILD_DIR/fuzz/artifacts, never into the sources. Usage: fuzz.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1 seconds=$2
cd "$(dirname "$0")/.."

# A temporary folder of the run's own, so that anything a target leaves behind is seen.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

status=0
for target in "$build"/fuzz/fuzz_*; do
  name=${target##*/fuzz_}
  mkdir -p "$build/fuzz/corpus/$name" "$build/fuzz/artifacts"
  echo "fuzz: $name for ${seconds}s"
  TMPDIR="$tmp" "$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz/artifacts/$name-" "$build/fuzz/corpus/$name" "tests/fuzz/corpus/$name" \
    2> "$build/fuzz/$name.log" || { status=1; echo "fuzz: $name FAILED, see $build/fuzz/$name.log"; }
  grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$build/fuzz/$name.log" | tail -1 || true
  if [ -n "$(ls -A "$tmp")" ]; then
    status=1
    echo "fuzz: $name left files in the temporary folder: $(ls -A "$tmp" | head -3 | tr '\n' ' ')"
    rm -rf "${tmp:?}"/* "${tmp:?}"/.[!.]* 2>/dev/null || true
  fi
done
exit $status
