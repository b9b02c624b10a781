#!/usr/bin/env bash
# Live decoding's cost: a long recording piped through quillfen-cli --decode - as fast as it will
# go, its processor time against the audio's length (goal: under 10% of one core for 8 kHz audio),
# beside decoding the same file and minimodem's receiver on it where installed. Prints figures;
# never fails on time. Usage: bench/live_decode.sh [PROGRAM_DIR]
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cli="$bin/quillfen-cli"
echo "live decoding"
[ -x "$cli" ] || { echo "  quillfen-cli: not built"; exit 0; }

# About two minutes of tones in the standard format (16-bit mono 8 kHz), then the same again as a
# stream with the data size a recorder writes before it knows it (0xFFFFFFFF).
unit="PLEASE CALL 555-0142 BETWEEN 9 AM AND 5 PM GA "
text=""
while [ ${#text} -lt 900 ]; do text+="$unit"; done
if ! "$cli" -o "$work/long.wav" "$text" >/dev/null 2>"$work/err"; then
  echo "  the recording could not be made: $(tail -n 1 "$work/err")"
  exit 0
fi
bytes=$(stat -c %s "$work/long.wav")
seconds=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", (b - 44) / 16000 }')
{ head -c 40 "$work/long.wav"; printf '\xff\xff\xff\xff'; tail -c +45 "$work/long.wav"; } > "$work/stream.wav"

# Processor seconds (user and system, children included) of one run of "$@"; empty when it fails.
cpu() {
  local t
  t=$( { TIMEFORMAT='%U %S'; time "$@" >"$work/out" 2>"$work/err"; } 2>&1) || { echo ""; return; }
  awk -v u="${t% *}" -v s="${t#* }" 'BEGIN { printf "%.3f", u + s }'
}
share() { if [ -n "$1" ]; then awk -v c="$1" -v s="$seconds" 'BEGIN { printf "%.2f%%", 100 * c / s }'; else echo "n/a"; fi; }
live() { "$cli" --decode - < "$work/stream.wav"; }
file() { "$cli" --decode "$work/long.wav"; }
c_live=$(cpu live)
same="differs"
[ "$(tr -d '\r\n ' < "$work/out")" = "$(tr -d '\r\n ' <<<"$text")" ] && same="same text"
c_file=$(cpu file)
echo "  $seconds s of 8 kHz audio: live ${c_live:-failed} s of processor time, $(share "$c_live") of one core" \
     "(goal < 10%), $same; from the file ${c_file:-failed} s, $(share "$c_file")"
if command -v minimodem >/dev/null; then
  mm() { minimodem --rx tdd -q -f "$work/long.wav"; }
  c_mm=$(cpu mm)
  echo "  minimodem's receiver on the file: ${c_mm:-failed} s, $(share "$c_mm")"
fi
