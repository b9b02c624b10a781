#!/usr/bin/env bash
# Each program's --help and its man page must name the same options, so that an option added to
# one and not the other fails here. Both lists are read from the texts themselves.
#
# Usage: man_options_test.sh MAN_SOURCE_DIR PROGRAM...   (the page of PROGRAM is NAME.1.scd)
set -u
mandir=$1
shift
failures=0

# Every option-shaped word (-x, --long-name) that starts a line or follows a space, a comma, a
# bracket, a bar or scdoc's bold star; a hyphen inside a word or a bare "--" is not one.
options_in() { grep -oE '(^|[][ ,|(*])--?[A-Za-z][A-Za-z0-9-]*' | sed 's/^[^-]*//' | sort -u; }

for program in "$@"; do
    name=${program##*/}
    page=$mandir/$name.1.scd
    if ! help=$("$program" --help); then
        echo "FAIL: $name --help failed" >&2
        failures=$((failures + 1))
        continue
    fi
    from_help=$(options_in <<<"$help")
    # The man page's options are the item lines of its OPTIONS section, like "*-o*, *--output* _FILE_".
    from_page=$(sed -n '/^# OPTIONS/,/^# /{/^\*-/p}' "$page" | options_in)
    if ! grep -qx -- --help <<<"$from_help" || ! grep -qx -- --help <<<"$from_page"; then
        echo "FAIL: $name: no --help found in the help text or in $page; is the parsing broken?" >&2
        failures=$((failures + 1))
        continue
    fi
    only_help=$(comm -23 <(echo "$from_help") <(echo "$from_page"))
    only_page=$(comm -13 <(echo "$from_help") <(echo "$from_page"))
    if [[ -n $only_help || -n $only_page ]]; then
        echo "FAIL: $name: --help and $page list different options" >&2
        [[ -n $only_help ]] && echo "  only in --help: $(echo $only_help)" >&2
        [[ -n $only_page ]] && echo "  only in the man page: $(echo $only_page)" >&2
        failures=$((failures + 1))
    else
        echo "$name: --help and the man page both list $(echo $from_help)"
    fi
done
exit $((failures > 0))
