#!/usr/bin/env bash
# Cross-builds Quillfen for 64-bit Windows into BUILD (make windows): the build-time tools for this
# machine in BUILD/host, the libraries Debian has no Windows build of in the cache (build-deps.sh),
# then the programs, the language libraries and the prompt set in BUILD/bin with the DLLs they need,
# and the installer BUILD/quillfen-<version>-setup.exe.
#
# Usage: build.sh BUILD [all|qt-free]
#   qt-free builds only what needs no Qt (the tools and their tests), without waiting for Qt.
set -euo pipefail

build=${1:?usage: build.sh BUILD [all|qt-free]}
parts=${2:-all}
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=${QUILLFEN_WINDOWS_CACHE:-$HOME/.cache/quillfen-windows}
export QUILLFEN_WINDOWS_CACHE=$cache
jobs=${JOBS:-2}
mkdir -p "$build"
build=$(cd "$build" && pwd)

took() { printf '== %s took %ds\n' "$1" $(($(date +%s) - $2)); }

bash "$root/scripts/install-deps.sh" windows

start=$(date +%s)
# Only the tools: the generated files are the same whichever machine runs them.
cmake -S "$root" -B "$build/host" -G Ninja -DQUILLFEN_QT_FREE=ON -DQUILLFEN_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=Release ${CMAKE_FLAGS:-} >/dev/null
cmake --build "$build/host" -j"$jobs" --target strtab2cpp langlib ttyprompts wavcat
took "tools for this machine" "$start"

if [ "$parts" = qt-free ]; then
  bash "$root/scripts/windows/build-deps.sh" sndfile
  bash "$root/scripts/windows/build-deps.sh" gtest
  prefixes="$cache/libsndfile;$cache/opus;$cache/googletest"
  qt_free=ON
else
  bash "$root/scripts/windows/build-deps.sh" all
  prefixes="$cache/libsndfile;$cache/googletest;$cache/opus;$cache/libsoxr;$cache/bcg729"
  prefixes+=";$cache/opencore-amr;$cache/tiff;$cache/spandsp;$cache/qt"
  qt_free=OFF
fi

# pkg-config must see only the Windows builds: the machine's own .pc files name Linux libraries.
IFS=';' read -r -a prefix_list <<<"$prefixes"
PKG_CONFIG_LIBDIR=$(printf '%s/lib/pkgconfig:' "${prefix_list[@]}")
export PKG_CONFIG_LIBDIR

start=$(date +%s)
# Hardening stays off: mingw's stack protector needs libssp at run time, and PE images have no
# RELRO. -O2 as on Linux: GCC 12 at -O3 warns falsely (-Wrestrict) inside std::string. The
# emulator lets ctest run the test programs under wine.
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DQUILLFEN_WINDOWS_PREFIXES="$prefixes" \
  -DQUILLFEN_HOST_BUILD_DIR="$build/host" \
  -DQUILLFEN_QT_FREE=$qt_free \
  -DQUILLFEN_HARDENING=OFF \
  -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
  ${CMAKE_FLAGS:-} >/dev/null
cmake --build "$build" -j"$jobs"
took "Quillfen for Windows" "$start"

# The DLLs the programs load, beside them: the libraries built for Windows and the posix mingw
# runtime; with Qt, its platform plugin in the folder Qt looks in.
mingw_gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
IFS=';' read -r -a prefix_list <<<"$prefixes"
for prefix in "${prefix_list[@]}"; do
  [ "$prefix" = "$cache/googletest" ] || [ "$prefix" = "$cache/qt" ] && continue
  for dll in "$prefix"/bin/*.dll; do [ -f "$dll" ] && cp -u "$dll" "$build/bin/"; done
done
for dll in "$mingw_gcc/libstdc++-6.dll" "$mingw_gcc/libgcc_s_seh-1.dll" \
  /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll; do
  cp -u "$dll" "$build/bin/"
done
if [ "$qt_free" = OFF ]; then
  for lib in Core Gui Widgets Network; do cp -u "$cache/qt/bin/Qt6$lib.dll" "$build/bin/"; done
  mkdir -p "$build/bin/platforms" "$build/bin/styles"
  cp -u "$cache/qt/plugins/platforms/qwindows.dll" "$build/bin/platforms/"
  # The look of the system's own controls.
  cp -u "$cache/qt/plugins/styles/qwindowsvistastyle.dll" "$build/bin/styles/"
  # Qt's own texts (file dialogs, message-box buttons) in the language chosen in the About box;
  # they are the same files on every system.
  mkdir -p "$build/bin/translations"
  cp -u /usr/share/qt6/translations/qtbase_*.qm "$build/bin/translations/"
fi
ls "$build/bin"/*.exe

start=$(date +%s)
bash "$root/scripts/windows/installer.sh" "$build"
took "the installer" "$start"
