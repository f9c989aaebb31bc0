#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# scripts/windows on a machine that has none of its packages: a copy of the
# script runs against a dpkg-query that knows no package and an apt-get that
# only writes down what it was asked, and whose install fails, so nothing is
# installed and the script goes no further.
#
# usage: windowsscript.sh SOURCE WORK
set -uo pipefail

source_dir=$1 work=$2
rm -rf "$work"
mkdir -p "$work/tree/scripts" "$work/tree/cmake" "$work/stubs"
cp "$source_dir/scripts/windows" "$work/tree/scripts/"
cp "$source_dir/cmake/mingw-w64-x86_64.cmake" "$work/tree/cmake/"
[ -d "$source_dir/packaging/windows/qt-patches" ] \
    && mkdir -p "$work/tree/packaging/windows" \
    && cp -r "$source_dir/packaging/windows/qt-patches" "$work/tree/packaging/windows/"
calls=$work/apt-get.calls
: >"$calls"
printf '#!/bin/sh\nexit 0\n' >"$work/tree/scripts/setup"
printf '#!/bin/sh\necho "dpkg-query: no packages found matching $3" >&2\nexit 1\n' \
    >"$work/stubs/dpkg-query"
printf '#!/bin/sh\necho "$*" >>"%s"\n[ "$1" != install ]\n' "$calls" >"$work/stubs/apt-get"
chmod +x "$work/tree/scripts/"* "$work/stubs/"*
export PATH="$work/stubs:$PATH" TILVANE_CACHE="$work/cache"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

output=$("$work/tree/scripts/windows" --if-cached 2>&1)
status=$?
[ $status -eq 0 ] || fail "--if-cached ended with status $status"
[ "$(printf '%s\n' "$output" | wc -l)" -eq 1 ] && [[ $output == "windows: NOT RUN: "* ]] \
    || fail "--if-cached printed '$output', not one NOT RUN line"
[ -s "$calls" ] && fail "--if-cached called apt-get: $(cat "$calls")"

output=$("$work/tree/scripts/windows" 2>&1)
status=$?
# The stub's failed install is where the script has to stop.
[ $status -ne 0 ] || fail "the script went on after a failed install"
[[ $output == *"windows: installing g++-mingw-w64-x86-64-posix wine "* ]] \
    || fail "the script did not say what it installs: '$output'"
expected="update -qq
install -y -qq --no-install-recommends g++-mingw-w64-x86-64-posix wine wine64 "
[[ $(cat "$calls") == "$expected"* ]] || fail "apt-get was asked: $(cat "$calls")"

[ $failures -eq 0 ] && echo "scripts/windows installs what is missing, and --if-cached says why not"
exit $((failures > 0))
