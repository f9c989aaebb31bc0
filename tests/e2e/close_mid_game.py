# SPDX-License-Identifier: MIT
"""A close request from the window manager in the middle of a game: the
Hall of Fame is saved, the window drifts away shrinking, the status is 0."""

import sys

# The helpers beside the script stay uncompiled in the source tree.
sys.dont_write_bytecode = True

import xsession
from tilvane import (EDITIONS, Game, Install, Player, check_outside_files, expect_file,
                     file_bytes, outside_files)
from xsession import check

# A Hall of Fame saved by hand with bare line feeds: saving it again writes
# the same lines ending CR LF.
SEEDED = ["[Tilvane]", "No1 Zoe Time 00:01:05 Trys 52", "No 2 Fred1 Time 00:00:00 Trys 999",
          "No 3 Fred2 Time 00:00:00 Trys 999", "No 4 Fred3 Time 00:00:00 Trys 999",
          "No5  Fred4 Time 00:00:00 Trys 999"]


def close_with_hall_of_fame(session, key):
    install = Install(session, EDITIONS[key])
    path = install.hall_of_fame_path
    seeded = "".join(line + "\n" for line in SEEDED).encode()
    with open(path, "wb") as f:
        f.write(seeded)
    before = install.files()
    outside = outside_files()
    game = Game(session, install).start()
    player = Player(game.board)
    player.play(pairs=20)
    # Half a turn more: one tile up.
    player.turn_one_tile()
    check(file_bytes(path) == seeded, f"{path} changed before the close request")
    game.request_close()
    expect_file(path, SEEDED)
    check(install.files() == before, f"{key} made {sorted(install.files() - before)}")
    check_outside_files(key, outside)


def v31_close_mid_game(session):
    close_with_hall_of_fame(session, "v31")


def v3_close_mid_game(session):
    close_with_hall_of_fame(session, "v3")


def v2_close_mid_game(session):
    install = Install(session, EDITIONS["v2"])
    before = install.files()
    outside = outside_files()
    game = Game(session, install).start()
    player = Player(game.board)
    player.play(pairs=5)
    game.request_close()
    check(install.files() == before, f"v2 made {sorted(install.files() - before)}")
    check_outside_files("v2", outside)


xsession.run([v31_close_mid_game, v3_close_mid_game, v2_close_mid_game])
