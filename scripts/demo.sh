#!/usr/bin/env bash
# make demo: one conversion from the command line and its decoding, without the window.
# Usage: demo.sh [PROGRAM_DIR]   (the output goes to demo/ beside PROGRAM_DIR; QUILLFEN_DEMO_TEXT sets the text)
set -euo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
out="$(dirname "$bin")/demo"
mkdir -p "$out"
text="${QUILLFEN_DEMO_TEXT:-Hello from Quillfen, call (555) 123-4567 now! GA}"
echo "\$ quillfen-cli \"$text\" -o $out/TTYOutput.wav"
"$bin/quillfen-cli" "$text" -o "$out/TTYOutput.wav"
echo "\$ quillfen-cli --decode $out/TTYOutput.wav"
"$bin/quillfen-cli" --decode "$out/TTYOutput.wav"
