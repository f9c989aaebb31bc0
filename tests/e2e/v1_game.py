# SPDX-License-Identifier: MIT
"""Tilvane (4x4): a whole game, its summary, No; no file anywhere."""

import sys

# The helpers beside the script stay uncompiled in the source tree.
sys.dont_write_bytecode = True

import xsession
from tilvane import play_by_ear, play_small_board, swapped_pool


def v1_whole_game(session):
    play_small_board(session, "v1")


def v1_by_ear(session):
    play_by_ear(session, "v1", swapped_pool(session))


xsession.run([v1_whole_game, v1_by_ear])
