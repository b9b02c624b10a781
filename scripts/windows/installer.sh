#!/usr/bin/env bash
# Makes BUILD/quillfen-<version>-setup.exe from BUILD/bin with NSIS (installer.nsi). The file lists
# are written here from what is in the program directory, so the uninstaller removes exactly that.
set -euo pipefail

build=$(cd "${1:?usage: installer.sh BUILD}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
lists=$build/installer
mkdir -p "$lists"

# Everything the program needs beside it; build leftovers (import libraries, debug maps) stay out.
files=$(cd "$build/bin" && find . -type f ! -name '*.a' ! -name '*.map' | sed 's|^\./||' | LC_ALL=C sort)
{
  for dir in $(printf '%s\n' "$files" | xargs -n1 dirname | LC_ALL=C sort -u); do
    sub=${dir#.}
    echo "SetOutPath \"\$INSTDIR${sub:+\\${sub//\//\\}}\""
    printf '%s\n' "$files" | while read -r f; do
      if [ "$(dirname "$f")" = "$dir" ]; then echo "File \"$build/bin/$f\""; fi
    done
  done
  echo 'SetOutPath "$INSTDIR"'
} >"$lists/install-files.nsh"
{
  printf '%s\n' "$files" | while read -r f; do echo "Delete \"\$INSTDIR\\${f//\//\\}\""; done
  # Deepest folders first, so each is empty when its turn comes.
  printf '%s\n' "$files" | xargs -n1 dirname | { grep -v '^\.$' || true; } | LC_ALL=C sort -u -r |
    while read -r d; do echo "RMDir \"\$INSTDIR\\${d//\//\\}\""; done
} >"$lists/uninstall-files.nsh"

out=$build/quillfen-$version-setup.exe
makensis -V2 -DVERSION="$version" -DPROGRAM_DIR="$build/bin" -DFILE_LISTS="$lists" -DOUTFILE="$out" \
  "$here/installer.nsi"
echo "$out"
