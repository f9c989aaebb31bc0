# SPDX-License-Identifier: MIT
"""Tilvane V3.1: Yes after a first game deals a second one in the same
window; its Hall-of-Fame box shows the first game's entry above the second's;
No then ends the program and the file holds both."""

import sys

# The helpers beside the script stay uncompiled in the source tree.
sys.dont_write_bytecode = True

import time

import xsession
from tilvane import EDITIONS, Game, Install, Player, box_text, expect_file, finish_with_entry
from xsession import check

FRED = "Time 00:00:00 Trys 999"


def v31_yes_then_no(session):
    install = Install(session, EDITIONS["v31"])
    game = Game(session, install).start()
    first = Player(game.board)
    first.play()
    ending, text, played = finish_with_entry(game, first, "Ann", "No1 ", game.started)
    ann = f"No1 Ann Time {played} Trys {first.tries}"
    lines = ["[Tilvane]", ann, f"No 2 Fred1 {FRED}", f"No 3 Fred2 {FRED}", f"No 4 Fred3 {FRED}",
             f"No5  Fred4 {FRED}"]
    check(text == box_text(lines), f"the first Hall-of-Fame box reads {text!r}")

    dealt = time.time()
    ending.play_again(True)
    game.board.wait_all_face_down("the deal after Yes")
    windows = game.x.windows_of(game.process.pid)
    check([w.id for w in windows] == [game.window.id],
          f"after Yes the program shows windows {[hex(w.id) for w in windows]}, "
          f"not only its game window {hex(game.window.id)}")
    # More tries than Ann, so that Bob takes the second place.
    second = Player(game.board, wasted_turns=first.tries)
    second.play()
    check(first.tries < second.tries < 999,
          f"the second game took {second.tries} tries, the first {first.tries}")
    ending, text, played = finish_with_entry(game, second, "Bob", "No 2", dealt)
    lines = ["[Tilvane]", ann, f"No 2Bob Time {played} Trys {second.tries}",
             f"No 32 Fred1 {FRED}", f"No 43 Fred2 {FRED}", f"No5 4 Fred3 {FRED}"]
    check(text == box_text(lines),
          f"the second Hall-of-Fame box reads {text!r}, expected {box_text(lines)!r}")
    ending.answer_no_and_watch()
    expect_file(install.hall_of_fame_path, lines)


xsession.run([v31_yes_then_no])
