#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the portable archive with cpack, unpacks it and checks that its one
# top folder holds the programs with the Icons folder beside them, and that
# 3.1 started there keeps its Hall of Fame in that folder.
#
# usage: checkpackage.sh BUILD WORK ICONS TOPFOLDER SOURCE PROGRAM...
set -uo pipefail

build=$1 work=$2 icons=$3 top=$4 source=$5
shift 5
programs=("$@")
# shellcheck source=checkcommon.sh
source "$(dirname "$0")/checkcommon.sh"

rm -rf "$work"
mkdir -p "$work/unpacked"

if ! cpack -G TGZ --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack failed" >&2
    exit 1
fi
archive=$work/$top.tar.gz
if [ ! -f "$archive" ]; then
    echo "FAIL: no $archive; cpack made: $(ls "$work")" >&2
    exit 1
fi
tar -xzf "$archive" -C "$work/unpacked"

[ "$(ls -A "$work/unpacked")" = "$top" ] || fail "the archive's top level is not just $top/: $(ls -A "$work/unpacked")"
folder=$work/unpacked/$top

expected=("${programs[@]}" Icons)
for document in README.md LICENSE CREDITS.md LICENSES; do
    [ -e "$source/$document" ] && expected+=("$document")
done
[ "$(ls -A "$folder" | sort)" = "$(printf '%s\n' "${expected[@]}" | sort)" ] \
    || fail "$top/ holds '$(ls -A "$folder" | tr '\n' ' ')', not '${expected[*]}'"

for program in "${programs[@]}"; do
    if [ ! -f "$folder/$program" ] || [ -L "$folder/$program" ] || [ ! -x "$folder/$program" ]; then
        fail "$top/$program is not an executable file"
    fi
done
if [ -L "$folder/Icons" ] || [ ! -d "$folder/Icons" ]; then
    fail "$top/Icons is not a folder"
else
    [ "$(cd "$folder/Icons" && ls)" = "$(cd "$icons" && ls -- *.ico)" ] \
        || fail "$top/Icons differs from the build's pool"
    for picture in "$icons"/*.ico; do
        cmp -s "$picture" "$folder/Icons/${picture##*/}" || fail "$top/Icons/${picture##*/} differs"
    done
fi

[ -f "$folder/LICENSES/Apache-2.0.txt" ] || fail "$top/LICENSES/ lacks the pictures' licence"

expect_hall_of_fame_at "$folder/tilvane-v31" "$folder/Tilvane.ini" "$work/tilvane-v31.log"

if [ $failures -ne 0 ]; then
    echo "$failures failures" >&2
    exit 1
fi
echo "portable archive $top.tar.gz checked in $work"
