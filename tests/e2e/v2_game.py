# SPDX-License-Identifier: MIT
"""Tilvane V2 (6x6): a whole game, its summary, No; no file anywhere."""

import sys

# The helpers beside the script stay uncompiled in the source tree.
sys.dont_write_bytecode = True

import xsession
from tilvane import play_small_board


def v2_whole_game(session):
    play_small_board(session, "v2")


xsession.run([v2_whole_game])
