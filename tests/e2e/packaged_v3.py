# SPDX-License-Identifier: MIT
"""Tilvane V3 from an unpacked Debian package, started by its command: it
reads its pictures through the package's links, and closed in the middle of
a game it writes the machine-wide Hall of Fame under SystemDrive, six lines.
    packaged_v3.py <folder of the program> <its command>"""

import sys

# The helpers beside the script stay uncompiled in the source tree.
sys.dont_write_bytecode = True

import xsession
from tilvane import EDITIONS, EarPlayer, Game, Install, check_pictures_named, expect_file

DEFAULT = ["[Tilvane]"] + [f"No{n} Fred{n} Time 00:00:00 Trys 999" for n in range(1, 6)]


def packaged_v3_mid_game_close(session):
    install = Install(session, EDITIONS["v3"], command=sys.argv[2])
    before = install.files()
    game = Game(session, install).start()
    player = EarPlayer(game)
    player.play(pairs=5)
    check_pictures_named(player, game.board)
    game.request_close()
    expect_file(install.hall_of_fame_path, DEFAULT)
    made = install.files() - before
    xsession.check(made == {"drive/var/tmp/Tilvane.ini"}, f"v3 made {sorted(made)}")


xsession.run([packaged_v3_mid_game_close])
