#!/usr/bin/env bash
# A message set against single conversions, and the peers' receivers on every system's files.
# Prints figures; never fails on time. Usage: bench/message_set.sh [PROGRAM_DIR]
#  1. 200 messages (MESSAGES if set) of about 60 characters as one --system asterisk set (five files each, every one
#     read back and decoded) beside 200 single quillfen-cli runs of the standard format
#  2. where minimodem or spandsp's receiver (bench/v18_peer) are here: every file of each system's
#     set of the first PEER_MESSAGES messages (20 unless set), made an 8 kHz WAV by bench/peer_wav,
#     and how many of them each peer prints exactly; then the same for single runs of each encoded
#     name (.wav16, .pcmu, .pcma, .g722, .gsm, .g729), where GSM and G.729 may well miss
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
benchbin="$(cd "$bin/../bench" 2>/dev/null && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"
cli="$bin/quillfen-cli"
now() { date +%s.%N; }
since() { awk -v e="$(now)" -v s="$1" 'BEGIN { printf "%.2f", e - s }'; }
per() { if [ -n "$1" ]; then awk -v t="$1" -v n="$2" 'BEGIN { printf "%.1f", t * 1000 / n }'; else echo "n/a"; fi; }

echo
echo "message sets"
[ -x "$cli" ] || { echo "  quillfen-cli: not built"; exit 0; }

# 200 messages of words and numbers, about 60 characters each, the same every run. Nothing in them
# prints differently from how it is written, so the text is what every file must print.
awk -v count="${MESSAGES:-200}" 'BEGIN {
  n = split("PLEASE CALL BACK OUR OFFICE HOURS ARE MONDAY TO FRIDAY THE LINE IS CLOSED TODAY LEAVE " \
            "YOUR NAME AND NUMBER WE WILL RETURN THE CALL PRESS 1 FOR SALES 2 FOR HELP 555-0142 " \
            "9 AM 5 PM GA SK Q", w, " ")
  srand(7)
  print "name,text"
  for (m = 1; m <= count; ++m) {
    t = ""
    while (length(t) < 56) t = t (t == "" ? "" : " ") w[int(rand() * n) + 1]
    printf "m%03d,%s\n", m, t
  }
}' > "$work/set.csv"
count=$(($(wc -l < "$work/set.csv") - 1))
chars=$(tail -n +2 "$work/set.csv" | cut -d, -f2- | awk '{ c += length($0) } END { printf "%.0f", c / NR }')

# The set's prompt sets (µ-law, A-law, 16 kHz) are made once before anything is timed.
head -n 2 "$work/set.csv" > "$work/warm.csv"
"$cli" --batch "$work/warm.csv" --system asterisk -o "$work/warm" >/dev/null 2>&1

s=$(now)
if "$cli" --batch "$work/set.csv" --system asterisk -o "$work/asterisk" >/dev/null 2>"$work/err"; then
  t_set=$(since "$s")
  set_files=$(($(wc -l < "$work/asterisk/manifest.csv") - 1))
else
  t_set=""
  set_files="failed: $(tail -n 1 "$work/err")"
fi
mkdir -p "$work/single"
failed=0
s=$(now)
while IFS=, read -r name text; do
  if ! "$cli" -o "$work/single/$name.wav" "$text" >/dev/null 2>"$work/err"; then
    failed=$((failed + 1))
    [ -n "${first_failure:-}" ] || first_failure="$name: $(tail -n 1 "$work/err")"
  fi
done < <(tail -n +2 "$work/set.csv")
t_single=$(since "$s")
echo "  $count messages of $chars characters on average, in one run:"
printf '  %-44s %8s s %10s ms a message  %s\n' \
  "--batch --system asterisk (5 files, checked)" "${t_set:-n/a}" "$(per "$t_set" "$count")" "$set_files files" \
  "$count single runs, standard WAV, unchecked" "$t_single" "$(per "$t_single" "$count")" \
  "$((count - failed)) files"
[ -z "${first_failure:-}" ] || echo "  a single run failed: $first_failure"
if [ -n "$t_set" ]; then
  echo "  the set's time per message is $(awk -v a="$t_set" -v b="$t_single" 'BEGIN { printf "%.2f", a / b }')" \
       "times a single run's, for five files each, every one read back and decoded"
fi

# 2. The peers' receivers on the files of every system.
have_mm=0
command -v minimodem >/dev/null && have_mm=1
have_v18=0
[ -n "$benchbin" ] && [ -x "$benchbin/v18_peer" ] && have_v18=1
peer_messages=${PEER_MESSAGES:-20}
echo
echo "peers on every system's files"
if [ "$peer_messages" -le 0 ]; then
  echo "  PEER_MESSAGES=$peer_messages: skipped"
  exit 0
fi
if [ $have_mm = 0 ] && [ $have_v18 = 0 ]; then
  echo "  neither minimodem nor spandsp (bench/v18_peer) is here: skipped"
  exit 0
fi
if [ -z "$benchbin" ] || [ ! -x "$benchbin/peer_wav" ]; then
  echo "  bench/peer_wav is not built (make bench builds it): skipped"
  exit 0
fi
[ $have_mm = 1 ] || echo "  minimodem: not installed"
[ $have_v18 = 1 ] || echo "  spandsp: bench/v18_peer not built (libspandsp-dev missing)"
head -n $((peer_messages + 1)) "$work/set.csv" > "$work/peer.csv"
# A receiver's text on one line, its ends trimmed.
flat() { tr '\r\n' '  ' | sed 's/^ *//; s/ *$//'; }
# How many files below $1 each peer prints exactly, on one line headed $2.
count_exact() {
  local dir=$1 total=0 mm_ok=0 v18_ok=0 unreadable=0 mm_miss="" v18_miss="" file base expected got line
  while IFS= read -r file; do
    base=${file##*/}
    expected=$(awk -F, -v n="${base%%.*}" '$1 == n { sub(/^[^,]*,/, ""); print; exit }' "$work/peer.csv")
    total=$((total + 1))
    if ! "$benchbin/peer_wav" "$file" "$work/peer.wav" 2>>"$work/peer.err"; then
      unreadable=$((unreadable + 1))
      continue
    fi
    if [ $have_mm = 1 ]; then
      got=$(minimodem --rx --baudot -M 1400 -S 1800 45.45 -q -f "$work/peer.wav" 2>/dev/null | flat)
      if [ "$got" = "$expected" ]; then mm_ok=$((mm_ok + 1)); else
        [ -n "$mm_miss" ] || mm_miss="${file#"$dir"/} prints \"$got\""
      fi
    fi
    if [ $have_v18 = 1 ]; then
      got=$("$benchbin/v18_peer" rx "$work/peer.wav" 2>/dev/null | flat)
      if [ "$got" = "$expected" ]; then v18_ok=$((v18_ok + 1)); else
        [ -n "$v18_miss" ] || v18_miss="${file#"$dir"/} prints \"$got\""
      fi
    fi
  done < <(find "$dir" -type f ! -name manifest.csv | sort)
  line="  $2: $total files"
  [ $have_mm = 1 ] && line+=", minimodem exact $mm_ok/$total"
  [ $have_v18 = 1 ] && line+=", spandsp exact $v18_ok/$total"
  [ $unreadable = 0 ] || line+=", $unreadable not made into WAV"
  echo "$line"
  [ -z "$mm_miss" ] || echo "    minimodem, first miss: $mm_miss"
  [ -z "$v18_miss" ] || echo "    spandsp, first miss: $v18_miss"
}
for system in asterisk freeswitch cisco avaya teams 3cx wav; do
  dir="$work/peer/$system"
  if ! "$cli" --batch "$work/peer.csv" --system "$system" -o "$dir" >/dev/null 2>"$work/err"; then
    echo "  $system: the set failed: $(tail -n 1 "$work/err")"
    continue
  fi
  count_exact "$dir" "$system"
done
# The single conversions' encoded names too; GSM and G.729 are expected to damage the tones.
dir="$work/peer/encoded"
for ext in wav16 pcmu pcma g722 gsm g729; do mkdir -p "$dir/$ext"; done
while IFS=, read -r name text; do
  for ext in wav16 pcmu pcma g722 gsm g729; do
    "$cli" -o "$dir/$ext/$name.$ext" "$text" >/dev/null 2>&1 || echo "  $name.$ext: not made"
  done
done < <(tail -n +2 "$work/peer.csv")
for ext in wav16 pcmu pcma g722 gsm g729; do
  count_exact "$dir/$ext" "single runs, .$ext"
done
