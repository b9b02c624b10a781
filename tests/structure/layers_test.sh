#!/usr/bin/env bash
# Keeps the habits of the tree that no compiler checks: includes only run down the layers, platform
# differences live in *_posix.cpp / *_win.cpp and nowhere else, every string id is named, the TTY
# library and the build tools stay free of Qt, and the decoder's internal headers stay its own.
#
# Usage: layers_test.sh SOURCE_DIR
set -u
root=$1
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Folder under src/ -> the folders its files may include from (besides its own). version.h and
# the generated headers count as the folder they are generated for.
declare -A allowed=(
    [pe]=""
    [tty]=""
    [tty/internal]="tty"
    [codecs]=""
    [platform]="version.h"
    [platform/widgets]="platform platform/win32"
    [platform/win32]=""
    [localization]="platform pe"
    [localization/widgets]="localization platform"
    [layout]=""
    [settings]="localization platform"
    [conversion]="tty codecs localization platform version.h"
    [update]="localization platform"
    [update/download]="update localization platform version.h"
    [mainwindow]="conversion codecs settings layout localization/widgets localization platform/widgets platform"
    [about]="localization/widgets localization platform/widgets platform version.h"
    [help]="localization/widgets localization platform/widgets platform"
    [app]="mainwindow about help update/download update conversion settings layout localization/widgets
           localization platform/widgets platform"
    [cli]="conversion codecs localization platform version.h"
)

# The folder a project include names: "localization/widgets/fonts.h" -> localization/widgets.
target_of() {
    local inc=$1
    case $inc in
    */widgets/* | */win32/* | update/download/*) echo "${inc%/*}" ;;
    */*) echo "${inc%%/*}" ;;
    *) echo "$inc" ;;
    esac
}

cd "$root/src" || exit 1
for file in $(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort); do
    folder=${file%/*}
    [[ -v allowed[$folder] ]] || { fail "$file: folder $folder is not a known layer; add it here"; continue; }
    while IFS= read -r inc; do
        target=$(target_of "$inc")
        [[ $target == "$folder" ]] && continue
        ok=0
        for a in ${allowed[$folder]}; do [[ $target == "$a" ]] && ok=1; done
        ((ok)) || fail "$file includes \"$inc\": $folder may not include from $target"
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done

# Platform differences are chosen by the build, one file per platform.
while IFS= read -r hit; do
    fail "platform test outside a *_posix/*_win file: $hit"
done < <(grep -rnE '^#\s*if.*(Q_OS_|_WIN32|__linux__|__APPLE__)' . --include='*.h' --include='*.cpp' |
    grep -vE '_(posix|win)\.cpp:')

# System headers of one platform belong to that platform's files too (fcntl.h is also the Windows C
# runtime's).
while IFS= read -r hit; do
    fail "POSIX header outside a *_posix file: $hit"
done < <(grep -rnE '^#\s*include\s*<(unistd|fcntl)\.h>|^#\s*include\s*<sys/' . --include='*.h' --include='*.cpp' |
    grep -vE '_posix\.cpp:' | grep -vE '_win\.cpp:[0-9]+:#\s*include\s*<fcntl\.h>')

# And Windows headers belong to the Windows files, in the build tools as well as the program.
while IFS= read -r hit; do
    fail "Windows header outside a *_win file: $hit"
done < <(grep -rnE '^#\s*include\s*<(windows|io|aclapi|sddl)\.h>' . "$root/tools" --include='*.h' --include='*.cpp' |
    grep -vE '_win\.cpp:')

# The TTY library is std C++ only, and its internal headers are reached from inside it alone.
while IFS= read -r hit; do
    fail "Qt in src/tty: $hit"
done < <(grep -rnE '^#\s*include\s*<Q' tty --include='*.h' --include='*.cpp')
while IFS= read -r hit; do
    fail "the decoder's internal header used outside src/tty: $hit"
done < <(grep -rnE '^#\s*include\s*"tty/internal/' . "$root/tests" "$root/bench" "$root/tools" \
    --include='*.h' --include='*.cpp' | grep -vE '^(\./)?tty/')

# Texts are looked up by name, never by a bare number.
while IFS= read -r hit; do
    fail "string id given as a number: $hit"
done < <(grep -rnE 'myLoadResString\([0-9]' . --include='*.h' --include='*.cpp')

# The build tools use std C++ and libsndfile only.
cd "$root/tools" || exit 1
while IFS= read -r hit; do
    fail "Qt in a build tool: $hit"
done < <(grep -rnE '^#include <Q' . --include='*.h' --include='*.cpp')

if ((failures)); then
    echo "$failures structure check(s) failed" >&2
    exit 1
fi
echo "structure: every include runs down the layers"
