# SPDX-License-Identifier: MIT
"""Tilvane V3 (10x10): a whole game into the machine-wide Hall of Fame,
under SystemDrive, then No."""

import sys

# The helpers beside the script stay uncompiled in the source tree.
sys.dont_write_bytecode = True

import xsession
from tilvane import play_hall_of_fame_game


def v3_whole_game(session):
    play_hall_of_fame_game(session, "v3")


xsession.run([v3_whole_game])
