#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package with scripts/package (lintian included), checks
# its list of files, that it carries no maintainer script and no Hall of
# Fame, unpacks it and plays edition 3 from it on a private X server.
#
# usage: checkdeb.sh SOURCE WORK ICONS HICOLOR PROGRAM...
set -uo pipefail

source_dir=$1 work=$2 icons=$3 hicolor=$4
shift 4
programs=("$@")
# shellcheck source=checkcommon.sh
source "$(dirname "$0")/checkcommon.sh"

if ! "$source_dir/scripts/package" "$work" >"$work.log" 2>&1; then
    cat "$work.log" >&2
    echo "FAIL: scripts/package failed" >&2
    exit 1
fi
deb=$(find "$work" -maxdepth 1 -name 'tilvane_*_amd64.deb')

# Every file and link, with where each link points.
expected=()
for program in "${programs[@]}"; do
    expected+=("usr/games/$program -> ../lib/games/tilvane/$program/$program"
        "usr/lib/games/tilvane/$program/$program"
        "usr/lib/games/tilvane/$program/Icons -> ../../../../share/games/tilvane/Icons"
        "usr/share/man/man6/$program.6.gz"
        "usr/share/applications/org.tilvane.Tilvane.V${program#tilvane-v}.desktop"
        "usr/share/metainfo/org.tilvane.Tilvane.V${program#tilvane-v}.metainfo.xml")
done
while read -r picture; do
    expected+=("usr/share/games/tilvane/Icons/$picture")
done < <(cd "$icons" && ls -- *.ico)
while read -r theme_icon; do
    expected+=("usr/share/icons/hicolor/$theme_icon")
done < <(cd "$hicolor" && ls -- */apps/tilvane.png)
expected+=(usr/share/doc/tilvane/CREDITS.md usr/share/doc/tilvane/README.md.gz
    usr/share/doc/tilvane/changelog.gz usr/share/doc/tilvane/copyright
    "usr/share/doc/tilvane/LICENSES/Apache-2.0.txt -> ../../../common-licenses/Apache-2.0")
listed=$(dpkg-deb --fsys-tarfile "$deb" | tar -tvf - | awk '$1 !~ /^d/ {
    $1 = $2 = $3 = $4 = $5 = ""; sub(/^ *\.\//, ""); print }' | sort)
difference=$(diff <(printf '%s\n' "${expected[@]}" | sort) <(echo "$listed"))
[ -z "$difference" ] || fail "the package's files differ from the expected ones (< expected, > packaged):
$difference"

# Installing, removing and purging leave the players' results alone: no
# script runs, no file is a configuration file dpkg would keep or remove.
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -tf - | sort | tr '\n' ' ')
[ "$control" = "./ ./control ./md5sums " ] || fail "the control archive holds $control"

root=$work/root
dpkg-deb -x "$deb" "$root"
/usr/bin/python3 "$source_dir/tests/e2e/packaged_v3.py" "$root/usr/lib/games/tilvane/tilvane-v3" \
    "$root/usr/games/tilvane-v3" || fail "edition 3 from the package"

if [ $failures -ne 0 ]; then
    echo "$failures failures" >&2
    exit 1
fi
echo "$deb checked"
