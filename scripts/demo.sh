#!/usr/bin/env bash
# What `make run` shows until the window program exists: one conversion and its decoding.
set -euo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
out="$(dirname "$bin")/demo"
mkdir -p "$out"
text="${QUILLFEN_DEMO_TEXT:-Hello from Quillfen, call (555) 123-4567 now! GA}"
echo "\$ quillfen-cli \"$text\" -o $out/TTYOutput.wav"
"$bin/quillfen-cli" "$text" -o "$out/TTYOutput.wav"
echo "\$ quillfen-cli --decode $out/TTYOutput.wav"
"$bin/quillfen-cli" --decode "$out/TTYOutput.wav"
