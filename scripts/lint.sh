#!/usr/bin/env bash
# make lint: the formatting check and clang-tidy over the project's own sources.
# Usage: lint.sh BUILD_DIR JOBS   (BUILD_DIR must hold compile_commands.json)
set -euo pipefail
build=$1 jobs=${2:-2}
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'resources/*.cpp')
echo "lint: clang-format on ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}"

# clang-tidy reads what the build compiled; headers are checked through the files that include them.
mapfile -t units < <(git ls-files 'src/*.cpp' 'tools/*.cpp' 'resources/*.cpp' | grep -v '_win\.cpp$')
echo "lint: clang-tidy on ${#units[@]} files"
printf '%s\n' "${units[@]}" | xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null
echo "lint: clean"
