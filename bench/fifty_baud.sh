#!/usr/bin/env bash
# 50-baud output against a peer's receiver: a conversion at --baud 50 (its prompt set made in a cache
# of the bench's own), read back at 50 baud by minimodem and by spandsp's receiver (bench/v18_peer)
# where they are here. Prints what they heard; never fails. Usage: bench/fifty_baud.sh [PROGRAM_DIR]
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "50 baud:"
v18="$bin/../bench/v18_peer"
if ! command -v minimodem >/dev/null && [ ! -x "$v18" ]; then
  echo "  neither minimodem nor bench/v18_peer is here; skipped"
  exit 0
fi
text='THE QUICK BROWN FOX 123-456 (50 BAUD)'
if ! XDG_CACHE_HOME="$work/cache" "$bin/quillfen-cli" --baud 50 -o "$work/fifty.wav" "$text" >/dev/null 2>"$work/err"; then
  echo "  quillfen-cli --baud 50 failed: $(head -n 1 "$work/err")"
  exit 0
fi
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
echo "  sent:  $text"
if command -v minimodem >/dev/null; then
  heard=$(minimodem --rx --quiet --baudot -M 1400 -S 1800 -f "$work/fifty.wav" 50 2>/dev/null | flat)
  echo "  minimodem --rx --baudot -M 1400 -S 1800 50 heard: $heard  ($(verdict "$text" "$heard"))"
fi
if [ -x "$v18" ]; then
  heard=$("$v18" rx50 "$work/fifty.wav" 2>/dev/null | flat)
  echo "  spandsp's 50-baud receiver heard: $heard  ($(verdict "$text" "$heard"))"
fi
