#!/usr/bin/env bash
# Installs the Debian packages Quillfen builds and tests with; does nothing when all are present.
set -euo pipefail

packages=(g++ make cmake qt6-base-dev libsndfile1-dev libgtest-dev)
# The codec library's speech codecs, found through pkg-config.
packages+=(pkg-config libbcg729-dev libopencore-amrnb-dev libopus-dev libspandsp-dev)
# The spoken parts: recordings at any rate resampled to the output's.
packages+=(libsoxr-dev)
# The Japanese language library's captions need a CJK font to be drawn, and measured, at all.
packages+=(fonts-ipafont-gothic)
# File, Play Output File: Qt Multimedia, which plays through the PulseAudio client library it
# brings (a sound server, PulseAudio or PipeWire's, is only needed to hear it).
packages+=(qt6-multimedia-dev)
# Qt's own texts (file dialogs, message-box buttons) in the language chosen in the About box.
packages+=(qt6-translations-l10n)
# Extra packages a caller wants on top (the benchmark asks for its comparison programs), or a named
# set: "packaging" for make package (dpkg-shlibdeps and file for the Depends, scdoc for the man
# pages), "package-test" for the package test, which also opens the man pages and validates the
# desktop entry and the software-centre metadata; "fuzzing" for make fuzz (clang and its libFuzzer);
# "screen-reader" for the bench's screen-reader run (a virtual display, a session bus, the
# accessibility bus, the screen reader with its speech server, and keystrokes sent from outside);
# "windows" for make windows and make test-windows (the mingw cross compiler, Qt's host tools of the
# same version, the source-package tools, wine and Xvfb to run the result, NSIS for the installer,
# minimodem to print what the Windows build writes).
for arg in "$@"; do
  case $arg in
    fuzzing) packages+=(clang libclang-rt-14-dev) ;;
    packaging) packages+=(dpkg-dev file scdoc) ;;
    windows) packages+=(g++-mingw-w64-x86-64 mingw-w64-tools qt6-base-dev-tools dpkg-dev pkg-config wine wine64 nsis xvfb xauth minimodem) ;;
    package-test) packages+=(dpkg-dev file scdoc man-db desktop-file-utils appstream) ;;
    screen-reader) packages+=(xvfb xauth dbus-x11 at-spi2-core orca speech-dispatcher python3-pyatspi xdotool) ;;
    *) packages+=("$arg") ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
