#!/usr/bin/env bash
# 50-baud output against a peer's receiver: a conversion at --baud 50 (its prompt set made in a cache
# of the bench's own), read back by minimodem at 50 baud where it is installed. Prints what it heard;
# never fails. Usage: bench/fifty_baud.sh [PROGRAM_DIR]
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "50 baud:"
if ! command -v minimodem >/dev/null; then
  echo "  minimodem not installed; skipped"
  exit 0
fi
text='THE QUICK BROWN FOX 123-456 (50 BAUD)'
if ! XDG_CACHE_HOME="$work/cache" "$bin/quillfen-cli" --baud 50 -o "$work/fifty.wav" "$text" >/dev/null 2>"$work/err"; then
  echo "  quillfen-cli --baud 50 failed: $(head -n 1 "$work/err")"
  exit 0
fi
heard=$(minimodem --rx --quiet --baudot -M 1400 -S 1800 -f "$work/fifty.wav" 50 2>/dev/null | tr -d '\r' | tr '\n' ' ' | sed 's/ *$//')
if [ "$heard" = "$text" ]; then verdict="same text"; else verdict="DIFFERS"; fi
echo "  sent:  $text"
echo "  minimodem --rx --baudot -M 1400 -S 1800 50 heard: $heard  ($verdict)"
