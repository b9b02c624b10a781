#!/usr/bin/env bash
# Prints what playing costs the window's start: whether Qt Multimedia is loaded before the window is
# shown (it should not be: the sound-device module is loaded on the first play), and the cold start
# with and without that module preloaded, beside an empty QMainWindow: the bench program's own, which
# loads every library the window links, and one in a program of Qt Widgets alone, which shows what
# those libraries cost. Never fails on time.
# Usage: bench/audio_module.sh [PROGRAM_DIR]
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
benchdir="$(cd "$bin/../bench" 2>/dev/null && pwd)"
module="$bin/modules/quillfen_audio_out.so"
echo
if [ -z "$benchdir" ] || [ ! -x "$benchdir/quillfen_bench_start" ] || [ ! -f "$module" ]; then
  echo "sound-device module at start-up: not built (make bench builds it in a window build)"
  exit 0
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/rt" && chmod 700 "$work/rt"
in_home() { env HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/rt" QT_QPA_PLATFORM=offscreen "$@"; }
start() { rm -f "$work/rt"/*; in_home "$@" "$benchdir/quillfen_bench_start" quillfen "$bin"; }

runs=10
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

start >/dev/null 2>&1 # settings in place
if start env LD_DEBUG=libs 2>&1 | grep -q 'calling init: .*libQt6Multimedia'; then loaded=yes; else loaded=no; fi
echo "Qt Multimedia loaded before the window is shown: $loaded (target: no)"
t_lazy=$(best start)
t_eager=$(best start env LD_PRELOAD="$module")
t_empty=$(best env HOME="$work" XDG_RUNTIME_DIR="$work/rt" QT_QPA_PLATFORM=offscreen "$benchdir/quillfen_bench_start" empty "$bin")
echo "  cold start ${t_lazy:-failed} s; with the sound-device module loaded at start ${t_eager:-failed} s;" \
  "empty QMainWindow ${t_empty:-failed} s"
echo "  start/empty: $(ratio "$t_lazy" "$t_empty") (target <= 1.3)   with the module at start/empty:" \
  "$(ratio "$t_eager" "$t_empty")"
if [ -x "$benchdir/quillfen_bench_start_qt" ]; then
  qt_only() { env HOME="$work" XDG_RUNTIME_DIR="$work/rt" QT_QPA_PLATFORM=offscreen "$benchdir/quillfen_bench_start_qt" "$1"; }
  t_qt=$(best qt_only empty)
  t_qt_caption=$(best qt_only caption)
  echo "  in a program of Qt Widgets alone: empty QMainWindow ${t_qt:-failed} s, start/that: $(ratio "$t_lazy" "$t_qt");" \
    "with one caption (loads the fonts) ${t_qt_caption:-failed} s, that/empty: $(ratio "$t_qt_caption" "$t_qt")"
fi
