#!/usr/bin/env bash
# Plays a greeting through the window's sound-device module into a sound server of the bench's own
# (PulseAudio with a null sink, where installed), records what the sink put out, and decodes that:
# the whole text must come back, the last character too. Prints what it heard; never fails.
# Usage: bench/playback.sh [PROGRAM_DIR]
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
player="$bin/../bench/quillfen_bench_play"
module="$bin/modules/quillfen_audio_out.so"
echo "playing through a sound server"
[ -x "$player" ] && [ -f "$module" ] || { echo "  not built (make bench builds it in a window build)"; exit 0; }
command -v pulseaudio >/dev/null && command -v parec >/dev/null ||
  { echo "  pulseaudio and pulseaudio-utils are not installed: skipped"; exit 0; }
work="$(mktemp -d)"
export XDG_RUNTIME_DIR="$work/rt" HOME="$work"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cleanup() {
  pactl exit >/dev/null 2>&1
  [ -n "${recorder:-}" ] && kill "$recorder" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
if ! pulseaudio -n --daemonize=yes --exit-idle-time=-1 --system=false --log-target=stderr \
       -L "module-null-sink sink_name=bench" -L module-native-protocol-unix 2>"$work/pa.err"; then
  echo "  the sound server did not start: $(tail -n 1 "$work/pa.err")"
  exit 0
fi
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink bench

text="PLEASE HOLD FOR THE TTY OPERATOR GA"
"$bin/quillfen-cli" -o "$work/greeting.wav" "$text" >/dev/null || { echo "  the greeting could not be made"; exit 0; }
parec -d bench.monitor --rate=8000 --channels=1 --format=s16le --file-format=wav "$work/heard.wav" &
recorder=$!
sleep 0.5
# The recording stops the moment the module says the end has played: what it still held is lost.
if timeout 60 "$player" "$module" "$work/greeting.wav" 2>"$work/play.err"; then
  kill -INT "$recorder" 2>/dev/null
  wait "$recorder" 2>/dev/null
  recorder=""
  heard=$("$bin/quillfen-cli" --decode "$work/heard.wav" 2>/dev/null | tr -d '\r\n')
  verdict="DIFFERS"
  [ "$heard" = "$text" ] && verdict="the whole text"
  echo "  heard: $heard  ($verdict)"
else
  echo "  the module did not play it: $(tail -n 1 "$work/play.err")"
fi
