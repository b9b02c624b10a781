#!/usr/bin/env bash
# Makes the .deb from the finished build, installs it with dpkg, uses it as a user would, removes
# it and checks that nothing it installed is left. It changes the machine, so it runs only as root
# with QUILLFEN_TEST_PACKAGE=1 (CI sets both); otherwise it reports itself skipped.
#
# Usage: package_test.sh CPACK BUILD_DIR PROJECT_VERSION
set -u
cpack=$1 build=$(cd "$2" && pwd) version=$3

if [[ ${QUILLFEN_TEST_PACKAGE:-} != 1 || $(id -u) -ne 0 ]]; then
    echo "skipped: installs a package; runs as root with QUILLFEN_TEST_PACKAGE=1"
    exit 77
fi
for tool in dpkg-shlibdeps man readelf; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing; make test installs it when QUILLFEN_TEST_PACKAGE=1" >&2; exit 1; }
done
# Someone's real installation is not ours to replace or remove.
if dpkg-query -W -f='${db:Status-Status}' quillfen 2>/dev/null | grep -qv '^not-installed$'; then
    echo "FAIL: a quillfen package is already on this machine; remove it first (dpkg -r quillfen)" >&2
    exit 1
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/quillfen-package.XXXXXX") || exit 1
# cpack installs through the build's install script, which rewrites install_manifest.txt.
manifest=$build/install_manifest.txt
[[ -e $manifest ]] && cp -p "$manifest" "$tmp/saved_manifest"
installed=0
cleanup() {
    # However far the test got, the machine is left without the package.
    ((installed)) && dpkg --purge quillfen >"$tmp/purge.log" 2>&1
    if [[ -e $tmp/saved_manifest ]]; then cp -p "$tmp/saved_manifest" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
finish() {
    if ((failures)); then
        echo "package test: $failures check(s) failed" >&2
        exit 1
    fi
    echo "package test: all checks passed"
    exit 0
}

if ! (cd "$tmp" && "$cpack" --config "$build/CPackConfig.cmake" -B "$tmp/out") >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log" >&2
    fail "cpack could not make the package"
    finish
fi
debs=("$tmp"/out/quillfen_"$version"_*.deb)
if [[ ${#debs[@]} -ne 1 || ! -f ${debs[0]} ]]; then
    fail "expected one quillfen_${version}_ARCH.deb, cpack made: $(ls "$tmp/out")"
    finish
fi
deb=${debs[0]}

# The control fields: Depends comes from the libraries the programs link.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6core6 libsndfile1 libc6; do
    [[ $depends =~ (^|[ ,])$lib([ ,]|$) ]] || fail "Depends lacks $lib: $depends"
done
[[ $(dpkg-deb -f "$deb" Recommends) == *fonts-ipafont-gothic* ]] || fail "Recommends names no CJK font"
[[ $(dpkg-deb -f "$deb" Recommends) == *qt6-translations-l10n* ]] || fail "Recommends names no Qt translations"

installed=1
if ! dpkg -i "$deb" >"$tmp/dpkg-i.log" 2>&1; then
    cat "$tmp/dpkg-i.log" >&2
    fail "dpkg -i failed"
    finish
fi
dpkg-query -L quillfen >"$tmp/files" || fail "dpkg knows no files of quillfen"

for f in /usr/bin/quillfen /usr/bin/quillfen-cli /usr/lib/quillfen/Quillfen /usr/lib/quillfen/quillfen-cli \
         /usr/lib/quillfen/wavcat /usr/lib/quillfen/smallsilence.wav /usr/lib/quillfen/Quillfen_JPN.dll \
         /usr/lib/quillfen/Quillfen.htm /usr/share/applications/quillfen.desktop \
         /usr/share/icons/hicolor/scalable/apps/quillfen.svg /usr/share/icons/hicolor/32x32/apps/quillfen.png \
         /usr/share/man/man1/quillfen.1.gz /usr/share/man/man1/quillfen-cli.1.gz /usr/share/man/man1/wavcat.1.gz \
         /usr/share/metainfo/example.veltrane.quillfen.metainfo.xml /usr/share/doc/quillfen/copyright \
         /usr/share/doc/quillfen/changelog.gz; do
    grep -qxF "$f" "$tmp/files" && [[ -e $f ]] || fail "the package did not install $f"
done

# Built with Debian's hardening, as lintian checks it: relocations read-only and bound at start,
# and libc's checked functions (fortify) in use.
for f in /usr/lib/quillfen/Quillfen /usr/lib/quillfen/quillfen-cli /usr/lib/quillfen/wavcat; do
    [[ -e $f ]] || continue
    readelf -lW "$f" | grep -q GNU_RELRO || fail "$f has no RELRO segment"
    readelf -dW "$f" | grep -qE 'BIND_NOW|Flags:.* NOW( |$)' || fail "$f is not bound at start (-z now)"
    readelf --dyn-syms -W "$f" | grep -qE ' __[a-z_]+_chk(@|$)' || fail "$f calls no fortified libc function"
done

# From a directory of the user's, through PATH, with a relative output name.
work=$tmp/somewhere/else
mkdir -p "$work"
[[ $(PATH=/usr/bin:/bin command -v quillfen-cli) == /usr/bin/quillfen-cli ]] || fail "quillfen-cli is not on PATH"
if out=$(cd "$work" && PATH=/usr/bin:/bin quillfen-cli -o g.wav GA 2>&1); then
    decoded=$(cd "$work" && PATH=/usr/bin:/bin quillfen-cli --decode g.wav 2>&1)
    [[ $decoded == GA ]] || fail "g.wav decodes as '$decoded', not GA"
else
    fail "quillfen-cli -o g.wav GA failed: $out"
fi

# man finds the pages by name, and they render without roff warnings.
for page in quillfen quillfen-cli wavcat; do
    if ! text=$(MANPAGER=cat MANWIDTH=80 man --warnings "$page" 2>"$tmp/man.err"); then
        fail "man $page does not open: $(cat "$tmp/man.err")"
    elif [[ -s $tmp/man.err ]]; then
        fail "man $page warns: $(cat "$tmp/man.err")"
    elif [[ $text != *"NAME"*"$page - "* ]]; then
        fail "man $page shows some other page: $(head -n3 <<<"$text")"
    fi
done

if ! dpkg -r quillfen >"$tmp/dpkg-r.log" 2>&1; then
    cat "$tmp/dpkg-r.log" >&2
    fail "dpkg -r failed"
    finish
fi
while read -r f; do
    # Shared directories such as /usr/bin stay; everything the package alone brought must go.
    [[ -d $f && ! -L $f ]] && continue
    [[ -e $f || -L $f ]] && fail "dpkg -r left $f behind"
done <"$tmp/files"
for d in /usr/lib/quillfen /usr/share/quillfen /usr/share/doc/quillfen; do
    [[ -e $d ]] && fail "dpkg -r left the directory $d behind"
done
dpkg-query -W -f='${db:Status-Status}' quillfen 2>/dev/null | grep -qv '^not-installed$' &&
    fail "dpkg still lists quillfen after dpkg -r: $(dpkg-query -W -f='${Status}' quillfen)"
finish
