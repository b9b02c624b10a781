#!/usr/bin/env bash
# The Windows build's tests under wine (make test-windows): the unit tests through ctest, then the
# programs against the same programs built for this machine, which the Linux tests hold to account.
#
# Usage: test.sh WINDOWS_BUILD
# Wine differs from Windows in places; each check that meets such a place says so where it does.
set -euo pipefail

build=$(cd "${1:?usage: test.sh WINDOWS_BUILD}" && pwd)
host=$build/host
bin=$build/bin
export WINEPREFIX=${WINEPREFIX:-$build/wine}
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs .NET or a browser, and asking for them would download.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The DLLs beside the programs also serve the test programs in tests/.
WINEPATH=$(winepath -w "$bin")
export WINEPATH
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== unit tests under wine"
(cd "$build" && ctest --output-on-failure -j"${JOBS:-2}") || fail "unit tests"

echo "== ttyprompts.exe makes the same prompt set"
mkdir "$work/prompts"
if wine "$bin/ttyprompts.exe" "$(winepath -w "$work/prompts")" >/dev/null; then
  made=0
  for wav in "$work/prompts"/*; do
    made=$((made + 1))
    cmp -s "$wav" "$bin/$(basename "$wav")" || fail "ttyprompts.exe: $(basename "$wav") differs"
  done
  [ "$made" -gt 50 ] && pass "ttyprompts.exe: $made files, byte for byte" || fail "ttyprompts.exe made $made files"
else
  fail "ttyprompts.exe did not run"
fi

echo "== langlib.exe and the system's loader agree with langlib"
for rc in "$build"/resources/strings/Quillfen_*.rc; do
  code=$(basename "$rc" .rc)
  wine "$build/tools/langlib-bin/langlib.exe" "$(winepath -w "$rc")" "$(winepath -w "$work/$code.dll")" ||
    fail "langlib.exe $code"
  cmp -s "$work/$code.dll" "$bin/$code.dll" || fail "langlib.exe: $code.dll differs from langlib's"
  "$host/tools/langlib-bin/langlib" --dump "$bin/$code.dll" >"$work/$code.expected"
  wine "$build/tests/loader_dump.exe" "$(winepath -w "$bin/$code.dll")" | tr -d '\r' >"$work/$code.loaded" ||
    fail "the loader refuses $code.dll"
  if [ -s "$work/$code.expected" ] && cmp -s "$work/$code.expected" "$work/$code.loaded"; then
    pass "$code.dll: $(wc -l <"$work/$code.loaded") strings through LoadLibraryExW and LoadStringW"
  else
    fail "$code.dll: the loader reads other strings"
    diff "$work/$code.expected" "$work/$code.loaded" | head -5 >&2 || true
  fi
done

echo "== wavcat.exe joins and refuses as wavcat does"
# Both run in the same folder with relative names, so their messages can be compared whole.
cd "$work"
cp "$bin/LTRS.wav" "$bin/a.wav" "$bin/smallsilence.wav" .
mkdir folder
python3 - <<'EOF'
import wave
with wave.open("rate16k.wav", "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(16000); w.writeframes(b"\0\0" * 1600)
with open("notaudio.wav", "w") as f:
    f.write("not audio\n")
EOF
echo "earlier" >readonly.wav
# Wine shows a file without write permission as one with the read-only attribute.
chmod a-w readonly.wav
cases=(
  "join|smallsilence.wav LTRS.wav a.wav joined.wav"
  "headerless output|smallsilence.wav a.wav joined.sln"
  "u-law output from PCM|a.wav joined.ulaw"
  "rates differ|a.wav rate16k.wav out.wav"
  "not audio|a.wav notaudio.wav out.wav"
  "missing input|a.wav missing.wav out.wav"
  "input is a folder|folder out.wav"
  "output is a folder|a.wav folder"
  "read-only output|a.wav readonly.wav"
  "missing output folder|a.wav nofolder/out.wav"
  "too few arguments|a.wav"
  "version|--version"
)
for entry in "${cases[@]}"; do
  name=${entry%%|*}
  read -r -a args <<<"${entry#*|}"
  out=${args[-1]}
  # What the output was before: a failed join must leave it so, a new one must not appear.
  before=$(sha256sum "$out" 2>/dev/null || echo none)
  set +e
  "$host/bin/wavcat" "${args[@]}" >linux.out 2>linux.err
  linux_status=$?
  set -e
  rm -f linux-result
  if [ "$linux_status" = 0 ] && [ -f "$out" ] && [ "$out" != --version ]; then mv "$out" linux-result; fi
  set +e
  wine "$bin/wavcat.exe" "${args[@]}" 2>&1 >windows.out | tr -d '\r' >windows.err
  windows_status=${PIPESTATUS[0]}
  set -e
  # The C runtime writes text with CR LF; the words are what must match.
  tr -d '\r' <windows.out >windows.out.unix
  rm -f windows-result
  if [ "$windows_status" = 0 ] && [ -f "$out" ] && [ "$out" != --version ]; then mv "$out" windows-result; fi
  after=$(sha256sum "$out" 2>/dev/null || echo none)
  if [ "$linux_status" != "$windows_status" ]; then
    fail "$name: exit $windows_status, on Linux $linux_status: $(cat windows.err)"
  elif ! cmp -s linux.err windows.err || ! cmp -s linux.out windows.out.unix; then
    fail "$name: other output: '$(cat windows.err windows.out.unix)' against '$(cat linux.err linux.out)'"
  elif [ -f linux-result ] && ! cmp -s linux-result windows-result; then
    fail "$name: the joined file differs"
  elif [ "$windows_status" != 0 ] && [ "$before" != "$after" ]; then
    fail "$name: a failed join changed $out"
  else
    pass "wavcat.exe $name (exit $windows_status)"
  fi
done
ls -a | grep -q '^\.out\.wav\.\|^\.joined' && fail "wavcat.exe left a temporary behind"
cd - >/dev/null

if [ -f "$bin/quillfen-cli.exe" ]; then
  echo "== quillfen-cli.exe writes tones another receiver prints"
  text="CALL 555-0134 AT 9:30, ASK FOR ANA (TTY) GA"
  out="$work/cli.wav"
  if wine "$bin/quillfen-cli.exe" -o "$(winepath -w "$out")" "$text" >"$work/cli.out" 2>&1; then
    printed=$(minimodem --rx -f "$out" tdd 2>/dev/null | tr -d '\r\n')
    [ "$printed" = "$text" ] && pass "quillfen-cli.exe: minimodem prints \"$printed\"" ||
      fail "quillfen-cli.exe: minimodem prints \"$printed\" for \"$text\""
    decoded=$(wine "$bin/quillfen-cli.exe" --decode "$(winepath -w "$out")" 2>/dev/null | tr -d '\r' | tr '\n' ' ' | sed 's/ *$//')
    [ "$decoded" = "$text" ] && pass "quillfen-cli.exe --decode reads its own file" ||
      fail "quillfen-cli.exe --decode prints \"$decoded\""
  else
    fail "quillfen-cli.exe failed: $(tr -d '\r' <"$work/cli.out" | tail -3)"
  fi
  # A read-only output is made writable and written, as on Linux: through the Windows attribute.
  echo "earlier" >"$work/was-read-only.wav"
  chmod a-w "$work/was-read-only.wav"
  if wine "$bin/quillfen-cli.exe" -o "$(winepath -w "$work/was-read-only.wav")" "HELLO" >/dev/null 2>&1 &&
    [ "$(head -c 4 "$work/was-read-only.wav")" = RIFF ] && [ "$(stat -c %A "$work/was-read-only.wav" | cut -c3)" = w ]; then
    pass "quillfen-cli.exe writes over a read-only output and leaves it writable"
  else
    fail "quillfen-cli.exe over a read-only output: $(head -c 8 "$work/was-read-only.wav")"
  fi
fi

if [ -f "$bin/Quillfen.exe" ]; then
  echo "== the window starts, shows its captions, and keeps its settings in the registry"
  key='HKCU\Software\Veltrane\Quillfen\Settings'
  wine reg delete "$key" /f >/dev/null 2>&1 || true
  # Xvfb stands in for the screen; wine draws its windows there as on a desktop. Wine keeps one
  # desktop process per prefix, made by the first program: one started without a display (the unit
  # tests) would leave every later window without a driver, so the session starts afresh here, on
  # a display of its own without access control.
  # (winepath is wine too: asked first.)
  program_dir=$(winepath -w "$bin")
  wineserver -k 2>/dev/null || true
  wineserver -w
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -ac 3>"$work/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  if env -u XAUTHORITY DISPLAY=":$(cat "$work/display")" wine "$build/tests/window_start.exe" "$program_dir" \
    >"$work/window.out" 2>&1; then
    pass "the window: $(tr -d '\r' <"$work/window.out" | grep -c '^\(frame\|button\)') captions drawn, menus $(tr -d '\r' <"$work/window.out" | sed -n 's/^menus //p')"
  else
    fail "the window: $(tr -d '\r' <"$work/window.out" | grep -v '^\(frame\|button\|menus\)' | tail -5)"
  fi
  wineserver -k 2>/dev/null || true
  wineserver -w
  kill "$xvfb" 2>/dev/null || true
  settings=$(wine reg query "$key" 2>/dev/null | tr -d '\r')
  missing=""
  for name in FormLeft FormTop FormWidth FormHeight EXEPath; do
    printf '%s\n' "$settings" | grep -q "^ *$name " || missing+=" $name"
  done
  # The check program stands in for Quillfen.exe from its own folder, as Windows names it.
  if [ -z "$missing" ] && printf '%s\n' "$settings" | grep -q "^ *EXEPath  *REG_SZ  *$(winepath -w "$build/tests" | sed 's/\\/\\\\/g')$"; then
    pass "settings in $key: $(printf '%s\n' "$settings" | grep -c REG_) values, EXEPath the program's folder"
  else
    fail "settings in $key lack:${missing:- the program folder in EXEPath}"
  fi
fi

echo "== the installer installs and uninstalls cleanly"
setup=$(ls "$build"/quillfen-*-setup.exe)
installed="$WINEPREFIX/drive_c/Program Files/Quillfen"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillfen"
wine "$setup" /S && wineserver -w || fail "the installer did not run"
# Windows names are case-insensitive: LTRS.wav and LTRS.WAV, the same frame, are one file there.
expected=$(cd "$bin" && find . -type f ! -name '*.a' | tr '[:upper:]' '[:lower:]' | sort -u | wc -l)
got=$(cd "$installed" 2>/dev/null && find . -type f ! -name uninstall.exe | wc -l)
[ "$got" = "$expected" ] && pass "installed $got files" || fail "installed $got files of $expected"
cmp -s "$bin/wavcat.exe" "$installed/wavcat.exe" || fail "the installed wavcat.exe differs"
[ -f "$menu/Uninstall Quillfen.lnk" ] || fail "no Start-menu entry for the uninstaller"
if [ -f "$bin/Quillfen.exe" ]; then
  [ -f "$menu/Quillfen.lnk" ] && pass "Start-menu entry" || fail "no Start-menu entry for Quillfen"
fi
# The uninstaller runs from a copy of itself in the temporary folder: wait for all of wine.
wine "$installed/uninstall.exe" /S && wineserver -w || fail "the uninstaller did not run"
if [ -e "$installed" ] || [ -e "$menu" ]; then
  fail "the uninstaller left $(find "$installed" "$menu" 2>/dev/null | head -3)"
elif wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillfen' >/dev/null 2>&1; then
  fail "the uninstaller left its registry entry"
else
  pass "uninstalled without a trace"
fi

if [ "$failures" -ne 0 ]; then
  echo "test-windows: $failures failed" >&2
  exit 1
fi
echo "test-windows: all passed"
