#!/usr/bin/env bash
# Installs the build twice, into a prefix and staged under DESTDIR, and checks what a user or a
# packager gets: the program directory, the links on PATH, the desktop entry and icons, the
# software-centre metadata and the man pages, and an installed quillfen-cli that converts and
# decodes using only what lies beside it.
#
# Usage: install_test.sh CMAKE BUILD_DIR PROGRAM_DIR HAVE_WINDOW_PROGRAM(0|1)
set -u
cmake=$1 build=$2 progdir=$3 have_window=$4
unset DESTDIR

tmp=$(mktemp -d "${TMPDIR:-/tmp}/quillfen-install.XXXXXX") || exit 1
# cmake --install rewrites the build's install_manifest.txt; a developer may need theirs to uninstall.
manifest=$build/install_manifest.txt
[[ -e $manifest ]] && cp -p "$manifest" "$tmp/saved_manifest"
cleanup() {
    if [[ -e $tmp/saved_manifest ]]; then cp -p "$tmp/saved_manifest" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

run_install() { # LOG ARGS...
    local log=$1
    shift
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        fail "install failed: $*"
        return 1
    fi
}

# Prints "WIDTH HEIGHT COLOUR_TYPE PALETTE_ENTRIES" of a PNG whose palette follows its header.
png_info() {
    local hex
    hex=$(od -An -tx1 -N41 -v "$1" | tr -d ' \n')
    [[ ${hex:0:16} == 89504e470d0a1a0a && ${hex:74:8} == 504c5445 ]] || { echo "not-a-palette-png"; return; }
    echo "$((16#${hex:32:8})) $((16#${hex:40:8})) $((16#${hex:50:2})) $((16#${hex:66:8} / 3))"
}

check_link() { # ROOT NAME TARGET: a relative link that resolves to the installed program
    local link=$1/bin/$2 want=../lib/quillfen/$3
    [[ -L $link && $(readlink "$link") == "$want" && $(readlink -f "$link") == $(readlink -f "$1/lib/quillfen/$3") ]] ||
        fail "$link is not a symbolic link to the relative $want: $(readlink "$link")"
}

check_tree() { # ROOT: where the installed files are, DESTDIR included
    local root=$1 dir=$1/lib/quillfen f name
    local programs=(quillfen-cli wavcat ttyprompts)
    [[ $have_window == 1 ]] && programs+=(Quillfen)
    for f in "${programs[@]}"; do
        [[ -f $dir/$f && -x $dir/$f ]] || fail "$dir/$f missing or not executable"
    done
    # The window program's modules, loaded from below it on first use: the sound device's, and the
    # update check's download where the build has one.
    [[ $have_window == 1 && ! -f $dir/modules/quillfen_audio_out.so ]] && fail "$dir/modules/quillfen_audio_out.so missing"
    [[ -f $progdir/modules/quillfen_web_page.so && ! -f $dir/modules/quillfen_web_page.so ]] &&
        fail "$dir/modules/quillfen_web_page.so missing"
    # A sample that must be there whatever else the build makes, so an empty build cannot pass.
    for f in smallsilence.wav BlankChar.wav LTRS.wav LTRS.WAV FIGS.WAV a.wav z.wav 9.wav space.wav \
             Quillfen_ENU.dll Quillfen_DEU.dll; do
        [[ -f $dir/$f ]] || fail "$dir/$f missing"
    done
    shopt -s nullglob
    for f in "$progdir"/*.wav "$progdir"/*.WAV "$progdir"/*.dll "$progdir"/*.htm "$progdir"/*.css; do
        cmp -s "$f" "$dir/${f##*/}" || fail "$dir/${f##*/} missing or differs from the build's"
    done
    # Build tools and test programs must not ride along into the program directory.
    for f in "$dir"/*; do
        name=${f##*/}
        case $name in
            *.wav | *.WAV | *.dll | *.htm | *.css | quillfen-cli | wavcat | ttyprompts | Quillfen) ;;
            modules) [[ $have_window == 1 && $(ls "$f" | grep -vx quillfen_web_page.so) == quillfen_audio_out.so ]] ||
                fail "unexpected $(ls "$f") in $f" ;;
            *) fail "unexpected $name in the installed program directory" ;;
        esac
    done
    shopt -u nullglob

    check_link "$root" quillfen-cli quillfen-cli
    [[ $have_window == 1 ]] && check_link "$root" quillfen Quillfen

    # The desktop entry must name what this install provides: the command on PATH and the icon
    # theme name (a missing entry names neither).
    local desktop=$root/share/applications/quillfen.desktop command icon size info w h type entries
    command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop" 2>/dev/null)
    icon=$(sed -n 's/^Icon=//p' "$desktop" 2>/dev/null)
    [[ $command == quillfen ]] || fail "desktop entry $desktop runs '$command', not the quillfen link"
    [[ $have_window == 1 && ! -x $root/bin/$command ]] && fail "desktop entry command $command is not in bin"
    grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/$icon.svg" 2>/dev/null ||
        fail "no scalable SVG icon named '$icon'"
    for size in 16 32; do
        info=$(png_info "$root/share/icons/hicolor/${size}x${size}/apps/$icon.png" 2>/dev/null)
        read -r w h type entries <<<"$info"
        [[ $w == "$size" && $h == "$size" && $type == 3 && $entries -le 16 ]] ||
            fail "${size}x${size} icon '$icon' is not a ${size}x${size} 16-colour image: $info"
    done

    # The software-centre metadata launches this desktop entry and shows a screenshot installed at
    # the same path under share/ as the image has on the home host.
    local metainfo=$root/share/metainfo/example.veltrane.quillfen.metainfo.xml launchable url shot
    launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo" 2>/dev/null)
    [[ -n $launchable && -f $root/share/applications/$launchable ]] ||
        fail "metainfo $metainfo launches '$launchable', which is not installed"
    url=$(sed -n 's:.*<image>\(.*\)</image>.*:\1:p' "$metainfo" 2>/dev/null)
    shot=$root/share/${url#*://*/}
    [[ $(od -An -tx1 -N8 "$shot" 2>/dev/null | tr -d ' \n') == 89504e470d0a1a0a ]] ||
        fail "the screenshot $url is not installed as a PNG at $shot"
    # The man pages, whenever the build made them.
    shopt -s nullglob
    for f in "$build"/resources/man/*.1.gz; do
        cmp -s "$f" "$root/share/man/man1/${f##*/}" || fail "man page ${f##*/} not installed in share/man/man1"
    done
    shopt -u nullglob
}

check_cli() { # ROOT
    local cli=$1/bin/quillfen-cli work out decoded
    work=$(mktemp -d "$tmp/work.XXXXXX")
    # A PATH without the build, so wavcat can only come from the installed directory.
    if ! out=$(cd "$work" && PATH=/usr/bin:/bin "$cli" -o hello.wav HELLO 42 2>&1); then
        fail "installed quillfen-cli could not convert: $out"
        return
    fi
    decoded=$(cd "$work" && PATH=/usr/bin:/bin "$cli" --decode hello.wav 2>&1)
    [[ $decoded == "HELLO 42" ]] || fail "installed quillfen-cli decoded '$decoded', expected 'HELLO 42'"
}

# Proves the installed program reads its own directory and not the build's: take a prompt away,
# then wavcat, and each run must fail for the missing piece. Only for a scratch tree.
check_cli_uses_only_its_directory() { # ROOT
    local cli=$1/bin/quillfen-cli dir=$1/lib/quillfen work out
    work=$(mktemp -d "$tmp/work.XXXXXX")
    rm "$dir/h.wav"
    if out=$(cd "$work" && PATH=/usr/bin:/bin "$cli" -o h.wav HELLO 2>&1) || [[ $out != *h.wav* ]]; then
        fail "without the installed h.wav the run did not fail over it: $out"
    fi
    if ! PATH=/usr/bin:/bin command -v wavcat >/dev/null; then
        rm "$dir/wavcat"
        if out=$(cd "$work" && PATH=/usr/bin:/bin "$cli" -o e.wav E 2>&1) || [[ $out != *wavcat* ]]; then
            fail "without the installed wavcat the run did not fail over it: $out"
        fi
    fi
}

# 1. A plain prefix, installed twice: reinstalling over the links must work too.
prefix=$tmp/prefix
run_install "$tmp/install1.log" "$cmake" --install "$build" --prefix "$prefix" &&
    run_install "$tmp/install2.log" "$cmake" --install "$build" --prefix "$prefix" && {
    check_tree "$prefix"
    check_cli "$prefix"
    grep -qxF "$prefix/bin/quillfen-cli" "$manifest" || fail "install_manifest.txt does not list bin/quillfen-cli"
}

# 2. Staged for a package: everything under DESTDIR, nothing at the prefix itself.
stage=$tmp/stage
staged_prefix=$tmp/never-written
DESTDIR=$stage run_install "$tmp/install3.log" "$cmake" --install "$build" --prefix "$staged_prefix" && {
    [[ -e $staged_prefix ]] && fail "a DESTDIR install wrote to the prefix itself"
    check_tree "$stage$staged_prefix"
    check_cli "$stage$staged_prefix"
    check_cli_uses_only_its_directory "$stage$staged_prefix"
}

if ((failures)); then
    echo "install test: $failures check(s) failed" >&2
    exit 1
fi
echo "install test: all checks passed"
