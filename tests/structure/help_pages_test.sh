#!/usr/bin/env bash
# What no browser complains about in the help pages: every page has the sections of the US English
# one, every link inside a page finds its anchor, and the TTY English page writes only what a text
# telephone can print (tags and entities aside).
#
# Usage: help_pages_test.sh HELP_DIR
set -u
dir=$1
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

anchors() { grep -o 'name="[^"]*"' "$1" | sed 's/^name="//; s/"$//' | sort -u; }
reference=$(anchors "$dir/Quillfen_ENU.htm")
[[ -n $reference ]] || fail "no anchors found in Quillfen_ENU.htm; is the parsing broken?"

pages=("$dir"/Quillfen_*.htm)
[[ ${#pages[@]} -ge 2 ]] || fail "fewer than two help pages in $dir"
for page in "${pages[@]}"; do
    name=${page##*/}
    own=$(anchors "$page")
    [[ $own == "$reference" ]] ||
        fail "$name: anchors differ from Quillfen_ENU.htm: $(diff <(echo "$reference") <(echo "$own") | grep '^[<>]' | tr '\n' ' ')"
    while IFS= read -r target; do
        grep -qx -- "$target" <<<"$own" || fail "$name: link to #$target, which the page does not have"
    done < <(grep -o 'href="#[^"]*"' "$page" | sed 's/^href="#//; s/"$//' | sort -u)
done

# The body's text with tags and entities taken out, one line per source line; the style sheet and
# the title in the head are not read by the caller's text telephone.
tty_page=$dir/Quillfen_ENX.htm
text=$(sed -n '/<body>/,$p' "$tty_page" | tr '\n' '\r' | sed 's/<[^>]*>//g; s/&[a-z]*;//g; s/&#[0-9]*;//g' | tr '\r' '\n')
[[ $(grep -c . <<<"$text") -gt 50 ]] || fail "Quillfen_ENX.htm: little text found; is the parsing broken?"
while IFS= read -r line; do
    fail "Quillfen_ENX.htm: not in the TTY character set: $line"
done < <(LC_ALL=C grep -n "[^A-Z0-9 \",?:.'#\$()!-]" <<<"$text")

if ((failures > 0)); then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "help pages: ${#pages[@]} pages with the same anchors, links found, TTY page in the TTY character set"
