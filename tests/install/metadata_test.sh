#!/usr/bin/env bash
# The desktop entry and the software-centre metadata, through the freedesktop validators when they
# are installed (make test installs them when QUILLFEN_TEST_PACKAGE=1; without them the test reports
# itself skipped), and the two release lists, the metadata's and the package changelog, which must
# both start with this version.
#
# Usage: metadata_test.sh DESKTOP_FILE METAINFO_FILE CHANGELOG PROJECT_VERSION
set -u
desktop=$1 metainfo=$2 changelog=$3 version=$4
failures=0

newest=$(grep -oE '<release version="[^"]*"' "$metainfo" | head -n1 | cut -d'"' -f2)
if [[ $newest != "$version" ]]; then
    echo "FAIL: the newest release in $metainfo is '$newest', but this is version $version: add a <release>" >&2
    failures=$((failures + 1))
fi
newest=$(sed -n '1s/^quillfen (\([^)]*\)).*/\1/p' "$changelog")
if [[ $newest != "$version" ]]; then
    echo "FAIL: the newest entry in $changelog is '$newest', but this is version $version: add an entry" >&2
    failures=$((failures + 1))
fi

missing=()
if command -v desktop-file-validate >/dev/null; then
    # Hints are advice; errors and warnings fail.
    out=$(desktop-file-validate "$desktop" 2>&1)
    if [[ $? -ne 0 ]] || grep -qE ': (error|warning): ' <<<"$out"; then
        echo "FAIL: desktop-file-validate rejects $desktop:" >&2
        echo "$out" >&2
        failures=$((failures + 1))
    fi
else
    missing+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null; then
    if ! out=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
        echo "FAIL: appstreamcli rejects $metainfo:" >&2
        echo "$out" >&2
        failures=$((failures + 1))
    fi
else
    missing+=(appstreamcli)
fi

((failures)) && exit 1
if ((${#missing[@]})); then
    echo "skipped: ${missing[*]} not installed (the release lists are up to date)"
    exit 77
fi
echo "metadata: both validators accept the files, and the release lists are up to date"
