# SPDX-License-Identifier: MIT
"""The Windows zip under Wine, through the X server only: every edition's
window, a whole game of edition 1 ended with No, and where editions 3 and
3.1 make their Hall of Fame. Nothing of Wine may outlive the run."""

import os
import subprocess
import sys
import time
import zipfile

# The helpers stay uncompiled in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

import xsession
from tilvane import EDITIONS, Board, Player, _changes
from xsession import Failure, check, log, wait_for

DEFAULT_LINES = ["[Tilvane]"] + [f"No{n} Fred{n} Time 00:00:00 Trys 999" for n in range(1, 6)]


def zip_path():
    check(len(sys.argv) > 1, "usage: wine_games.py <tilvane-1.00-win64.zip>")
    return os.path.abspath(sys.argv[1])


class Wine:
    """A Wine prefix of the session's own, with the zip unpacked beside it."""

    def __init__(self, session):
        self.session = session
        self.prefix = os.path.join(session.folder, "wine")
        unpacked = os.path.join(session.folder, "unpacked")
        with zipfile.ZipFile(zip_path()) as archive:
            archive.extractall(unpacked)
        (top,) = os.listdir(unpacked)
        self.folder = os.path.join(unpacked, top)
        began = time.monotonic()
        self.run(["wineboot", "--init"], timeout=180)
        log(f"  Wine prefix made in {time.monotonic() - began:.1f} s")

    def environment(self):
        env = self.session.base_environment()
        # Wine sets the Windows one itself.
        env.pop("SystemDrive", None)
        env.update(
            WINEPREFIX=self.prefix,
            WINEARCH="win64",
            WINEDEBUG="-all",
            # Nothing to download here: no offers to install Mono or Gecko.
            WINEDLLOVERRIDES="mscoree,mshtml=",
        )
        return env

    def run(self, command, timeout=60):
        subprocess.run(["wine64", *command], env=self.environment(), check=True, timeout=timeout,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.end()

    def end(self):
        """Ends the prefix's wineserver and every Wine process of it."""
        subprocess.run(["wineserver", "-k"], env=self.environment(), check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.environment(), check=False, timeout=30)

    @property
    def windows_temp(self):
        return os.path.join(self.prefix, "drive_c", "windows", "temp")


def wine(session):
    if not hasattr(session, "wine"):
        session.wine = Wine(session)
    return session.wine


class WineGame:
    """One program run under Wine, seen only through the X server."""

    def __init__(self, session, key):
        self.session = session
        self.wine = wine(session)
        self.edition = EDITIONS[key]
        self.x = session.x
        self.exe = os.path.join(self.wine.folder, self.edition.program + ".exe")
        self.process = None
        self.window = None

    def start(self):
        self.process = self.session.spawn(["wine64", self.exe], env=self.wine.environment(),
                                          cwd=self.wine.folder, log_name=self.edition.program)
        self.window = wait_for(f"the {self.edition.program}.exe window",
                               lambda: self._alive() and self._titled(self.edition.caption),
                               timeout=60)
        origin = wait_for("the window's size", lambda: self.x.origin(self.window))
        check(origin[2:] == self.edition.client,
              f"{self.edition.program}.exe's client area is {origin[2]}x{origin[3]}, "
              f"not {self.edition.client[0]}x{self.edition.client[1]}")
        self.board = Board(self.x, self.window, self.edition)
        self.board.wait_all_face_down("first deal")
        log(f"  {self.edition.program}.exe: {self.edition.caption!r}, "
            f"{origin[2]}x{origin[3]}")
        return self

    def _alive(self):
        status = self.process.poll()
        if status is not None:
            raise Failure(f"{self.edition.program}.exe ended with status {status}")
        return True

    def _titled(self, title):
        return next((w for w in self.x.client_windows() if self.x.window_name(w) == title),
                    None)

    def answer(self, title, key):
        """Waits for the dialog titled `title` to have the keyboard, presses key."""
        def active():
            self._alive()
            dialog = self._titled(title)
            return dialog is not None and dialog.id != self.window.id \
                and self.x.active_window() == dialog.id
        wait_for(f"the {title!r} box to have the keyboard", active, timeout=20)
        self.x.key(key)

    def wait_end(self, timeout=60):
        deadline = time.monotonic() + timeout
        while self.process.poll() is None:
            check(time.monotonic() < deadline,
                  f"{self.edition.program}.exe still running {timeout} s after the last answer")
            time.sleep(0.05)
        return self.process.returncode

    def close(self):
        """A close request from the window manager, as its close button sends."""
        from Xlib import X
        from Xlib.protocol import event

        close = event.ClientMessage(window=self.window, client_type=self.x.atom("_NET_CLOSE_WINDOW"),
                                    data=(32, [int(time.time()) & 0xFFFFFFFF, 2, 0, 0, 0]))
        self.x.root.send_event(close, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        self.x.display.sync()


def windows_of_every_edition(session):
    for key in ("v1", "v2", "v3", "v31"):
        game = WineGame(session, key).start()
        game.close()
        status = game.wait_end()
        check(status == 0, f"{game.edition.program}.exe ended with status {status} on a close")
        wine(session).end()


def v1_whole_game_then_no(session):
    game = WineGame(session, "v1").start()
    player = Player(game.board, face_up_clicks=2)
    player.play()
    game.answer("Tilvane", "Return")
    game.answer("Question", "n")
    status = game.wait_end()
    check(status == 0, f"tilvane-v1.exe ended with status {status} after No")
    wine(session).end()


def expect_default_file(path):
    check(os.path.isfile(path), f"no Hall of Fame at {path}")
    with open(path, "rb") as f:
        content = f.read()
    expected = "".join(line + "\r\n" for line in DEFAULT_LINES).encode()
    check(content == expected, f"{path} holds {content!r}, expected {expected!r}")


def v3_file_in_windows_temp(session):
    path = os.path.join(wine(session).windows_temp, "Tilvane.ini")
    if os.path.exists(path):
        os.unlink(path)
    game = WineGame(session, "v3").start()
    expect_default_file(path)
    game.close()
    check(game.wait_end() == 0, "tilvane-v3.exe did not end with status 0")
    expect_default_file(path)
    wine(session).end()


def v31_file_beside_the_program(session):
    path = os.path.join(wine(session).folder, "Tilvane.ini")
    check(not os.path.exists(path), f"{path} is there before the first start")
    game = WineGame(session, "v31").start()
    expect_default_file(path)
    game.close()
    check(game.wait_end() == 0, "tilvane-v31.exe did not end with status 0")
    expect_default_file(path)
    wine(session).end()


def stop_wine(session):
    """Runs last: the prefix's server must be gone before the desktop is."""
    if hasattr(session, "wine"):
        session.wine.end()


xsession.run([windows_of_every_edition, v1_whole_game_then_no, v3_file_in_windows_temp,
              v31_file_beside_the_program, stop_wine])
