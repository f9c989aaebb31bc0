# SPDX-License-Identifier: MIT
# Shared by the install and package checks; sourced, not run.

failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Starts 3.1 from PROGRAM (headless) and waits, at most a minute, for its
# Hall of Fame to appear as FILE: the program found its own folder.
# usage: expect_hall_of_fame_at PROGRAM FILE LOG
expect_hall_of_fame_at() {
    local program=$1 hall_of_fame=$2 log=$3
    QT_QPA_PLATFORM=offscreen "$program" >"$log" 2>&1 &
    local pid=$!
    local tries=0
    while [ ! -e "$hall_of_fame" ] && kill -0 "$pid" 2>/dev/null && [ $tries -lt 600 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        wait "$pid" 2>/dev/null
    else
        wait "$pid"
        fail "$program ended on starting with code $?: $(cat "$log")"
    fi
    [ -f "$hall_of_fame" ] || fail "$program made no Hall-of-Fame file beside itself"
}
