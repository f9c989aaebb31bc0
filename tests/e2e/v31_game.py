# SPDX-License-Identifier: MIT
"""Tilvane V3.1 (10x10): a whole game into the Hall of Fame beside the
program, then No."""

import sys

# The helpers beside the script stay uncompiled in the source tree.
sys.dont_write_bytecode = True

import xsession
from tilvane import play_by_ear, play_hall_of_fame_game


def v31_whole_game(session):
    play_hall_of_fame_game(session, "v31")


def v31_by_ear(session):
    play_by_ear(session, "v31")


xsession.run([v31_whole_game, v31_by_ear])
