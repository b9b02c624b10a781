#!/usr/bin/env bash
# Cross-builds the libraries the Windows build links and Debian has no Windows build of: Qt's Core,
# Gui, Widgets and Network with the Windows platform plugin, libsndfile and GoogleTest. Both come from Debian's
# source packages. Source, build folders and the installed libraries stay in a cache folder outside
# the source tree, so the long Qt build happens once per machine, and an interrupted one resumes
# where it stopped.
#
# Usage: build-deps.sh [qt|sndfile|gtest|codecs|all]   (default all)
# Environment: QUILLFEN_WINDOWS_CACHE (default ~/.cache/quillfen-windows), JOBS (default 2).
# Compiles and links at the lowest priority, so the machine's other work goes first.
set -euo pipefail

what=${1:-all}
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$(cd "$here/../../cmake" && pwd)/mingw-w64-x86_64.cmake
cache=${QUILLFEN_WINDOWS_CACHE:-$HOME/.cache/quillfen-windows}
jobs=${JOBS:-2}
qt_version=6.4.2
sndfile_version=1.2.0
mkdir -p "$cache"
# The build folders in the cache outlive the checkout that made them: they use a copy of the
# toolchain file kept beside them, so a moved or deleted checkout does not break a resumed build.
cmp -s "$toolchain" "$cache/mingw-w64-x86_64.cmake" || cp "$toolchain" "$cache/mingw-w64-x86_64.cmake"
toolchain=$cache/mingw-w64-x86_64.cmake
# A build folder configured by an earlier version of this script names a checkout's toolchain file.
repoint_toolchain() {
  local build=$1 recorded
  [ -f "$build/CMakeCache.txt" ] || return 0
  recorded=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:FILEPATH=//p' "$build/CMakeCache.txt")
  [ -n "$recorded" ] && [ "$recorded" != "$toolchain" ] || return 0
  echo "pointing $build at $toolchain (was $recorded)"
  sed -i "s|$recorded|$toolchain|g" "$build/CMakeCache.txt" "$build"/CMakeFiles/*/CMakeSystem.cmake
}

stage_start=0
stage() {
  stage_name=$1
  stage_start=$(date +%s)
  echo "== $stage_name ($(date -u +%H:%M:%S) UTC)"
}
stage_done() {
  local took=$(($(date +%s) - stage_start))
  printf '== %s took %dm%02ds\n' "$stage_name" $((took / 60)) $((took % 60))
}

# A private deb-src list, package index and archive cache: the machine's own apt state is left as
# it is, and nothing but Debian's archive is asked.
apt_private() {
  local dir=$cache/apt
  mkdir -p "$dir/lists/partial" "$dir/archives/partial" "$dir/parts"
  [ -f "$dir/sources.list" ] || echo "deb-src http://deb.debian.org/debian bookworm main" >"$dir/sources.list"
  apt-get -q -o Dir::Etc::SourceList="$dir/sources.list" -o Dir::Etc::SourceParts="$dir/parts" \
    -o Dir::State::Lists="$dir/lists" -o Dir::Cache::Archives="$dir/archives" \
    -o Dir::Cache::pkgcache="" -o Dir::Cache::srcpkgcache="" "$@"
}

# Unpacks Debian's source package NAME at VERSION into $cache/src/NAME (patches applied).
fetch_source() {
  local name=$1 version=$2 dest=$cache/src/$1
  [ -f "$dest/.unpacked" ] && return 0
  stage "fetch $name $version"
  mkdir -p "$cache/src/download"
  if ! ls "$cache/src/download/${name}_${version}"*.dsc >/dev/null 2>&1; then
    apt_private update
    # A mirror may lack Debian's part of a package; the upstream part alone still builds (below).
    (cd "$cache/src/download" && apt_private source --download-only "$name=$version"* ||
      (cd "$cache/src/download" && apt_private source --download-only "$name")) ||
      echo "$name: not every part of the source package could be fetched"
  fi
  rm -rf "$dest"
  if ! dpkg-source --no-check -x "$(ls "$cache/src/download/${name}_${version}"*.dsc | tail -1)" "$dest"; then
    echo "$name: building the upstream source without Debian's changes"
    mkdir -p "$dest"
    tar -xf "$(ls "$cache/src/download/${name}_${version}"*.orig.tar.* | head -1)" -C "$dest" --strip-components=1
  fi
  touch "$dest/.unpacked"
  stage_done
}

lowprio() { nice -n 19 "$@"; }

build_qt() {
  local src=$cache/src/qt6-base build=$cache/build/qt prefix=$cache/qt
  [ -f "$prefix/.installed" ] && { echo "Qt $qt_version for Windows is in $prefix"; return 0; }
  fetch_source qt6-base "$qt_version"
  repoint_toolchain "$build"
  if [ ! -f "$build/build.ninja" ]; then
    stage "configure Qt"
    # Host tools (moc, rcc, uic) come from Debian's own Qt of the same version. The third-party
    # libraries are Qt's bundled ones, as there are no Windows builds of them here. Debian's source
    # leaves out the tablet headers, hence no tablet events; the Windows platform plugin needs
    # OpenGL, which on Windows is the dynamic kind chosen at run time.
    lowprio cmake -S "$src" -B "$build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
      -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
      -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
      -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
      -DFEATURE_system_doubleconversion=OFF \
      -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_testlib=OFF \
      -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
      -DFEATURE_tabletevent=OFF \
      -DFEATURE_opengl=ON -DFEATURE_opengl_dynamic=ON
    stage_done
  fi
  stage "build Qt"
  # Ninja picks up where an interrupted build stopped.
  lowprio cmake --build "$build" -j"$jobs"
  stage_done
  stage "install Qt"
  cmake --install "$build"
  touch "$prefix/.installed"
  stage_done
}

# The codecs libsndfile reads FLAC and Ogg (Vorbis, Opus) with: spoken parts come in those too.
xiph_prefixes() { echo "$cache/libogg;$cache/libvorbis;$cache/flac;$cache/opus"; }
# Static, inside libsndfile's DLL: libvorbis's export lists do not link with GNU ld.
build_xiph() {
  build_opus
  build_cmake_lib libogg 1.3.5 -DBUILD_SHARED_LIBS=OFF -DINSTALL_DOCS=OFF
  build_cmake_lib libvorbis 1.3.7 -DBUILD_SHARED_LIBS=OFF -DQUILLFEN_WINDOWS_PREFIXES="$cache/libogg"
  build_cmake_lib flac 1.4.2 -DBUILD_SHARED_LIBS=OFF -DQUILLFEN_WINDOWS_PREFIXES="$cache/libogg" -DBUILD_CXXLIBS=OFF \
    -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF -DWITH_STACK_PROTECTOR=OFF
}

build_sndfile() {
  local src=$cache/src/libsndfile build=$cache/build/libsndfile prefix=$cache/libsndfile
  [ -f "$prefix/.installed" ] && { echo "libsndfile $sndfile_version for Windows is in $prefix"; return 0; }
  build_xiph
  fetch_source libsndfile "$sndfile_version"
  repoint_toolchain "$build"
  if [ ! -f "$build/build.ninja" ]; then
    stage "configure libsndfile"
    # MPEG stays out: nothing Quillfen reads or writes needs it.
    lowprio cmake -S "$src" -B "$build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DQUILLFEN_WINDOWS_PREFIXES="$(xiph_prefixes)" -DCMAKE_C_FLAGS=-DFLAC__NO_DLL \
      -DBUILD_SHARED_LIBS=ON -DENABLE_EXTERNAL_LIBS=ON -DENABLE_MPEG=OFF \
      -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DENABLE_CPACK=OFF \
      -DBUILD_REGTEST=OFF -DINSTALL_MANPAGES=OFF -DENABLE_PACKAGE_CONFIG=ON
    stage_done
  fi
  stage "build libsndfile"
  lowprio cmake --build "$build" -j"$jobs"
  cmake --install "$build"
  touch "$prefix/.installed"
  stage_done
}

# Configures SRC with CMake for Windows in $cache/build/NAME and installs it into $cache/NAME.
cmake_install() {
  local name=$1 src=$2 build=$cache/build/$1 prefix=$cache/$1
  shift 2
  repoint_toolchain "$build"
  stage "build $name"
  lowprio cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@"
  lowprio cmake --build "$build" -j"$jobs"
  cmake --install "$build"
  touch "$prefix/.installed"
  stage_done
}

# A small C library from Debian's source, built with CMake or with its configure script into
# $cache/NAME. The telephony codecs and the resampler have no Windows builds here either.
build_cmake_lib() {
  local name=$1 version=$2
  shift 2
  [ -f "$cache/$name/.installed" ] && { echo "$name $version for Windows is in $cache/$name"; return 0; }
  fetch_source "$name" "$version"
  cmake_install "$name" "$cache/src/$name" -DBUILD_SHARED_LIBS=ON -DBUILD_TESTING=OFF "$@"
}

build_configure_lib() {
  local name=$1 version=$2 src=$cache/src/$1 build=$cache/build/$1 prefix=$cache/$1
  shift 2
  [ -f "$prefix/.installed" ] && { echo "$name $version for Windows is in $prefix"; return 0; }
  fetch_source "$name" "$version"
  stage "build $name"
  [ -x "$src/configure" ] || (cd "$src" && autoreconf -fi)
  mkdir -p "$build"
  (cd "$build" && lowprio "$src/configure" --host=x86_64-w64-mingw32 --prefix="$prefix" \
    --enable-shared --disable-static CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix "$@" &&
    lowprio make -j"$jobs" && make install)
  touch "$prefix/.installed"
  stage_done
}

build_opus() {
  # Its configure adds fortify unless some level is set already, and mingw keeps fortify's checks
  # in libssp, which libtool will not link into a DLL: level 0, set first, keeps it out.
  build_configure_lib opus 1.3.1 --disable-doc --disable-extra-programs --disable-stack-protector \
    CPPFLAGS="-D_FORTIFY_SOURCE=0"
}

build_codecs() {
  build_opus
  build_cmake_lib libsoxr 0.1.3 -DWITH_OPENMP=OFF -DBUILD_EXAMPLES=OFF -DWITH_LSR_BINDINGS=OFF
  # It writes its pkg-config file only when built for a Unix.
  if [ ! -f "$cache/libsoxr/lib/pkgconfig/soxr.pc" ]; then
    mkdir -p "$cache/libsoxr/lib/pkgconfig"
    printf '%s\n' "prefix=$cache/libsoxr" 'libdir=${prefix}/lib' 'includedir=${prefix}/include' '' \
      'Name: soxr' 'Description: High quality, one-dimensional sample-rate conversion library' \
      'Version: 0.1.3' 'Libs: -L${libdir} -lsoxr' 'Cflags: -I${includedir}' \
      >"$cache/libsoxr/lib/pkgconfig/soxr.pc"
  fi
  build_cmake_lib bcg729 1.1.1 -DENABLE_STATIC=OFF -DENABLE_TESTS=OFF
  build_configure_lib opencore-amr 0.1.6 --disable-examples
  build_cmake_lib tiff 4.5.0 -Djpeg=OFF -Dzlib=OFF -Dlzma=OFF -Dwebp=OFF -Dzstd=OFF -Djbig=OFF \
    -Dlerc=OFF -Dlibdeflate=OFF -Dpixarlog=OFF -Dold-jpeg=OFF -Dcxx=OFF -Dtiff-tools=OFF \
    -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF
  # Its configure cannot run a test program when cross-compiling and so takes malloc for broken; its
  # table generators, built for this machine, then miss the replacement. Building the DLL, its
  # headers must export rather than import.
  build_configure_lib spandsp 0.0.6 CPPFLAGS="-I$cache/tiff/include -DLIBSPANDSP_EXPORTS" LDFLAGS="-L$cache/tiff/lib" \
    ac_cv_func_malloc_0_nonnull=yes ac_cv_func_realloc_0_nonnull=yes
}

# GoogleTest from the source Debian installs with it, for the unit tests under wine.
build_gtest() {
  [ -f "$cache/googletest/.installed" ] && { echo "GoogleTest for Windows is in $cache/googletest"; return 0; }
  cmake_install googletest /usr/src/googletest -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF
}

case $what in
  qt) build_qt ;;
  sndfile) build_sndfile ;;
  gtest) build_gtest ;;
  codecs) build_codecs ;;
  all) build_sndfile && build_gtest && build_codecs && build_qt ;;
  *) echo "usage: $0 [qt|sndfile|gtest|codecs|all]" >&2; exit 2 ;;
esac
