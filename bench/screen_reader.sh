#!/usr/bin/env bash
# What a screen reader says when a conversion and a decode end: the window on a virtual display with
# a session bus and the accessibility bus, the screen reader logging what it speaks, and the keys a
# user would press sent from outside. Prints what the reader said and whether each outcome was among
# it; stops by itself and never fails the bench.
# Usage: bench/screen_reader.sh [PROGRAM_DIR [KEEP_DIR]]  (KEEP_DIR gets the reader's and the window's logs)
set -uo pipefail

# Waits up to $1 seconds for the extended pattern $2 in the file $3.
wait_for() {
  local end=$((SECONDS + $1))
  while [ $SECONDS -lt "$end" ]; do
    grep -q -E -- "$2" "$3" 2>/dev/null && return 0
    sleep 0.2
  done
  return 1
}
# What the reader spoke, one utterance a line (its lines joined by " / "), keys echoed as typed left
# out. The reader writes its log in blocks and late, so it is read once the reader has ended.
spoken() {
  /usr/bin/python3 - "$log" <<'PY'
import re, sys
log = open(sys.argv[1], encoding="utf-8", errors="replace").read()
for said in re.findall(r"SPEECH OUTPUT: '(.*?)' ?\{", log, re.S):
    if said and not said.endswith(" "):
        print(" / ".join(line.strip() for line in said.splitlines()))
PY
}
report() { # label, what the utterance starts with, what it holds too
  if grep -q -E -- "$2.*${3:-}" <<<"$said"; then
    echo "  $1: spoken: yes"
  else
    echo "  $1: spoken: NO"
  fi
}

# The session itself, run again by the part below with the bus up and the display ours.
inside() {
  local bin=$1 work=$2 window dialog orca app said
  log=$work/orca.log
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  orca --debug --debug-file "$log" -u "$work/orca-prefs" >"$work/orca.out" 2>&1 &
  orca=$!
  if ! wait_for 30 "registering listener for: window:" "$log"; then
    echo "  not run: the screen reader did not start: $(tail -n 2 "$work/orca.out" | tr '\n' ' ')"
    return
  fi
  sleep 2
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$bin/Quillfen" >"$work/quillfen.out" 2>&1 &
  app=$!
  window=$(timeout 20 xdotool search --sync --name '^Quillfen$' 2>/dev/null | head -n 1)
  if [ -z "$window" ]; then
    echo "  not run: the window did not appear: $(tail -n 2 "$work/quillfen.out" | tr '\n' ' ')"
    return
  fi
  xdotool windowfocus --sync "$window"
  sleep 3

  # A conversion: from Browse, where the focus starts, Tab to the text, type it, Alt+C creates it.
  xdotool key --delay 200 Tab
  xdotool type --delay 150 "HI"
  sleep 2
  xdotool key alt+c
  wait_for 20 . "$HOME/TTYOutput.wav" || echo "  conversion: no output file after 20 s"
  sleep 4

  # A decode of that file: F10 opens File, whose first command is Decode TTY Recording...; the open
  # dialog takes the file's path and Enter.
  xdotool key --delay 400 F10 Down Return
  dialog=$(timeout 10 xdotool search --sync --name '^Select TTY recordings to decode$' 2>/dev/null | head -n 1)
  if [ -n "$dialog" ]; then
    xdotool windowfocus --sync "$dialog"
    sleep 2
    # At a typist's pace, and a pause before Enter: the reader logging everything falls behind, and
    # drops events that are not the focus's while it catches up.
    xdotool type --delay 150 "$HOME/TTYOutput.wav"
    sleep 8
    xdotool key Return
    sleep 8
  fi
  kill "$app" 2>/dev/null
  kill -TERM "$orca" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$orca" 2>/dev/null || break; sleep 0.2; done

  said=$(spoken)
  echo "  what the reader said, keys echoed left out:"
  sed 's/^/    | /' <<<"$said"
  report "the conversion's completion line" "Converstion from text to TTY WAV file complete"
  if [ -n "$dialog" ]; then
    report "the decoded text" "TTY text decoded from $HOME/TTYOutput.wav:" "HI"
  else
    echo "  the decoded text: not run: the open dialog did not appear"
  fi
  echo "  events the reader set aside while it caught up: $(grep -c 'Ignoring event type due to deluge' "$log")"
}

if [ "${1:-}" = --inside ]; then
  inside "$2" "$3"
  exit 0
fi

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
bin="$(cd "${1:-build/bin}" 2>/dev/null && pwd)"
keep=${2:-}
echo "screen reader (conversion and decode announced):"
if [ -z "$bin" ] || [ ! -x "$bin/Quillfen" ]; then
  echo "  not run: the window program is not built"
  exit 0
fi
tools=(Xvfb dbus-run-session orca xdotool /usr/libexec/at-spi-bus-launcher)
missing() { for t in "${tools[@]}"; do command -v "$t" >/dev/null || return 0; done; return 1; }
if missing; then
  bash "$here/../scripts/install-deps.sh" screen-reader >/dev/null 2>&1
  if missing; then
    echo "  not run: the screen reader and its display are not installed (scripts/install-deps.sh screen-reader)"
    exit 0
  fi
fi
# The reader refuses to start beside another of the same user, and replacing it would end someone's.
if pgrep -u "$(id -u)" -x orca >/dev/null; then
  echo "  not run: a screen reader already runs for this user"
  exit 0
fi

work="$(mktemp -d)"
groups=()
cleanup() {
  local g p
  for g in "${groups[@]}"; do kill -- "-$g" 2>/dev/null; done
  # The speech server puts itself in a session of its own; it leaves its pid in the runtime folder.
  for p in "$work"/rt/speech-dispatcher/pid/*.pid; do [ -f "$p" ] && kill "$(cat "$p")" 2>/dev/null; done
  [ -n "$keep" ] && mkdir -p "$keep" && cp "$work"/*.log "$work"/*.out "$keep"/ 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/config" "$work/cache" "$work/data" "$work/rt"
chmod 700 "$work/rt"

# Each part runs in a process group of its own, so that everything it starts ends with it.
setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
groups+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
if [ ! -s "$work/display" ]; then
  echo "  not run: the virtual display did not start: $(tail -n 1 "$work/xvfb.log")"
  exit 0
fi
setsid env -i PATH="$PATH" LANG=C.UTF-8 DISPLAY=":$(head -n 1 "$work/display")" HOME="$work/home" \
  XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" \
  XDG_RUNTIME_DIR="$work/rt" \
  timeout -k 5 150 dbus-run-session -- bash "${BASH_SOURCE[0]}" --inside "$bin" "$work" 2>"$work/session.log" &
groups+=($!)
wait "${groups[-1]}"
[ $? -eq 124 ] && echo "  stopped: the run took longer than 150 s"
exit 0
