# SPDX-License-Identifier: MIT
"""Tilvane played by ear with Debian's own screen reader: Orca, speaking
through speech-dispatcher into a silent sound driver, on the private desktop.
The player decides every key from what Orca spoke, read from Orca's debug
log, and nothing else. Also: the desktop's screen-reader switch turns
keyboard play on and off while the game runs.

    v1_orca.py <folder of the built programs> [v1|v2|v3|v31]

The edition (v1 by default) is for measuring the larger boards by hand."""

import builtins
import collections
import os
import re
import runpy
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True

import xsession
from tilvane import EDITIONS, HMS, Game, Install
from xsession import check, log, wait_for

# What the desktop's screen-reader switch sets.
SWITCH = ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
          "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
          "string:ScreenReaderEnabled"]
KEYS = {"Ctrl+Home": ("Home", "Control_L"), "Ctrl+End": ("End", "Control_L")}
SPOKEN = re.compile(rb"SPEECH OUTPUT: '(.*?)' ?\{'established'", re.S)


def screen_reader_switch(on):
    subprocess.run(SWITCH + [f"variant:boolean:{'true' if on else 'false'}"], check=True,
                   stdout=subprocess.DEVNULL, timeout=20)


def key_moves(cell, side):
    """Where each key takes the focus from cell, as the game's keys do."""
    row, col = divmod(cell, side)
    last = side - 1
    return {"Left": row * side + max(col - 1, 0), "Right": row * side + min(col + 1, last),
            "Up": max(row - 1, 0) * side + col, "Down": min(row + 1, last) * side + col,
            "Home": row * side, "End": row * side + last, "Ctrl+Home": 0,
            "Ctrl+End": side * side - 1}


def route(start, side):
    """The fewest keys from start to every cell: {cell: [key, ...]}."""
    paths = {start: []}
    queue = collections.deque([start])
    while queue:
        cell = queue.popleft()
        for key, reached in key_moves(cell, side).items():
            if reached not in paths:
                paths[reached] = paths[cell] + [key]
                queue.append(reached)
    return paths


class Orca:
    """Orca and its speech server, started for the session; what it spoke."""

    def __init__(self, session):
        env = session.base_environment()
        config = os.path.join(session.folder, "speechd")
        shutil.copytree("/etc/speech-dispatcher", config)
        # Speech is made and thrown away: no sound device is needed.
        with open(os.path.join(config, "speechd.conf"), "a") as f:
            f.write('\nAudioOutputMethod "libao"\nDefaultModule espeak-ng\n')
        with open(os.path.join(env["HOME"], ".libao"), "w") as f:
            f.write("default_driver=null\n")
        self.speechd = session.spawn(["speech-dispatcher", "--run-single", "--timeout", "0",
                                      "--config-dir", config], env=env, log_name="speechd")
        socket = os.path.join(env["XDG_RUNTIME_DIR"], "speech-dispatcher", "speechd.sock")
        wait_for("speech-dispatcher's socket", lambda: os.path.exists(socket), timeout=20)
        self.debug = os.path.join(session.folder, "orca-debug.out")
        self.orca = session.spawn([sys.executable, os.path.abspath(__file__), "--orca",
                                   self.debug], env=env, log_name="orca")
        self.read = 0
        self.spoken = []
        self.heard("Screen reader on.", timeout=30)

    def utterances(self):
        """Everything spoken so far; one still being written waits."""
        if os.path.exists(self.debug):
            with open(self.debug, "rb") as f:
                f.seek(self.read)
                text = f.read()
            end = 0
            for said in SPOKEN.finditer(text):
                self.spoken.append(said[1].decode(errors="replace"))
                end = said.end()
            self.read += end
        return self.spoken

    def mark(self):
        return len(self.utterances())

    def since(self, mark):
        return self.utterances()[mark:]

    def heard(self, text, mark=0, timeout=10):
        """Waits until Orca has said something holding text since mark."""
        return wait_for(f"Orca to say {text!r}",
                        lambda: next((u for u in self.since(mark) if text in u), None),
                        timeout=timeout)

    def stop(self):
        for process in (self.orca, self.speechd):
            process.terminate()
            process.wait(20)


TILE_SPOKEN = re.compile(r"(.+) push button\.")
WHERE_SPOKEN = re.compile(r"row (\d+), column (\d+)\.")


class EarPlayer:
    """Plays from what Orca says of the focused tile: its name when the focus
    arrives, its row and column, and its new name when Space turns it."""

    def __init__(self, orca, x, side):
        self.orca = orca
        self.x = x
        self.side = side
        self.cell = None
        self.names = {}
        self.found = set()
        self.up = set()
        self.keys = 0
        self.turns = 0

    def tile_heard(self, mark, timeout=10):
        """The name, and the cell, Orca said of the tile that took the focus."""
        def probe():
            said = self.orca.since(mark)
            for i in range(len(said) - 1):
                name, where = TILE_SPOKEN.fullmatch(said[i]), WHERE_SPOKEN.fullmatch(said[i + 1])
                if name and where:
                    row, col = int(where[1]), int(where[2])
                    return name[1], (row - 1) * self.side + col - 1
            return None
        return wait_for("Orca to say a tile and where it lies", probe, timeout=timeout)

    def press(self, key):
        mark = self.orca.mark()
        self.keys += 1
        self.x.key(*KEYS.get(key, (key,)))
        return mark

    def expected_name(self, cell):
        if cell in self.found:
            return self.names[cell] + ", found"
        return self.names[cell] if cell in self.up else "face down"

    def go(self, target):
        for key in route(self.cell, self.side)[target]:
            expected = key_moves(self.cell, self.side)[key]
            name, self.cell = self.tile_heard(self.press(key))
            check(self.cell == expected, f"{key} took the focus to {self.cell}, not {expected}")
            check(name == self.expected_name(self.cell),
                  f"cell {self.cell} was said as {name!r}, not {self.expected_name(self.cell)!r}")

    def turn(self, target):
        """Moves to target, turns it, and returns the picture Orca named."""
        self.go(target)
        self.turns += 1
        name, cell = self.tile_heard(self.press("space"))
        check(cell == target, f"after Space Orca spoke of cell {cell}, not {target}")
        check(name != "face down", f"Space on cell {target} left it face down")
        picture = name.removesuffix(", found")
        self.names[target] = picture
        return picture, name.endswith(", found")

    def nearest(self, cells):
        paths = route(self.cell, self.side)
        return min(cells, key=lambda c: (len(paths[c]), c))

    def play_turn(self, last):
        """One try of two tiles. The last tile of all ends the game, and Orca
        gives its name up for the box that opens at once: it is the one tile
        whose name is not waited for."""
        unmatched = {c: n for c, n in self.names.items() if c not in self.found}
        by_picture = collections.defaultdict(list)
        for cell, picture in unmatched.items():
            by_picture[picture].append(cell)
        pair = next((cells for cells in by_picture.values() if len(cells) == 2), None)
        unseen = [c for c in range(self.side * self.side) if c not in self.names]
        if pair:
            face_down = [c for c in pair if c not in self.up]
            first = self.nearest(face_down)
        else:
            first = self.nearest(unseen)
        picture, _ = self.turn(first)
        self.up = {first}
        partner = next((c for c in by_picture.get(picture, []) if c != first), None)
        if last:
            second = next(c for c in range(self.side ** 2) if c not in self.found | {first})
            self.go(second)
            self.turns += 1
            self.last = self.press("space")
            return True
        second = partner if partner is not None else self.nearest(
            [c for c in unseen if c != first])
        picture2, found = self.turn(second)
        self.up = {first, second}
        if found:
            check(picture2 == picture, f"{picture2!r} found with {picture!r}")
            self.found |= {first, second}
            self.up = set()
        return False


def switch_turns_keyboard_play_on_and_off(session):
    """No option, the bus on: off until the desktop's switch says a screen
    reader runs, then on; off again when it is switched off."""
    screen_reader_switch(False)
    game = Game(session, Install(session, EDITIONS["v1"])).start()
    for on in (False, True, False, True):
        screen_reader_switch(on)
        wait_for(f"the focus frame to {'show' if on else 'go'}",
                 lambda: game.board.focus_frame_shown() == on)
        if not on:
            for key in ("Tab", "Right", "Down", "space", "Return", "Home", "End"):
                session.x.key(key)
            time.sleep(0.3)
            check(all(game.board.is_face_down(t) for t in game.board.tiles())
                  and not game.board.focus_frame_shown(), "a key did something, play being off")
    screen_reader_switch(False)
    game.process.terminate()
    game.process.wait(20)


def whole_game_by_ear(session):
    """A whole game from the keys alone, each decided from what Orca said."""
    key = sys.argv[2] if len(sys.argv) > 2 else "v1"
    edition = EDITIONS[key]
    orca = Orca(session)
    screen_reader_switch(True)
    try:
        mark = orca.mark()
        game = Game(session, Install(session, edition)).start()
        began = time.monotonic()
        player = EarPlayer(orca, session.x, edition.side)
        name, player.cell = player.tile_heard(mark, timeout=20)
        check((name, player.cell) == ("face down", 0),
              f"Orca first said {name!r} of cell {player.cell}, not the top-left tile")
        pairs = edition.side ** 2 // 2
        while not player.play_turn(len(player.found) == 2 * pairs - 2):
            pass
        mark = player.last
        seconds = time.monotonic() - began
        log(f"  {edition.program}: {player.turns} tiles turned with {player.keys} keys, "
            f"{player.keys / player.turns:.2f} keys a turn, {seconds:.0f} s")
        # The larger boards are measured, not held to it.
        check(key != "v1" or player.keys / player.turns <= 3.5,
              f"{player.keys / player.turns:.2f} keys a turn, more than 3.5")
        if edition.hall_of_fame:
            orca.heard("Enter Your Name", mark)
            session.x.type_text("Ann")
            mark = player.press("Return")
            orca.heard("No1 Ann Time", mark)
        else:
            orca.heard("Time Started", mark)
            summary = next(u for u in orca.since(mark) if "Time Started" in u)
            check(re.search(f"Time Started {HMS} End Time {HMS}\\s+Total Time Playing For "
                            f"{HMS} With \\d+ Trys", summary), f"the summary was said {summary!r}")
        mark = player.press("Return")
        orca.heard("Do Want To play Again?", mark)
        mark = player.press("y")
        name, cell = player.tile_heard(mark)
        check((name, cell) == ("face down", 0),
              f"after Yes Orca said {name!r} of cell {cell}, not the new deal's first tile")
        game.process.terminate()
        game.process.wait(20)
        with open(os.path.join(session.folder, game.log_name + ".log"), errors="replace") as f:
            output = f.read()
        # Controls that only hold data sent the screen reader nothing.
        for warning in ("TextCaretMoved", "Cannot create accessible child"):
            check(warning not in output, f"the game warned {warning!r}: {output[-500:]}")
    finally:
        screen_reader_switch(False)
        orca.stop()


def run_orca(debug):
    """Orca with its debug log written line by line, so that what it says
    can be read as it says it."""
    open_file = builtins.open

    def line_buffered(file, mode="r", *args, **kwargs):
        if file == debug:
            return open_file(file, mode, buffering=1)
        return open_file(file, mode, *args, **kwargs)
    builtins.open = line_buffered
    sys.argv = ["orca", "--debug-file", debug]
    runpy.run_path("/usr/bin/orca", run_name="__main__")


if __name__ == "__main__":
    if sys.argv[1] == "--orca":
        run_orca(sys.argv[2])
    else:
        xsession.run([switch_turns_keyboard_play_on_and_off, whole_game_by_ear])
