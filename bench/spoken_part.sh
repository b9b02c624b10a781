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

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# The best of $runs runs: the wall time, and the processor time with wavcat's (user and system),
# which a loaded machine disturbs far less. Prints "WALL CPU", or nothing when a run fails.
best() {
  local b="" c="" t
  for _ in $(seq $runs); do
    t=$( { TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>"$work/err"; } 2>&1) || { echo ""; return; }
    b=$(awk -v t="${t%% *}" -v b="$b" 'BEGIN { print (b == "" || t < b) ? t : b }')
    c=$(awk -v u="$(cut -d' ' -f2 <<<"$t")" -v s="$(cut -d' ' -f3 <<<"$t")" -v c="$c" \
          'BEGIN { t = u + s; print (c == "" || t < c) ? t : c }')
  done
  echo "$b $c"
}

greeting="HELLO, YOU HAVE REACHED THE TTY LINE OF THE TOWN HALL. PLEASE LEAVE YOUR NAME AND NUMBER GA"
"$maker" "$work/wait.wav" 10 44100 2 && "$maker" "$work/wait.flac" 10 48000 1 && "$maker" "$work/wait8k.wav" 10 8000 1 ||
  { echo "spoken part: the recordings could not be made"; exit 0; }

plain() { "$bin/quillfen-cli" -o "$work/plain.wav" "$greeting"; }
read -r t_plain c_plain <<<"$(best plain)"
echo "spoken part: the greeting without one ${t_plain:-failed} s (processor ${c_plain:-n/a} s), best of $runs"
for case in "10 s WAV 44.1 kHz stereo before:--voice-before $work/wait.wav" \
            "10 s FLAC 48 kHz mono before:--voice-before $work/wait.flac" \
            "10 s WAV 8 kHz mono before:--voice-before $work/wait8k.wav" \
            "10 s WAV 44.1 kHz stereo before and after:--voice-before $work/wait.wav --voice-after $work/wait.wav"; do
  label=${case%%:*}
  read -r -a options <<<"${case#*:}"
  voiced() { "$bin/quillfen-cli" "${options[@]}" -o "$work/voiced.wav" "$greeting"; }
  read -r t c <<<"$(best voiced)"
  echo "  $label: ${t:-failed} s, $(ratio "$t" "$t_plain") times the greeting without (goal <= 1.5);" \
       "processor $(ratio "$c" "$c_plain") times"
done

# The last greeting (spoken parts before and after) on the peers' receivers: the voice must not be
# read as characters.
if command -v minimodem >/dev/null; then
  heard=$(minimodem --rx --quiet --baudot -M 1400 -S 1800 -f "$work/voiced.wav" 45.45 2>/dev/null | flat)
  echo "  minimodem heard: $heard  ($(verdict "$greeting" "$heard"))"
fi
if [ -x "$bin/../bench/v18_peer" ]; then
  heard=$("$bin/../bench/v18_peer" rx "$work/voiced.wav" 2>/dev/null | flat)
  echo "  spandsp heard: $heard  ($(verdict "$greeting" "$heard"))"
fi
