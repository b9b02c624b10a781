# Helpers the bench scripts share; sourced, not run. `best` needs $work and takes $runs (3 unless set).

# Best wall time of $runs runs of "$@", in seconds; empty when the command failed.
best() {
  local b="" t s e
  for _ in $(seq "${runs:-3}"); do
    s=$(date +%s.%N)
    "$@" >/dev/null 2>"$work/err" || { echo ""; return; }
    e=$(date +%s.%N)
    t=$(awk -v a="$e" -v b="$s" 'BEGIN { print a - b }')
    if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
  done
  printf '%.3f' "$b"
}
ratio() { if [ -n "$1" ] && [ -n "$2" ]; then awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; else echo "n/a"; fi; }
# A receiver's text on one line, its ends trimmed; and whether it is the text sent ($1 sent, $2 heard).
flat() { tr -d '\r' | tr '\n' ' ' | sed 's/^ *//; s/ *$//'; }
verdict() { if [ "$2" = "$1" ]; then echo "same text"; else echo "DIFFERS"; fi; }
