#!/usr/bin/env bash
# Prints times and ratios; never fails on time. Usage: bench/run.sh [PROGRAM_DIR]
#  1. a 32,767-character text end to end through quillfen-cli, in the standard format, in µ-law and
#     at 48 kHz (those with their prompt sets made first, in a cache of the bench's own)
#     and the cost of checking a cached prompt set against its manifest
#  2. wavcat alone on that run's arguments, against cat of the same bytes
#  3. where installed: sox joining the same files, minimodem's TDD transmitter on the same text
#  4. the TTY decoder: error rate against noise and speed, beside minimodem and spandsp where installed
#  5. the window program's cold start against an empty QMainWindow and one with a caption
#     (offscreen), and the disk syncs of its start-up
#  6. peak memory while the window puts a 100 MB result on the clipboard
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
runs=3

source "$here/lib.sh"

# A pangram with every figure, repeated to exactly 32,767 characters.
unit='THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG. CALL (555) 123-4567 OR 890 $12,345.60 #7: "YES!" IS IT 9? '
text=""
while [ ${#text} -lt 32767 ]; do text+="$unit"; done
printf '%s' "${text:0:32767}" > "$work/text.txt"
echo "text: $(wc -c < "$work/text.txt") characters"

cli() { "$bin/quillfen-cli" -o "$work/out.wav" < "$work/text.txt"; }
t_cli=$(best cli)
"$bin/quillfen-cli" --show-command -o "$work/out.wav" < "$work/text.txt" | tail -n 1 > "$work/command.txt"
echo "quillfen-cli end to end: ${t_cli:-failed} s  ($(stat -c %s "$work/out.wav" 2>/dev/null || echo 0) bytes of WAV)"

# The other formats join prompt sets of their own, made on first use: that run is timed apart, the
# best of the later ones against the standard format's. The output is larger at 48 kHz (six times the
# samples), so the time per megabyte written is printed as well.
export XDG_CACHE_HOME="$work/cache"
per_mb() { if [ -n "$1" ] && [ "$2" -gt 0 ]; then awk -v t="$1" -v b="$2" 'BEGIN { printf "%.2f", t * 1000 / (b / 1e6) }'; else echo "n/a"; fi; }
default_bytes=$(stat -c %s "$work/out.wav" 2>/dev/null || echo 0)
for format in "in µ-law:--encoding ulaw" "at 48 kHz:--rate 48000"; do
  label=${format%%:*}
  read -r -a options <<<"${format#*:}"
  fmt_cli() { "$bin/quillfen-cli" "${options[@]}" -o "$work/fmt.wav" < "$work/text.txt"; }
  s=$(date +%s.%N)
  fmt_cli >/dev/null 2>&1 || echo "  $label: failed: $(fmt_cli 2>&1 | tail -n 1)"
  t_first=$(awk -v e="$(date +%s.%N)" -v s="$s" 'BEGIN { printf "%.3f", e - s }')
  t_fmt=$(best fmt_cli)
  bytes=$(stat -c %s "$work/fmt.wav" 2>/dev/null || echo 0)
  echo "  $label: ${t_fmt:-failed} s ($bytes bytes), $(ratio "$t_fmt" "$t_cli") times the standard format's (goal <= 1.5);" \
       "first use with its prompt set made: $t_first s; ms per MB written: $(per_mb "$t_fmt" "$bytes")" \
       "against $(per_mb "$t_cli" "$default_bytes")"
  rm -f "$work/fmt.wav"
  if [ "$label" = "in µ-law" ] && [ -x "$bin/../bench/prompt_set_check" ]; then
    check_ms=$("$bin/../bench/prompt_set_check" "$bin" "$XDG_CACHE_HOME/quillfen/check")
    echo "  the prompt set's check against its manifest: ${check_ms:-failed} ms a run," \
         "$(awk -v c="$check_ms" -v t="$t_fmt" 'BEGIN { if (c != "" && t > 0) printf "%.2f", c / 10 / t; else print "n/a" }') %" \
         "of the µ-law run (goal <= 5 %)"
  fi
done
unset XDG_CACHE_HOME

# The run's own argument list, the output unquoted.
read -r -a words < "$work/command.txt"
inputs=("${words[@]:1:${#words[@]}-2}")
echo "wavcat arguments: ${#inputs[@]} inputs"
cd "$bin"
wc_run() { ./wavcat "${inputs[@]}" "$work/joined.wav"; }
cat_run() { cat "${inputs[@]}" > "$work/joined.raw"; }
t_wavcat=$(best wc_run)
t_cat=$(best cat_run)
echo "wavcat: ${t_wavcat:-failed} s   cat of the same bytes: ${t_cat:-failed} s   wavcat/cat: $(ratio "$t_wavcat" "$t_cat") (target <= 2)"

if command -v sox >/dev/null; then
  # sox holds every input open at once; past the open-file limit it joins in batches, then the batches.
  ulimit -n "$(ulimit -Hn)" 2>/dev/null
  batch=$(( $(ulimit -n) - 64 ))
  sox_run() {
    local parts=() i
    if [ ${#inputs[@]} -le $batch ]; then sox "${inputs[@]}" "$work/sox.wav"; return; fi
    for (( i = 0; i < ${#inputs[@]}; i += batch )); do
      sox "${inputs[@]:i:batch}" "$work/sox.$i.wav" || return 1
      parts+=("$work/sox.$i.wav")
    done
    sox "${parts[@]}" "$work/sox.wav"
  }
  t_sox=$(best sox_run)
  note=""; [ ${#inputs[@]} -gt $batch ] && note=" (in batches of $batch: open-file limit)"
  echo "sox: ${t_sox:-failed} s$note   wavcat/sox: $(ratio "$t_wavcat" "$t_sox")"
else
  echo "sox: not installed"
fi

if command -v minimodem >/dev/null; then
  mm_run() { minimodem --tx tdd -R 8000 -f "$work/mm.wav" < "$work/text.txt"; }
  t_mm=$(best mm_run)
  echo "minimodem --tx tdd at 8000 Hz: ${t_mm:-failed} s   quillfen/minimodem: $(ratio "$t_cli" "$t_mm") (target <= 0.5)"
else
  echo "minimodem: not installed"
fi

# 4. The TTY decoder against white noise, other transmitters and clean transforms, beside minimodem's
#    and spandsp's receivers where they are here, and its speed against minimodem's.
echo
benchbin="$bin/../bench"
if [ -x "$benchbin/tty_decoder_bench" ]; then
  peer=()
  [ -x "$benchbin/v18_peer" ] && peer=(--peer "$benchbin/v18_peer")
  "$benchbin/tty_decoder_bench" "${peer[@]}"
else
  echo "tty_decoder_bench: not built"
fi

# The sections of their own: spoken parts, message sets beside single runs and on the peers,
# 50 baud on the peers, live decoding, playing through a sound server.
for section in spoken_part message_set fifty_baud live_decode playback; do
  echo
  bash "$here/$section.sh" "$bin"
done
echo; bash "$here/screen_reader.sh" "$bin" # the outcomes as a screen reader speaks them

# 5. and 6. The window program, offscreen.
echo
benchdir="$(cd "$bin/../bench" 2>/dev/null && pwd)"
if [ -z "$benchdir" ] || [ ! -x "$benchdir/quillfen_bench_start" ]; then
  echo "window start-up and clipboard: not built (make bench builds them in a window build)"
  exit 0
fi
# A private home, config and runtime directory: the real settings and a running copy stay out of it.
home="$work/home"
mkdir -p "$home/rt" && chmod 700 "$home/rt"
in_home() { env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/rt" QT_QPA_PLATFORM=offscreen "$@"; }
start() { rm -f "$home/rt"/*; in_home "$benchdir/quillfen_bench_start" "$1" "$bin"; }
first_start() { rm -rf "$home/config"; start quillfen; }
later_start() { start quillfen; }
empty_start() { start empty; }
caption_start() { start caption; }
later_start >/dev/null 2>&1 # settings in place for the later starts
t_first=$(runs=10 best first_start)
t_later=$(runs=10 best later_start)
t_empty=$(runs=10 best empty_start)
t_caption=$(runs=10 best caption_start)
echo "cold start until the window is shown: first start ${t_first:-failed} s, later start ${t_later:-failed} s"
echo "  empty QMainWindow ${t_empty:-failed} s   later/empty: $(ratio "$t_later" "$t_empty")" \
  "first/empty: $(ratio "$t_first" "$t_empty") (target <= 1.5)"
echo "  QMainWindow with one caption (loads the fonts) ${t_caption:-failed} s   later/caption:" \
  "$(ratio "$t_later" "$t_caption")   first/caption: $(ratio "$t_first" "$t_caption")"
if command -v strace >/dev/null; then
  syncs() { rm -f "$home/rt"/*; in_home strace -f -qq -e trace=fdatasync,fsync,sync,syncfs -o "$work/strace" "$benchdir/quillfen_bench_start" quillfen "$bin" >/dev/null 2>&1; grep -c -E '^[0-9]+ +(fdatasync|fsync|sync|syncfs)\(' "$work/strace"; }
  rm -rf "$home/config"
  echo "disk syncs before the window is shown: first start $(syncs), later start $(syncs) (target <= 1)"
fi

truncate -s 100M "$work/big.wav"
in_home "$benchdir/quillfen_bench_clipboard" "$work/big.wav" 2>/dev/null || echo "clipboard copy: failed"
bash "$here/audio_module.sh" "$bin"
