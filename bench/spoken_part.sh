#!/usr/bin/env bash
# A greeting with a spoken part against the same greeting without: the recording is converted once
# and joined by wavcat, so a 10 s part should cost little (goal: at most 1.5 times). Prints figures;
# never fails on time. Usage: bench/spoken_part.sh [PROGRAM_DIR]
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
maker="$bin/../bench/spoken_recording"
[ -x "$maker" ] || { echo "spoken part: $maker not built (make bench builds it)"; exit 0; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
runs=5

best() {
  local b="" t s e
  for _ in $(seq $runs); do
    s=$(date +%s.%N)
    "$@" >/dev/null 2>"$work/err" || { echo ""; return; }
    e=$(date +%s.%N)
    t=$(awk -v a="$e" -v b="$s" 'BEGIN { print a - b }')
    if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
  done
  printf '%.3f' "$b"
}
ratio() { if [ -n "$1" ] && [ -n "$2" ]; then awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; else echo "n/a"; fi; }

greeting="HELLO, YOU HAVE REACHED THE TTY LINE OF THE TOWN HALL. PLEASE LEAVE YOUR NAME AND NUMBER GA"
"$maker" "$work/wait.wav" 10 44100 2 && "$maker" "$work/wait.flac" 10 48000 1 && "$maker" "$work/wait8k.wav" 10 8000 1 ||
  { echo "spoken part: the recordings could not be made"; exit 0; }

plain() { "$bin/quillfen-cli" -o "$work/plain.wav" "$greeting"; }
t_plain=$(best plain)
echo "spoken part: the greeting without one ${t_plain:-failed} s"
for case in "10 s WAV 44.1 kHz stereo before:--voice-before $work/wait.wav" \
            "10 s FLAC 48 kHz mono before:--voice-before $work/wait.flac" \
            "10 s WAV 8 kHz mono before:--voice-before $work/wait8k.wav" \
            "10 s WAV 44.1 kHz stereo before and after:--voice-before $work/wait.wav --voice-after $work/wait.wav"; do
  label=${case%%:*}
  read -r -a options <<<"${case#*:}"
  voiced() { "$bin/quillfen-cli" "${options[@]}" -o "$work/voiced.wav" "$greeting"; }
  t=$(best voiced)
  echo "  $label: ${t:-failed} s, $(ratio "$t" "$t_plain") times the greeting without (goal <= 1.5)"
done

# The last greeting (spoken parts before and after) on the peers' receivers: the voice must not be
# read as characters.
flat() { tr -d '\r' | tr '\n' ' ' | sed 's/^ *//; s/ *$//'; }
verdict() { if [ "$1" = "$greeting" ]; then echo "same text"; else echo "DIFFERS"; fi; }
if command -v minimodem >/dev/null; then
  heard=$(minimodem --rx --quiet --baudot -M 1400 -S 1800 -f "$work/voiced.wav" 45.45 2>/dev/null | flat)
  echo "  minimodem heard: $heard  ($(verdict "$heard"))"
fi
if [ -x "$bin/../bench/v18_peer" ]; then
  heard=$("$bin/../bench/v18_peer" rx "$work/voiced.wav" 2>/dev/null | flat)
  echo "  spandsp heard: $heard  ($(verdict "$heard"))"
fi
