# SPDX-License-Identifier: MIT
"""Plays Tilvane as a person would: by looking at the screen, clicking tiles,
reading the dialogs and answering them with the keyboard; or by ear, through
accessibility alone."""

import os
import re
import shutil
import struct
import sys
import tempfile
import time
from dataclasses import dataclass

from xsession import Failure, check, log, wait_for

TILE = 40
PITCH = 48
MARGIN = 8


@dataclass(frozen=True)
class Edition:
    program: str
    caption: str
    side: int
    client: tuple
    # Where the Hall of Fame lives: None, "machine" or "program".
    hall_of_fame: str = None


EDITIONS = {
    "v1": Edition("tilvane-v1", "Tilvane", 4, (199, 200)),
    "v2": Edition("tilvane-v2", "Tilvane V2", 6, (295, 297)),
    "v3": Edition("tilvane-v3", "Tilvane V3", 10, (486, 488), "machine"),
    "v31": Edition("tilvane-v31", "Tilvane V3", 10, (486, 488), "program"),
}

MACHINE_WIDE_FILE = "/var/tmp/Tilvane.ini"
ICON_SIDES = [16, 22, 24, 32, 48, 64, 128, 256]


def program_folder():
    check(len(sys.argv) > 1, "usage: <script> <folder of the built programs>")
    return sys.argv[1]


class Install:
    """A program copied into its own folder beside a link to the pictures,
    with its own working folder, home and SystemDrive, so that every file it
    makes is seen. Given a command, the program installed behind it runs
    where it lies instead."""

    def __init__(self, session, edition, icons=None, command=None):
        self.edition = edition
        self.root = tempfile.mkdtemp(prefix=edition.program + "-", dir=session.folder)
        self.program_dir = os.path.join(self.root, "program")
        self.cwd = os.path.join(self.root, "cwd")
        self.home = os.path.join(self.root, "home")
        self.system_drive = os.path.join(self.root, "drive")
        for folder in (self.cwd, self.home):
            os.makedirs(folder)
        os.makedirs(os.path.join(self.system_drive, "var", "tmp"))
        if command:
            self.program = command
            self.program_dir = os.path.dirname(os.path.realpath(command))
            return
        os.makedirs(self.program_dir)
        built = program_folder()
        self.program = os.path.join(self.program_dir, edition.program)
        shutil.copy2(os.path.join(built, edition.program), self.program)
        os.symlink(os.path.abspath(icons or os.path.join(built, "Icons")),
                   os.path.join(self.program_dir, "Icons"))

    @property
    def hall_of_fame_path(self):
        if self.edition.hall_of_fame == "machine":
            return os.path.join(self.system_drive, "var", "tmp", "Tilvane.ini")
        if self.edition.hall_of_fame == "program":
            return os.path.join(self.program_dir, "Tilvane.ini")
        return None

    def files(self):
        """Every file and folder under the install, the pictures' link not followed."""
        found = set()
        for top in (self.program_dir, self.cwd, self.home, self.system_drive):
            for folder, dirs, names in os.walk(top):
                for entry in dirs + names:
                    found.add(os.path.relpath(os.path.join(folder, entry), self.root))
        return found


def outside_files():
    """What lies at the places outside an install where a Hall of Fame could
    land: the machine-wide file and the one beside the built programs."""
    states = {}
    for path in (MACHINE_WIDE_FILE, os.path.join(program_folder(), "Tilvane.ini")):
        try:
            status = os.stat(path)
            states[path] = (status.st_ino, status.st_size, status.st_mtime_ns)
        except FileNotFoundError:
            states[path] = None
    return states


def check_outside_files(key, before):
    after = outside_files()
    touched = [path for path in before if after[path] != before[path]]
    check(not touched, f"{key} touched {', '.join(touched)}")


# --- the board -----------------------------------------------------------


class Board:
    """The tiles of a game window as the screen shows them."""

    def __init__(self, x, window, edition):
        self.x = x
        self.window = window
        self.side = edition.side
        self.width, self.height = edition.client
        self.white = b"\xff\xff\xff\x00" * (TILE * TILE)

    def cells(self):
        return range(self.side * self.side)

    def name(self, cell):
        row, col = divmod(cell, self.side)
        return f"tile (row {row}, column {col})"

    def tiles(self):
        """Each tile's 40 x 40 pixels, or None while the window cannot be read."""
        image = self.x.capture(self.window, self.width, self.height)
        if image is None:
            return None
        stride = self.width * 4
        tiles = []
        for cell in self.cells():
            row, col = divmod(cell, self.side)
            left = (MARGIN + PITCH * col) * 4
            top = MARGIN + PITCH * row
            tile = bytearray(b"".join(
                image[(top + y) * stride + left:(top + y) * stride + left + TILE * 4]
                for y in range(TILE)))
            # What the server leaves in the unused fourth byte is not the picture.
            tile[3::4] = bytes(TILE * TILE)
            tiles.append(bytes(tile))
        return tiles

    def is_face_down(self, tile):
        return tile == self.white

    def focus_frame_shown(self):
        """Whether the keyboard's focus frame rings the top-left tile: black
        in the gap to its left, where the grey background shows otherwise."""
        image = self.x.capture(self.window, MARGIN, MARGIN + TILE)
        check(image is not None, "the game window could not be read")
        at = ((MARGIN + TILE // 2) * MARGIN + MARGIN // 2) * 4
        pixel = image[at:at + 3]
        check(pixel in (b"\0\0\0", b"\xc0\xc0\xc0"), f"the gap beside the tile is {pixel.hex()}")
        return pixel == b"\0\0\0"

    def click(self, cell):
        origin = self.x.origin(self.window)
        check(origin is not None, "the game window is gone")
        row, col = divmod(cell, self.side)
        self.x.click(origin[0] + MARGIN + PITCH * col + TILE // 2,
                     origin[1] + MARGIN + PITCH * row + TILE // 2)

    def wait_all_face_down(self, what):
        def all_down():
            tiles = self.tiles()
            return tiles is not None and all(self.is_face_down(t) for t in tiles)
        wait_for(f"every tile face down ({what})", all_down)


class Player:
    """Remembers every picture the board has shown and turns up a known pair
    whenever it has one. It checks the whole board after each click, and
    counts the clicks, so that the tries the game reports are known."""

    def __init__(self, board, wasted_turns=0, face_up_clicks=0):
        self.board = board
        # Clicks on face-up tiles, which the game ignores and does not count.
        self.face_up_clicks = face_up_clicks
        self.clicks = 0
        self.face = {}
        self.matched = set()
        self.turn = []
        self.pending = ()
        self.wasted_turns = wasted_turns
        self.last_click = None

    @property
    def tries(self):
        return self.clicks // 2

    @property
    def pairs(self):
        return len(self.matched) // 2

    @property
    def pair_count(self):
        return self.board.side * self.board.side // 2

    def play(self, pairs=None):
        """Plays until `pairs` pairs are up (the whole game by default)."""
        goal = self.pair_count if pairs is None else pairs
        began = time.monotonic()
        while self.pairs < goal:
            self._play_turn()
        log(f"  played {self.pairs} pairs in {self.clicks} clicks ({self.tries} tries) "
            f"in {time.monotonic() - began:.1f} s")

    def turn_one_tile(self):
        """The first half of a turn: one face-down tile up."""
        check(not self.turn, "a turn is already half played")
        self._click(next(c for c in self.board.cells()
                         if c not in self.matched and c not in self.pending))

    def _play_turn(self):
        face_up = [*self.pending, *sorted(self.matched)]
        if self.face_up_clicks and face_up:
            self.face_up_clicks -= 1
            # The next click's check of the whole board shows it did nothing.
            self.board.click(face_up[0])
        known = {}
        for cell, picture in self.face.items():
            if cell not in self.matched:
                known.setdefault(picture, []).append(cell)
        pair = next((cells for cells in known.values() if len(cells) >= 2), None)
        if pair:
            first, second = pair[:2]
            if first in self.pending:
                first, second = second, first
            self._click(first)
            self._click(second)
            return
        singles = [cells[0] for cells in known.values()]
        if self.wasted_turns and len(singles) >= 3:
            self.wasted_turns -= 1
            first = next(c for c in singles if c not in self.pending)
            self._click(first)
            self._click(next(c for c in singles if c != first))
            return
        unseen = [c for c in self.board.cells() if c not in self.face]
        check(unseen, "no tile left to turn although pairs are missing")
        picture = self._click(unseen[0])
        partner = known.get(picture)
        self._click(partner[0] if partner else unseen[1])

    def _click(self, cell):
        if not self.turn:
            self.pending = ()
        self.turn.append(cell)
        up = self.matched | set(self.turn)
        unmatched = set(self.board.cells()) - self.matched
        self.clicks += 1
        self.last_click = time.time()
        self.board.click(cell)
        if len(self.turn) == 2 and set(self.turn) == unmatched:
            # The game ends in this click: its dialogs may cover the board.
            self.matched |= unmatched
            self.turn = []
            return None
        picture = self._settle(cell, up)
        if len(self.turn) == 2:
            first, second = self.turn
            if self.face[first] == self.face[second]:
                self.matched |= {first, second}
            else:
                self.pending = (first, second)
            self.turn = []
        return picture

    def _settle(self, cell, up):
        """Waits for the board to show the click's outcome and checks all of it."""
        board = self.board
        problem = "the window could not be read"
        deadline = time.monotonic() + 5
        previous = None
        while time.monotonic() < deadline:
            tiles = board.tiles()
            if tiles is None:
                problem = "the window could not be read"
            else:
                problem = self._misfit(tiles, cell, up)
            if not problem:
                # A new picture is taken once the screen shows it twice alike.
                if cell in self.face or tiles[cell] == previous:
                    break
                previous = tiles[cell]
                continue
            time.sleep(0.005)
        else:
            raise Failure(f"after click {self.clicks} on {board.name(cell)}: {problem}")
        picture = tiles[cell]
        if cell in self.face:
            check(picture == self.face[cell],
                  f"{board.name(cell)} showed another picture than the last time")
        self.face[cell] = picture
        return picture

    def _misfit(self, tiles, cell, up):
        board = self.board
        if board.is_face_down(tiles[cell]):
            return f"{board.name(cell)} is still face down"
        for other in board.cells():
            if other == cell:
                continue
            if other in up:
                if tiles[other] != self.face[other]:
                    kind = "pair" if other in self.matched else "first tile of this turn"
                    return f"{board.name(other)} ({kind}) no longer shows its picture"
            elif not board.is_face_down(tiles[other]):
                return f"{board.name(other)} should be face down"
        return None


# --- the program ---------------------------------------------------------


class Game:
    """One run of a program: its process, its window, its dialogs."""

    def __init__(self, session, install):
        self.session = session
        self.install = install
        self.edition = install.edition
        self.x = session.x
        self.process = None
        self.window = None
        self.board = None
        self.started = None
        self.log_name = f"{os.path.basename(install.root)}-{id(self)}"

    def start(self, *arguments):
        env = self.session.base_environment()
        env.update(
            QT_QPA_PLATFORM="xcb",
            QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
            HOME=self.install.home,
            SystemDrive=self.install.system_drive,
        )
        self.started = time.time()
        self.process = self.session.spawn([self.install.program, *arguments], env=env,
                                          cwd=self.install.cwd,
                                          log_name=self.log_name)
        windows = wait_for(f"the {self.edition.program} window",
                           lambda: self._alive() and self.x.windows_of(self.process.pid))
        check(len(windows) == 1, f"{len(windows)} windows appeared instead of one")
        self.window = windows[0]
        caption = self.x.window_name(self.window)
        check(caption == self.edition.caption,
              f"the window's caption is {caption!r}, not {self.edition.caption!r}")
        # _NET_WM_ICON: width, height and the pixels, size after size.
        icon = list(self.x.property(self.window, "_NET_WM_ICON") or [])
        sides = []
        while len(icon) >= 2 and icon[0] == icon[1]:
            sides.append(icon[0])
            icon = icon[2 + icon[0] * icon[1]:]
        check(sides == ICON_SIDES and not icon,
              f"the window's icon comes in the sides {sides}, not {ICON_SIDES}")
        origin = wait_for("the window's size", lambda: self.x.origin(self.window))
        width, height = self.edition.client
        check(origin[2:] == self.edition.client,
              f"the window's client area is {origin[2]}x{origin[3]}, not {width}x{height}")
        hints = self.window.get_wm_normal_hints()
        fixed = (hints.min_width, hints.min_height, hints.max_width, hints.max_height)
        check(fixed == (width, height, width, height),
              f"the window's size is not fixed: it may go from {fixed[0]}x{fixed[1]} "
              f"to {fixed[2]}x{fixed[3]}")
        self.board = Board(self.x, self.window, self.edition)
        self.board.wait_all_face_down("first deal")
        self.accessible = Accessible(self)
        return self

    def _alive(self):
        status = self.process.poll()
        if status is not None:
            raise Failure(f"{self.edition.program} ended with status {status}{self.log_tail()}")
        return True

    def log_tail(self):
        try:
            with open(os.path.join(self.session.folder, self.log_name + ".log"), "rb") as f:
                text = f.read().decode(errors="replace").strip()
        except OSError:
            return ""
        return f"; its output:\n{text[-2000:]}" if text else ""

    def dialog_window(self, title):
        return next((w for w in self.x.windows_of(self.process.pid)
                     if w.id != self.window.id and self.x.window_name(w) == title), None)

    def wait_active(self, title):
        """Waits for the window system to give the keyboard to the dialog."""
        def active():
            self._alive()
            dialog = self.dialog_window(title)
            return dialog is not None and dialog.id == self.x.active_window()
        wait_for(f"the {title!r} dialog to have the keyboard", active)

    def request_close(self):
        """Alt+F4, which openbox turns into a close request to the focused window."""
        self.close_and_watch(self._press_alt_f4)

    def _press_alt_f4(self):
        def focused():
            if self.x.active_window() == self.window.id:
                return True
            origin = self.x.origin(self.window)
            # The title bar, above the client area.
            self.x.click(origin[0] + origin[2] // 2, origin[1] - 8)
            return False
        wait_for("the game window to have the keyboard", focused, interval=0.2)
        self.x.key("F4", "Alt_L")

    def close_and_watch(self, close, timeout=60):
        """Does close(), then follows the window until the process ends:
        checks the closing animation and the exit status. The positions are
        those of the window manager's frame, the sizes those of the window
        itself, both from configure events, so that every step is seen
        however busy the machine is."""
        frame = self.x.frame_of(self.window)
        watched = [frame, self.window]
        self.x.watch_configure(watched, True)
        try:
            where = frame.get_geometry()
            size = self.window.get_geometry()
            events = [(frame.id, where.x, where.y, where.width, where.height),
                      (self.window.id, 0, 0, size.width, size.height)]
            close()
            deadline = time.monotonic() + timeout
            while self.process.poll() is None:
                check(time.monotonic() < deadline,
                      f"{self.edition.program} still running {timeout} s after being told to close")
                events += self.x.configure_events()
                time.sleep(0.005)
            self.x.display.sync()
            events += self.x.configure_events()
        finally:
            self.x.watch_configure(watched, False)
        status = self.process.returncode
        check(status == 0, f"{self.edition.program} ended with status {status}{self.log_tail()}")
        positions = _changes([e[1:3] for e in events if e[0] == frame.id])
        sizes = _changes([e[3:5] for e in events if e[0] == self.window.id])
        first, last = positions[0], positions[-1]
        check(len(positions) >= 100,
              f"the window took only {len(positions)} positions while closing")
        back = _first_decrease(positions)
        check(back is None, f"the window moved left or up while closing: {back}")
        check(last[0] > first[0] and last[1] > first[1],
              f"the window did not drift down-right: {first} to {last}")
        grew = _first_decrease([(-w, -h) for w, h in sizes])
        check(grew is None, f"the window grew while closing: {grew}")
        check(len(sizes) > 1 and sizes[-1][0] < sizes[0][0] and sizes[-1][1] < sizes[0][1],
              f"the window did not shrink: {sizes[0]} to {sizes[-1]}")
        log(f"  closing: {len(positions)} positions from {first} to {last}, "
            f"{len(sizes)} sizes from {sizes[0]} to {sizes[-1]}, status 0")
        return positions


def _changes(values):
    kept = []
    for value in values:
        if not kept or kept[-1] != value:
            kept.append(value)
    return kept


def _first_decrease(pairs):
    """The first step where either coordinate goes down, with what is around it."""
    for i in range(1, len(pairs)):
        if pairs[i][0] < pairs[i - 1][0] or pairs[i][1] < pairs[i - 1][1]:
            return pairs[max(0, i - 3):i + 3]
    return None


# --- the dialogs ---------------------------------------------------------


class Accessible:
    """The program's dialogs as AT-SPI shows them."""

    def __init__(self, game):
        import pyatspi

        self.pyatspi = pyatspi
        self.game = game
        desktop = pyatspi.Registry.getDesktop(0)
        pid = game.process.pid
        self.app = wait_for(
            f"{game.edition.program} on the accessibility bus",
            lambda: next((a for a in desktop
                          if a is not None and a.name == game.edition.program
                          and a.get_process_id() == pid), None))

    def _children(self):
        try:
            return [c for c in self.app if c is not None]
        except Exception:
            return []

    def _showing(self):
        """(title, role, node) of each dialog the program shows."""
        found = []
        for child in self._children():
            try:
                role = child.getRoleName()
                if role in ("alert", "dialog") and child.getState().contains(
                        self.pyatspi.STATE_SHOWING):
                    found.append((child.name, role, child))
            except Exception:
                continue
        return found

    def _find(self, title, roles):
        return next((node for name, role, node in self._showing()
                     if name == title and role in roles), None)

    def dialog(self, title, roles=("alert", "dialog")):
        """Waits for the dialog; fails at once if another one comes instead."""
        def probe():
            self.game._alive()
            for name, role, node in self._showing():
                if name == title and role in roles:
                    return node
                raise Failure(f"a {role} {name!r} saying {self.labels(node)!r} came "
                              f"instead of {title!r}")
            return None
        return wait_for(f"a dialog titled {title!r}", probe)

    def gone(self, title, roles=("alert", "dialog")):
        wait_for(f"the {title!r} dialog to close",
                 lambda: self.game.process.poll() is not None or not self._find(title, roles))

    @staticmethod
    def parts(dialog, role):
        found = []

        def walk(node):
            for child in node:
                if child is None:
                    continue
                if child.getRoleName() == role:
                    found.append(child)
                walk(child)

        walk(dialog)
        return found

    def labels(self, dialog):
        return [label.name for label in self.parts(dialog, "label")]

    def buttons(self, dialog):
        return [button.name for button in self.parts(dialog, "push button")]


class Ending:
    """Answers the end of a game: the name, the boxes, the question."""

    def __init__(self, game):
        self.game = game
        self.a11y = game.accessible
        self.x = game.x

    def enter_name(self, name):
        dialog = self.a11y.dialog("Hall Of Fame", roles=("dialog",))
        labels = self.a11y.labels(dialog)
        check(labels == ["Enter Your Name"], f"the name dialog says {labels!r}")
        self.game.wait_active("Hall Of Fame")
        self.x.type_text(name)
        entry = self.a11y.parts(dialog, "text")
        check(len(entry) == 1, f"the name dialog has {len(entry)} text fields")

        def typed():
            text = entry[0].queryText()
            return text.getText(0, -1) == name
        wait_for(f"the name field to read {name!r}", typed)
        self.x.key("Return")
        self.a11y.gone("Hall Of Fame", roles=("dialog",))

    def message(self):
        """The text of the 'Tilvane' box, which is then answered with OK."""
        box = self.a11y.dialog("Tilvane", roles=("alert",))
        labels = self.a11y.labels(box)
        buttons = self.a11y.buttons(box)
        check(len(labels) == 1, f"the 'Tilvane' box has labels {labels!r}")
        check(buttons == ["OK"], f"the 'Tilvane' box has buttons {buttons!r}")
        self.game.wait_active("Tilvane")
        self.x.key("Return")
        self.a11y.gone("Tilvane", roles=("alert",))
        return labels[0]

    def play_again(self, again):
        box = self.a11y.dialog("Question", roles=("alert",))
        labels = self.a11y.labels(box)
        buttons = self.a11y.buttons(box)
        check(labels == ["Do Want To play Again?"], f"the question box says {labels!r}")
        check(buttons == ["Yes", "No"], f"the question box has buttons {buttons!r}")
        self.game.wait_active("Question")
        # Functions given (flag 1), closing not among them (0x20). Openbox shows
        # its close button whatever a window asks; most window managers follow.
        hints = list(self.x.property(self.game.dialog_window("Question"), "_MOTIF_WM_HINTS")
                     or [0, 0])
        check(hints[0] & 1 and not hints[1] & 0x20,
              f"the question box asks for a close button (Motif hints {hints})")
        self.x.key("y" if again else "n")
        if again:
            self.a11y.gone("Question", roles=("alert",))

    def answer_no_and_watch(self):
        self.game.close_and_watch(lambda: self.play_again(False))


# --- the Hall of Fame ----------------------------------------------------

HMS = r"\d\d:[0-5]\d:[0-5]\d"


def seconds_of(hms):
    hours, minutes, seconds = (int(part) for part in hms.split(":"))
    return hours * 3600 + minutes * 60 + seconds


def time_of_entry(line, name, tries, label, longest):
    """The play time of a Hall-of-Fame line, checked against the rest of it."""
    match = re.fullmatch(re.escape(label + name) + f" Time ({HMS}) Trys (\\d+)", line)
    check(match, f"{line!r} is not the entry of {name} with {label!r}")
    played, shown_tries = match.groups()
    check(int(shown_tries) == tries, f"{line!r} does not give {tries} tries")
    check(seconds_of(played) <= longest, f"{line!r}: {played} is longer than the game ran")
    return played


def file_bytes(path):
    check(os.path.exists(path), f"no Hall of Fame at {path}")
    with open(path, "rb") as f:
        return f.read()


def expect_file(path, lines):
    content = file_bytes(path)
    expected = "".join(line + "\r\n" for line in lines).encode()
    check(content == expected,
          f"{path} holds {content!r}, expected {expected!r}")


def box_text(lines):
    """The Hall-of-Fame box shows places 1 to 5, a blank line between each."""
    return "\n\n".join(lines[1:6])


# --- whole games ---------------------------------------------------------


def second_of_day(moment):
    local = time.localtime(moment)
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec


def check_clock(what, shown, earliest, latest):
    """A time of day on screen lies between two moments of this run."""
    low = second_of_day(earliest)
    span = int(latest) - int(earliest)
    check(0 <= (seconds_of(shown) - low) % 86400 <= span,
          f"{what} {shown} is not between {time.strftime('%H:%M:%S', time.localtime(earliest))}"
          f" and {time.strftime('%H:%M:%S', time.localtime(latest))}")


def play_small_board(session, key):
    """v1 and v2: a whole game, the summary, No; no file anywhere."""
    install = Install(session, EDITIONS[key])
    before = install.files()
    outside = outside_files()
    game = Game(session, install).start()
    shown = time.time()
    player = Player(game.board, face_up_clicks=3)
    player.play()
    ending = Ending(game)
    text = ending.message()
    read = time.time()
    pattern = (f"Time Started ({HMS}) End Time ({HMS})\n"
               f"Total Time Playing For ({HMS}) With (\\d+) Trys")
    match = re.fullmatch(pattern, text)
    check(match, f"the summary reads {text!r}")
    started, ended, total, tries = match.groups()
    check(int(tries) == player.tries,
          f"the summary gives {tries} tries for {player.clicks} clicks")
    check_clock("the start time", started, game.started, shown)
    check_clock("the end time", ended, player.last_click, read)
    difference = (seconds_of(ended) - seconds_of(started)) % 86400 - seconds_of(total)
    check(difference in (0, 1), f"{total} played does not fit {started} to {ended}")
    expected = (f"Time Started {started} End Time {ended}\n"
                f"Total Time Playing For {total} With {player.tries} Trys")
    check(text == expected, f"the summary reads {text!r}, expected {expected!r}")
    ending.answer_no_and_watch()
    check(install.files() == before,
          f"{key} left files behind: {sorted(install.files() - before)}")
    check_outside_files(key, outside)
    return player


def finish_with_entry(game, player, name, place_label, dealt):
    """Enters the name, reads the Hall-of-Fame box and finds the new entry in
    it; dealt is when the game began, at the latest."""
    check(player.tries < 999, f"{player.tries} tries would not enter the Hall of Fame")
    ending = Ending(game)
    ending.enter_name(name)
    text = ending.message()
    longest = int(time.time() - dealt) + 1
    entries = text.split("\n\n")
    check(len(entries) == 5, f"the Hall-of-Fame box shows {len(entries)} places: {text!r}")
    line = next((e for e in entries if e.startswith(place_label + name + " ")), None)
    check(line is not None, f"{name} is not at {place_label!r} in {text!r}")
    played = time_of_entry(line, name, player.tries, place_label, longest)
    return ending, text, played


def play_hall_of_fame_game(session, key):
    """v3 and v3.1: a whole game, the name, the Hall of Fame, No, the file."""
    install = Install(session, EDITIONS[key])
    before = install.files()
    outside = outside_files()
    game = Game(session, install).start()
    player = Player(game.board, face_up_clicks=3)
    player.play()
    ending, text, played = finish_with_entry(game, player, "Ann", "No1 ", game.started)
    lines = ["[Tilvane]", f"No1 Ann Time {played} Trys {player.tries}",
             "No 2 Fred1 Time 00:00:00 Trys 999", "No 3 Fred2 Time 00:00:00 Trys 999",
             "No 4 Fred3 Time 00:00:00 Trys 999", "No5  Fred4 Time 00:00:00 Trys 999"]
    check(text == box_text(lines), f"the Hall-of-Fame box reads {text!r}, "
          f"expected {box_text(lines)!r}")
    ending.answer_no_and_watch()
    expect_file(install.hall_of_fame_path, lines)
    made = install.files() - before
    expected = {os.path.relpath(install.hall_of_fame_path, install.root)}
    check(made == expected, f"{key} made {sorted(made)}, expected {sorted(expected)}")
    check_outside_files(key, outside)
    return player


# --- by ear --------------------------------------------------------------

FACE_DOWN = "face down"
FOUND = ", found"


class EarBoard:
    """The tiles as a screen reader finds them: buttons in row order, pressed
    through their action. What they show is known only from the names they
    announce, heard as name-change events."""

    def __init__(self, game):
        import pyatspi
        from gi.repository import GLib

        self.context = GLib.MainContext.default()
        self.game = game
        self.side = game.edition.side
        frame = wait_for("the game window on the accessibility bus", lambda: next(
            (w for w in game.accessible._children() if w.getRoleName() == "frame"), None))
        check(frame.name == game.edition.caption, f"the window is named {frame.name!r}")
        children = list(frame)
        roles = [child.getRoleName() for child in children]
        check(roles == ["push button"] * self.side ** 2 + ["label"],
              f"the window holds {roles}, not the tiles and the footer")
        self.tiles = children[:-1]
        left, top = game.x.origin(game.window)[:2]
        for cell, tile in enumerate(self.tiles):
            row, col = divmod(cell, self.side)
            box = tile.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            square = (left + MARGIN + PITCH * col, top + MARGIN + PITCH * row, TILE, TILE)
            shown = (box.x, box.y, box.width, box.height, tile.name, tile.description)
            expected = (*square, FACE_DOWN, f"row {row + 1}, column {col + 1}")
            check(shown == expected, f"tile {cell} is {shown}, not {expected}")
        self.paths = {tile.path: cell for cell, tile in enumerate(self.tiles)}
        self.names = {}
        pyatspi.Registry.registerEventListener(self._hear, "object:property-change:accessible-name")

    def _hear(self, event):
        cell = self.paths.get(event.source.path)
        if cell is not None:
            self.names[cell] = event.source.name

    def cells(self):
        return range(len(self.tiles))

    def click(self, cell):
        """Presses the tile, which must not wait for the click it makes."""
        began = time.monotonic()
        self.tiles[cell].queryAction().doAction(0)
        took = time.monotonic() - began
        check(took < 1.0, f"pressing tile {cell} took {took:.1f} s")

    def listen(self, what, probe):
        def heard():
            self.game._alive()
            while self.context.iteration(False):
                pass
            return probe()
        return wait_for(what, heard, timeout=5)


class EarPlayer(Player):
    """Plays as Player does, but from the names it hears."""

    def __init__(self, game):
        super().__init__(EarBoard(game), face_up_clicks=1)

    def _settle(self, cell, up):
        names = self.board.names

        def heard(other):
            name = names.get(other, FACE_DOWN)
            if other not in up:
                return name == FACE_DOWN
            picture = name.removesuffix(FOUND)
            # The tiles of this turn say whether they are found by the next one.
            found = other in self.turn or name.endswith(FOUND) == (other in self.matched)
            return name != FACE_DOWN and found and picture == self.face.get(other, picture)
        self.board.listen(f"every name to fit after pressing tile {cell}",
                          lambda: all(heard(other) for other in self.board.cells()))
        self.face[cell] = names[cell].removesuffix(FOUND)
        return self.face[cell]


def blocks(pixels, side, opaque=False):
    """A picture in 8 x 8 blocks of colour on white, from its rows of blue,
    green, red and alpha."""
    look = [0] * 192
    for i in range(side * side):
        *colour, alpha = pixels[4 * i:4 * i + 4]
        alpha = 255 if opaque else alpha
        block = (i // side * 8 // side * 8 + i % side * 8 // side) * 3
        for k, c in enumerate(colour):
            look[block + k] += (c * alpha + 255 * (255 - alpha)) * 64 // (side * side)
    return look


def check_pictures_named(player, screen):
    """Each tile of the pairs found shows the picture of the pool that its
    name names in tools/poolpictures.txt: the nearest in 8 x 8 blocks to the
    48-pixel bitmap of each file."""
    listed = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                          "poolpictures.txt")
    with open(listed, encoding="utf-8") as f:
        names = {int(w[0]): " ".join(w[2:]) for w in map(str.split, f) if w and w[0].isdigit()}
    looks = {}
    for n in names:
        with open(os.path.join(program_folder(), "Icons", f"({n}).ico"), "rb") as f:
            data = f.read()
        entry = next(6 + 16 * i for i in range(data[4]) if data[6 + 16 * i] == 48)
        start = struct.unpack_from("<I", data, entry + 12)[0] + 40
        looks[n] = blocks(b"".join(data[start + 192 * y:start + 192 * (y + 1)]
                                   for y in reversed(range(48))), 48)
    last = [None]

    def still():
        tiles, last[0] = last[0], screen.tiles()
        return tiles == last[0] and tiles
    tiles = wait_for("the board to hold still", still)
    for cell in player.matched:
        look = blocks(tiles[cell], TILE, opaque=True)
        shown = min(looks, key=lambda n: sum(map(lambda a, b: abs(a - b), look, looks[n])))
        check(player.face[cell] == names[shown],
              f"tile {cell}, named {player.face[cell]!r}, shows {names[shown]!r}")
    log(f"  {len(player.matched)} tiles named after their pictures")


def swapped_pool(session):
    """The pool with every file under another number: (n) holds (201 - n)."""
    folder = os.path.join(session.folder, "swapped-icons")
    os.makedirs(folder)
    for n in range(1, 201):
        shutil.copy(os.path.join(program_folder(), "Icons", f"({201 - n}).ico"),
                    os.path.join(folder, f"({n}).ico"))
    return folder


def press_button(game, title, button):
    """Presses a button of a box through its action."""
    box = game.accessible.dialog(title, ("alert",))
    found = [b for b in Accessible.parts(box, "push button") if b.name == button]
    check(len(found) == 1, f"the {title!r} box has buttons {game.accessible.buttons(box)}")
    found[0].queryAction().doAction(0)
    game.accessible.gone(title)


def play_by_ear(session, key, icons=None):
    """A whole game by ear, to the name prompt of editions 3 and 3.1, or to
    the summary of 1 and 2, which is read and answered, then No."""
    game = Game(session, Install(session, EDITIONS[key], icons)).start()
    player = EarPlayer(game)
    player.play(player.pair_count - 1)
    check_pictures_named(player, game.board)
    player.play()
    if game.edition.hall_of_fame:
        prompt = game.accessible.dialog("Hall Of Fame", roles=("dialog",))
        check(game.accessible.labels(prompt) == ["Enter Your Name"]
              and len(Accessible.parts(prompt, "text")) == 1, "the name prompt reads wrong")
        game.process.terminate()
        game.process.wait()
        return
    text = game.accessible.labels(game.accessible.dialog("Tilvane", roles=("alert",)))
    check(re.fullmatch(f"Time Started {HMS} End Time {HMS}\nTotal Time Playing For {HMS} "
                       f"With {player.tries} Trys", text[0]), f"the summary reads {text!r}")
    press_button(game, "Tilvane", "OK")
    game.close_and_watch(lambda: press_button(game, "Question", "No"))
