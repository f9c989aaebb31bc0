# SPDX-License-Identifier: MIT
"""The Windows zip and installer under Wine, through the X server only:
every edition's window, a whole game of edition 1 ended with No, keyboard
play asked for and with a screen reader's flag raised, where editions 3 and
3.1 make their Hall of Fame, 3.1 beside a hostile one, and the installer's
install, shortcuts and uninstall. Nothing of Wine may outlive the run."""

import os
import random
import re
import signal
import subprocess
import sys
import time
import zipfile

# The helpers stay uncompiled in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

import xsession
from Xlib import X, error
from tilvane import EDITIONS, Board, Player
from xsession import Failure, check, log, wait_for

DEFAULT_LINES = ["[Tilvane]"] + [f"No{n} Fred{n} Time 00:00:00 Trys 999" for n in range(1, 6)]


def zip_path():
    check(len(sys.argv) > 3,
          "usage: wine_games.py <tilvane-1.00-win64.zip> <…msi> <screenreaderflag.exe>")
    return os.path.abspath(sys.argv[1])


def msi_path():
    return os.path.abspath(sys.argv[2])


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
        subprocess.run(["wine", "wineboot", "--init"], env=self.environment(), check=True,
                       timeout=180, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        # One server and desktop for every case: a window made while Wine's
        # desktop is still starting is sometimes left unframed.
        subprocess.run(["wineserver", "-w"], env=self.environment(), check=True, timeout=60)
        subprocess.run(["wineserver", "-p"], env=self.environment(), check=True)
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

    def __init__(self, session, key, *arguments):
        self.session = session
        self.arguments = list(arguments)
        self.wine = wine(session)
        self.edition = EDITIONS[key]
        self.x = session.x
        self.exe = os.path.join(self.wine.folder, self.edition.program + ".exe")
        self.process = None
        self.window = None

    def start(self):
        self.window = self._spawn(timeout=30)
        if self.window is None:
            # A window whose mapping a busy openbox never got to stays unmapped
            # under the next one: the program starts again with it.
            self._end_process()
            restart_openbox(self.session, f"had not shown {self.edition.program}.exe in 30 s")
            self.window = self._spawn(timeout=60)
            check(self.window is not None, f"{self.edition.program}.exe showed no window")
        width, height = self.edition.client
        # Wine maps the window before the window manager frames it.
        self.window = wait_for(f"a {width}x{height} client area", self._client_sized, timeout=10)
        self.board = Board(self.x, self.window, self.edition)
        self.board.wait_all_face_down("first deal")
        log(f"  {self.edition.program}.exe: {self.edition.caption!r}, {width}x{height}")
        return self

    def _spawn(self, timeout):
        self.process = self._launch()
        try:
            return wait_for(f"the {self.edition.program}.exe window",
                            lambda: self._alive() and self._titled(self.edition.caption),
                            timeout=timeout)
        except Failure:
            if self.process.poll() is not None:
                raise
            return None

    def _launch(self):
        return self.session.spawn(["wine", self.exe, *self.arguments],
                                  env=self.wine.environment(),
                                  cwd=self.wine.folder, log_name=self.edition.program)

    def _end_process(self):
        self.session.end_since(self.session._processes.index(self.process))

    def _client_sized(self):
        window = self._titled(self.edition.caption)
        origin = window and self.x.origin(window)
        return origin and origin[2:] == self.edition.client and window

    def _alive(self):
        status = self.process.poll()
        if status is not None:
            raise Failure(f"{self.edition.program}.exe ended with status {status}")
        return True

    def _titled(self, title):
        """The shown window with that caption. Wine may replace the X window
        of a program's window while it shows it."""
        for window in self.x.client_windows():
            try:
                shown = window.get_attributes().map_state == X.IsViewable
            except error.XError:
                continue
            if shown and self.x.window_name(window) == title:
                return window
        return None

    def answer(self, title, key):
        """Waits for the dialog titled `title` to have the keyboard, presses key."""
        def active():
            self._alive()
            focused = self.x.active_window()
            # Edition 1's summary box has the game window's caption.
            return focused != self.window.id and any(
                w.id == focused and self.x.window_name(w) == title
                for w in self.x.client_windows())
        wait_for(f"the {title!r} box to have the keyboard", active, timeout=20)
        self.x.key(key)

    def wait_end(self, timeout=60):
        """The program's exit status, once its window's frame is gone."""
        frame = self.x.frame_of(self.window)
        deadline = time.monotonic() + timeout
        while self.process.poll() is None:
            check(time.monotonic() < deadline,
                  f"{self.edition.program}.exe still running {timeout} s after the last answer")
            time.sleep(0.05)
        settle_window_manager(self.session, frame)
        return self.process.returncode

    def close(self):
        """The close request a window manager sends when its close button is
        pressed, sent straight to the window: it does not wait for a busy
        openbox."""
        from Xlib.protocol import event

        protocols = self.x.atom("WM_PROTOCOLS")
        delete = self.x.atom("WM_DELETE_WINDOW")
        request = event.ClientMessage(window=self.window, client_type=protocols,
                                      data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        self.window.send_event(request)
        self.x.display.sync()


def restart_openbox(session, why):
    """Openbox replaced by a new one, in the old one's place among the
    desktop's processes."""
    x = session.x
    slot = next(i for i, p in enumerate(session._processes) if p.args[0] == "openbox")
    session._processes[slot].kill()
    session._processes[slot].wait()
    # The new one sets it again once it manages the screen.
    x.root.delete_property(x.atom("_NET_SUPPORTING_WM_CHECK"))
    x.display.sync()
    session._processes[slot] = session.spawn(["openbox"], log_name="openbox")
    session._processes.pop()
    wait_for("a new openbox", lambda: x.property(x.root, "_NET_SUPPORTING_WM_CHECK"),
             timeout=20)
    log(f"  openbox {why}: started anew")


def settle_window_manager(session, frame):
    """Wine hands the closing animation's hundreds of moves to the window
    manager at once, and openbox can spend minutes redrawing the frame of a
    window long gone, mapping no new one meanwhile. Such an openbox is
    replaced, since the programs' windows are what is tested here."""
    def gone():
        try:
            return frame.get_attributes().map_state != X.IsViewable
        except error.XError:
            return True
    try:
        wait_for("openbox to let the closed window go", gone, timeout=5, interval=0.1)
    except Failure:
        restart_openbox(session, "was still redrawing a closed window's frame")


def windows_of_every_edition(session):
    for key in ("v1", "v2", "v3", "v31"):
        game = WineGame(session, key).start()
        game.close()
        status = game.wait_end()
        check(status == 0, f"{game.edition.program}.exe ended with status {status} on a close")


def v1_whole_game_then_no(session):
    game = WineGame(session, "v1").start()
    player = Player(game.board, face_up_clicks=2)
    player.play()
    game.answer("Tilvane", "Return")
    game.answer("Question", "n")
    status = game.wait_end()
    check(status == 0, f"tilvane-v1.exe ended with status {status} after No")


def screen_reader_flag(session, on):
    """Raises or lowers the flag as a screen reader does, and waits for it."""
    subprocess.run(["wine", os.path.abspath(sys.argv[3]), "on" if on else "off"],
                   env=wine(session).environment(), check=True, timeout=60,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def keyboard_turns_tiles(game):
    """The frame on the first tile; Space turns it, Right and Space the next.
    Wine takes a moment to give a new window the keyboard, so the first Space
    is pressed until it lands: Space on a face-up tile does nothing."""
    wait_for("the focus frame", lambda: game.board.focus_frame_shown())
    presses = []

    def turned(keys, cell):
        presses.append(keys)
        for key in keys:
            game.x.key(key)
        time.sleep(0.2)
        return not game.board.is_face_down(game.board.tiles()[cell])
    wait_for("the first tile to turn", lambda: turned(["space"], 0), interval=0.5)
    check(turned(["Right", "space"], 1), "Right and Space did not turn the second tile")
    log(f"  Space pressed {len(presses) - 1} times before the first tile turned")


def v1_keyboard_asked_for(session):
    game = WineGame(session, "v1", "--keyboard").start()
    keyboard_turns_tiles(game)
    game.close()
    check(game.wait_end() == 0, "tilvane-v1.exe --keyboard did not end with status 0")


def v1_keyboard_with_a_screen_reader(session):
    """The flag raised before the start turns keyboard play on. That a flag
    changed while the game runs is followed is not shown here: Wine (8.0)
    neither broadcasts the change as Windows does nor lets a running program
    read another's change, since each process keeps the value it first read."""
    screen_reader_flag(session, True)
    try:
        game = WineGame(session, "v1").start()
        keyboard_turns_tiles(game)
        game.close()
        check(game.wait_end() == 0, "tilvane-v1.exe did not end with status 0")
    finally:
        screen_reader_flag(session, False)


def expect_default_file(path):
    check(os.path.isfile(path), f"no Hall of Fame at {path}")
    with open(path, "rb") as f:
        content = f.read()
    expected = "".join(line + "\r\n" for line in DEFAULT_LINES).encode()
    check(content == expected, f"{path} holds {content!r}, expected {expected!r}")


def first_start_makes_default_file(session, key, path):
    """The program makes the Hall of Fame where there is none, and its close
    writes it back as it was read."""
    if os.path.exists(path):
        os.unlink(path)
    game = WineGame(session, key).start()
    expect_default_file(path)
    game.close()
    check(game.wait_end() == 0, f"{game.edition.program}.exe did not end with status 0")
    expect_default_file(path)


def v3_file_in_windows_temp(session):
    first_start_makes_default_file(session, "v3",
                                   os.path.join(wine(session).windows_temp, "Tilvane.ini"))


def v31_file_beside_the_program(session):
    first_start_makes_default_file(session, "v31",
                                   os.path.join(wine(session).folder, "Tilvane.ini"))


def v31_reads_an_ansi_file(session):
    """A Hall of Fame in the ANSI code page (1252 here), as the game's first
    versions wrote it, reads right: 0x80 is the euro sign, not a control
    character, and goes back as such."""
    path = os.path.join(wine(session).folder, "Tilvane.ini")
    lines = [line.encode() for line in DEFAULT_LINES]
    lines[1] = "No1 Jürgen € Time 00:01:40 Trys 40".encode("cp1252")
    with open(path, "wb") as f:
        f.write(b"".join(line + b"\r\n" for line in lines))
    game = WineGame(session, "v31").start()
    game.close()
    check(game.wait_end() == 0, "tilvane-v31.exe did not end with status 0")
    with open(path, "rb") as f:
        saved = f.read().split(b"\r\n")[1]
    check(saved == "No1 Jürgen € Time 00:01:40 Trys 40".encode(),
          f"the first place was saved back as {saved!r}")


def v31_starts_beside_random_bytes(session):
    """A Hall of Fame of random bytes, or with control characters in its
    lines: 3.1 shows its window, and its close ends it with status 0. What
    it read is saved back as read."""
    path = os.path.join(wine(session).folder, "Tilvane.ini")
    generator = random.Random(15)
    contents = {
        "4 KiB of random bytes": generator.randbytes(4096),
        "another 4 KiB": generator.randbytes(4096),
        "50 MiB of random bytes": generator.randbytes(50 * 1024 * 1024),
        "control characters": b"[Tilvane]\x01\x02\r\nNo1 \x1f Time 00:00:01 Trys 5\r\n",
    }
    for what, content in contents.items():
        with open(path, "wb") as f:
            f.write(content)
        log(f"  {what}")
        game = WineGame(session, "v31").start()
        game.close()
        check(game.wait_end() == 0, f"tilvane-v31.exe did not end with status 0 beside {what}")
    os.unlink(path)


class Installer:
    """The installer run in the session's prefix, and where it puts the game
    for the prefix's user. Wine lets every user install anything, so that no
    administrator is needed is not proven here; that the files and shortcuts
    land in the user's own folders is."""

    SHORTCUTS = {"v1": "Tilvane", "v2": "Tilvane V2", "v3": "Tilvane V3", "v31": "Tilvane V3.1"}

    def __init__(self, session):
        self.wine = wine(session)
        users = os.path.join(self.wine.prefix, "drive_c", "users")
        (profile,) = [os.path.join(users, name) for name in os.listdir(users) if name != "Public"]
        self.folder = os.path.join(profile, "AppData", "Local", "Programs", "Tilvane")
        self.menu = os.path.join(profile, "AppData", "Roaming", "Microsoft", "Windows",
                                 "Start Menu", "Programs", "Tilvane")
        self.hall_of_fame = os.path.join(self.folder, "Tilvane.ini")

    def msiexec(self, action):
        return subprocess.run(["wine", "msiexec", action, msi_path(), "/qn"],
                              env=self.wine.environment(), timeout=300, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode

    def start(self, session, key):
        """The edition started from its Start-menu shortcut."""
        shortcut = os.path.join(self.menu, self.SHORTCUTS[key] + ".lnk")
        check(os.path.isfile(shortcut), f"no shortcut {shortcut}")
        return ShortcutGame(session, key, shortcut).start()

    def listed_versions(self):
        """The versions of the entries named Tilvane in the installed-programs
        list. Wine keeps a per-user package's entry with the machine's."""
        versions = []
        for root in ("HKCU", "HKLM"):
            key = root + r"\Software\Microsoft\Windows\CurrentVersion\Uninstall"
            listing = subprocess.run(["wine", "reg", "query", key, "/s"],
                                     env=self.wine.environment(), timeout=60,
                                     capture_output=True, text=True, errors="replace").stdout
            for entry in re.split(r"\r?\n(?=HKEY_)", listing):
                values = dict(re.findall(r"^[ \t]+(\w+)[ \t]+REG_\w+[ \t]*(.*?)\r?$", entry, re.M))
                if values.get("DisplayName") == "Tilvane":
                    versions.append(values.get("DisplayVersion"))
        return versions


class ShortcutGame(WineGame):
    """An edition started from its shortcut, the way the shell starts it.
    Wine's start does not wait for a shortcut's program, so the program is
    found by its command line, which must be the installed program's; its
    exit status is not known here."""

    def __init__(self, session, key, shortcut):
        super().__init__(session, key)
        self.shortcut = shortcut

    def _launch(self):
        self.session.spawn(["wine", "start", "/unix", self.shortcut], env=self.wine.environment())
        installed = "\\appdata\\local\\programs\\tilvane\\" + self.edition.program + ".exe"
        return wait_for(f"{self.edition.program}.exe started by {self.shortcut}",
                        lambda: WindowsProcess.find(installed), timeout=30, interval=0.1)

    def _end_process(self):
        self.process.kill()


class WindowsProcess:
    """A process of the prefix that this script did not start itself."""

    def __init__(self, pid):
        self.pid = pid
        self.args = [f"process {pid}"]
        self.returncode = None

    @staticmethod
    def find(command_end):
        for entry in os.listdir("/proc"):
            try:
                with open(f"/proc/{entry}/cmdline", "rb") as f:
                    command = f.read().split(b"\0")[0].decode(errors="replace")
            except (OSError, ValueError):
                continue
            if entry.isdigit() and command.lower().endswith(command_end):
                return WindowsProcess(int(entry))
        return None

    def poll(self):
        try:
            with open(f"/proc/{self.pid}/stat") as f:
                running = f.read().rsplit(")", 1)[1].split()[0] != "Z"
        except OSError:
            running = False
        return None if running else "unknown"

    def kill(self):
        try:
            os.kill(self.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass


def installer_installs_for_the_user(session):
    """Installed without a question, every edition starts from its own
    shortcut in the user's Start menu, and 3.1 makes its Hall of Fame beside
    itself in the user's programs folder."""
    installer = Installer(session)
    check(installer.msiexec("/i") == 0, "msiexec /i failed")
    check(installer.listed_versions() == ["1.00"],
          f"installed programs list Tilvane as {installer.listed_versions()}")
    check(sorted(os.listdir(installer.menu)) == sorted(
        name + ".lnk" for name in Installer.SHORTCUTS.values()),
          f"the Start menu holds {os.listdir(installer.menu)}")
    for key in Installer.SHORTCUTS:
        game = installer.start(session, key)
        if key == "v31":
            expect_default_file(installer.hall_of_fame)
        game.close()
        game.wait_end()


def uninstall_keeps_the_hall_of_fame(session):
    """Uninstalling takes the programs, the shortcuts and the list entry and
    leaves the player's results, which a new install reads and saves back."""
    installer = Installer(session)
    results = ["[Tilvane]", "No1 Kept Time 00:01:40 Trys 42"] + DEFAULT_LINES[2:]
    content = "".join(line + "\r\n" for line in results).encode()
    with open(installer.hall_of_fame, "wb") as f:
        f.write(content)
    check(installer.msiexec("/x") == 0, "msiexec /x failed")
    check(os.listdir(installer.folder) == ["Tilvane.ini"],
          f"left after uninstalling: {os.listdir(installer.folder)}")
    check(not os.path.exists(installer.menu), "the Start-menu folder outlived the uninstall")
    check(installer.listed_versions() == [], "Tilvane is still listed as installed")

    check(installer.msiexec("/i") == 0, "msiexec /i failed on reinstalling")
    game = installer.start(session, "v31")
    game.close()
    game.wait_end()
    with open(installer.hall_of_fame, "rb") as f:
        saved = f.read()
    check(saved == content, f"the kept Hall of Fame came back as {saved!r}")


def stop_wine(session):
    """Runs last: the prefix's server must be gone before the desktop is."""
    if hasattr(session, "wine"):
        session.wine.end()


if __name__ == "__main__":
    xsession.run([windows_of_every_edition, v1_whole_game_then_no, v1_keyboard_asked_for,
                  v1_keyboard_with_a_screen_reader, v3_file_in_windows_temp,
                  v31_file_beside_the_program, v31_reads_an_ansi_file,
                  v31_starts_beside_random_bytes, installer_installs_for_the_user,
                  uninstall_keeps_the_hall_of_fame, stop_wine])
