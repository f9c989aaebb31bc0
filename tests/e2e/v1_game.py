# SPDX-License-Identifier: MIT
"""Tilvane (4x4): a whole game, its summary, No; no file anywhere."""

import sys

# The helpers beside the script stay uncompiled in the source tree.
sys.dont_write_bytecode = True

import xsession
from tilvane import play_small_board


def v1_whole_game(session):
    play_small_board(session, "v1")


xsession.run([v1_whole_game])
