#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs a build into a scratch prefix, moves the tree (its links must be
# relative), checks the desktop layout and starts 3.1 through its link in
# bin/. Then installs once more under DESTDIR and checks the links there.
#
# usage: checkinstall.sh BUILD WORK ICONS HICOLOR BINDIR LIBDIR DATADIR PROGRAM...
set -uo pipefail

build=$1 work=$2 icons=$3 hicolor=$4 bindir=$5 libdir=$6 datadir=$7
shift 7
programs=("$@")
# shellcheck source=checkcommon.sh
source "$(dirname "$0")/checkcommon.sh"

png_size() {
    local bytes
    read -ra bytes < <(od -An -tu1 -j16 -N8 "$1")
    echo "$(((bytes[0] << 24) + (bytes[1] << 16) + (bytes[2] << 8) + bytes[3]))x$(((bytes[4] << 24) + (bytes[5] << 16) + (bytes[6] << 8) + bytes[7]))"
}

# A relative link in the tree at $1 that resolves to the file or folder $2.
check_link() {
    local link=$1 expected=$2
    if [ ! -L "$link" ]; then
        fail "$link is not a symbolic link"
        return
    fi
    case "$(readlink "$link")" in
        /*) fail "$link points to an absolute path: $(readlink "$link")" ;;
    esac
    if [ "$(realpath -e "$link" 2>/dev/null)" != "$(realpath -e "$expected")" ]; then
        fail "$link resolves to '$(realpath -m "$link")', not $expected"
    fi
}

check_layout() {
    local root=$1
    local pool=$root/$datadir/tilvane/Icons
    if [ ! -d "$pool" ] || [ -L "$pool" ]; then
        fail "no icon pool folder at $pool"
        return
    fi
    local expected_pool
    expected_pool=$(cd "$icons" && ls -- *.ico)
    [ "$(cd "$pool" && ls)" = "$expected_pool" ] || fail "the pool at $pool differs from $icons"
    local picture
    while read -r picture; do
        cmp -s "$icons/$picture" "$pool/$picture" || fail "$pool/$picture differs from the build's"
    done <<<"$expected_pool"

    local program folder
    for program in "${programs[@]}"; do
        folder=$root/$libdir/tilvane/$program
        if [ ! -f "$folder/$program" ] || [ -L "$folder/$program" ] || [ ! -x "$folder/$program" ]; then
            fail "$folder/$program is not an executable file"
        fi
        check_link "$folder/Icons" "$pool"
        while read -r picture; do
            [ -r "$folder/Icons/$picture" ] || fail "$program cannot read Icons/$picture"
        done <<<"$expected_pool"
        check_link "$root/$bindir/$program" "$folder/$program"
        [ -f "$root/$datadir/man/man6/$program.6" ] || fail "no manual page for $program"
        # Entries are named by their reverse-DNS id and start the program by its name.
        local entry
        entry=$(grep -lx "Exec=$program" "$root/$datadir/applications/"*.desktop 2>/dev/null)
        if [ "$(wc -l <<<"$entry")" != 1 ] || [ -z "$entry" ]; then
            fail "not one desktop entry for $program"
        elif [ ! -f "$root/$datadir/metainfo/$(basename "$entry" .desktop).metainfo.xml" ]; then
            fail "no metainfo for $program"
        fi
    done

    local document
    for document in README.md CREDITS.md LICENSES/Apache-2.0.txt; do
        [ -f "$root/$datadir/doc/tilvane/$document" ] || fail "no $datadir/doc/tilvane/$document"
    done

    local theme_icon size
    for theme_icon in "$hicolor"/*/apps/tilvane.png; do
        size=${theme_icon#"$hicolor"/}
        size=${size%%/*}
        local installed=$root/$datadir/icons/hicolor/$size/apps/tilvane.png
        if [ ! -f "$installed" ]; then
            fail "no $size theme icon"
        elif [ "$(png_size "$installed")" != "$size" ]; then
            fail "the $size theme icon is $(png_size "$installed")"
        fi
    done
}

# 3.1 makes its Hall-of-Fame file beside its real program file on starting,
# which shows the program found its own folder through the link in bin/.
check_start() {
    local root=$1
    expect_hall_of_fame_at "$root/$bindir/tilvane-v31" \
        "$root/$libdir/tilvane/tilvane-v31/Tilvane.ini" "$work/tilvane-v31.log"
}

rm -rf "$work"
mkdir -p "$work"

# Named, the component writes its own manifest and leaves the build's
# install_manifest.txt to the player's own install.
if cmake --install "$build" --component desktop --prefix "$work/prefix" \
    >"$work/install.log" 2>&1; then
    mv "$work/prefix" "$work/moved"
    check_layout "$work/moved"
    # Each metainfo file against the desktop entry it names.
    appstreamcli validate-tree --no-net --no-color "$work/moved" >"$work/validate-tree.log" 2>&1 \
        || fail "appstreamcli validate-tree: $(cat "$work/validate-tree.log")"
    check_start "$work/moved"
else
    cat "$work/install.log" >&2
    fail "cmake --install --prefix failed"
fi

if DESTDIR=$work/destdir cmake --install "$build" --component desktop --prefix /opt/tilvane \
    >"$work/destdir.log" 2>&1; then
    check_layout "$work/destdir/opt/tilvane"
else
    cat "$work/destdir.log" >&2
    fail "cmake --install under DESTDIR failed"
fi

if [ $failures -ne 0 ]; then
    echo "$failures failures" >&2
    exit 1
fi
echo "install layout checked in $work"
