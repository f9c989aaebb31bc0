#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the installer from the zip's layout, installed into STAGE: every
# file there becomes a component of the program folder (wixl-heat), and
# tilvane.wxs adds the Start menu and the installed-programs entry.
#
# usage: makemsi.sh STAGE WXS ICON VERSION OUTPUT
set -euo pipefail

stage=$1 wxs=$2 icon=$3 version=$4 output=$5
# wixl finds the files it packs only by paths relative to where it runs.
cd "$(dirname "$stage")"
files=$(basename "$stage")
cp "$icon" tilvane.ico
# Sorted, so that the same files give the same package.
find "$files" -type f | LC_ALL=C sort \
    | wixl-heat -p "$files/" --component-group Programs --var var.SourceDir \
        --directory-ref INSTALLDIR --win64 >programs.wxs
wixl --arch x64 -D Win64=yes -D SourceDir="$files" -D Icon=tilvane.ico -D Version="$version" \
    -o "$output" "$wxs" programs.wxs
