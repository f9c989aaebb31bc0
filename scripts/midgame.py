#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Plays the game in the window of a running program up to a number of pairs
found, then turns one tile more: the middle of a game, for scripts/screenshots.
It plays as the end-to-end tests' player does, by looking at the screen.

    scripts/midgame.py DISPLAY PID EDITION PAIRS     (EDITION: v1, v2, v3, v31)
"""

import sys
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))

from tilvane import EDITIONS, Board, Player  # noqa: E402
from xsession import XConnection, wait_for  # noqa: E402


def main():
    display, pid, edition, pairs = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4])
    x = XConnection(display)
    window = wait_for("the game window", lambda: next(iter(x.windows_of(pid)), None))
    board = Board(x, window, EDITIONS[edition])
    board.wait_all_face_down("first deal")
    player = Player(board)
    player.play(pairs=pairs)
    player.turn_one_tile()


if __name__ == "__main__":
    main()
