#!/usr/bin/env bash
# make fuzz: runs every fuzz target of a QUILLFEN_FUZZ build for SECONDS each, starting from its kept
# corpus in tests/fuzz/corpus. New inputs go to BUILD_DIR/fuzz/corpus and crashes to
# BUILD_DIR/fuzz/artifacts, never into the sources. Usage: fuzz.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1 seconds=$2
cd "$(dirname "$0")/.."

status=0
for target in "$build"/fuzz/fuzz_*; do
  name=${target##*/fuzz_}
  mkdir -p "$build/fuzz/corpus/$name" "$build/fuzz/artifacts"
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz/artifacts/$name-" "$build/fuzz/corpus/$name" "tests/fuzz/corpus/$name" \
    2> "$build/fuzz/$name.log" || { status=1; echo "fuzz: $name FAILED, see $build/fuzz/$name.log"; }
  grep -E "^stat::number_of_executed_units|^#[0-9]+.*DONE" "$build/fuzz/$name.log" | tail -1 || true
done
exit $status
