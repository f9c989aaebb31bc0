# SPDX-License-Identifier: MIT
"""A private X desktop for the end-to-end tests, and the way out of it.

A test script calls run(cases). The script then runs twice: an outer process,
which only watches, starts the script again under its own dbus-run-session;
that inner process starts Xvfb, openbox and the accessibility bus, and runs
the cases. Every process of the run carries a token in its environment, so
that the outer process can find and end whatever is still alive afterwards,
and fail the run for it.
"""

import os
import select
import signal
import subprocess
import sys
import tempfile
import time
import traceback
import uuid

from Xlib import X, XK, display, error
from Xlib.ext import xtest

TOKEN = "TILVANE_E2E_RUN"
INNER = "TILVANE_E2E_INNER"
RESULT = "TILVANE_E2E_RESULT"
SCREEN_SIZE = (1920, 1080)


class Failure(Exception):
    """A check that did not hold."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, probe, timeout=10.0, interval=0.01):
    """Returns probe()'s first true value; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(interval)


def log(text):
    print(text, flush=True)


# --- the outer process ---------------------------------------------------


def _processes_with(token):
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                environ = f.read().split(b"\0")
            with open(f"/proc/{entry}/stat", "rb") as f:
                stat = f.read()
        except OSError:
            continue
        # A zombie is already gone; only its parent has yet to look.
        state = stat[stat.rindex(b")") + 2 : stat.rindex(b")") + 3]
        if f"{TOKEN}={token}".encode() in environ and state != b"Z":
            name = stat[stat.index(b"(") + 1 : stat.rindex(b")")].decode(errors="replace")
            found.append((int(entry), name))
    return found


def _end_survivors(token):
    """Ends every process of the run still alive; returns what was found."""
    survivors = _processes_with(token)
    deadline = time.monotonic() + 5
    for sig in (signal.SIGTERM, signal.SIGKILL):
        for pid, _ in _processes_with(token):
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass
        while _processes_with(token) and time.monotonic() < deadline:
            time.sleep(0.05)
        deadline = time.monotonic() + 5
    return survivors


def _outer():
    token = uuid.uuid4().hex
    env = dict(os.environ)
    env[TOKEN] = token
    env[INNER] = "1"
    handle, result = tempfile.mkstemp(prefix="tilvane-e2e-", suffix=".result")
    os.close(handle)
    env[RESULT] = result
    command = ["dbus-run-session", "--", sys.executable, os.path.abspath(sys.argv[0])]
    # The buses' chatter is shown only when the run fails.
    chatter = tempfile.TemporaryFile()
    inner = subprocess.Popen(command + sys.argv[1:], env=env, start_new_session=True,
                             stderr=chatter)

    _stop_on_signals()
    status = 1
    interrupted = False
    try:
        status = inner.wait()
    except KeyboardInterrupt as stopped:
        interrupted = True
        log(f"stopped by {stopped}")
    finally:
        if inner.poll() is None:
            # The inner process cleans up after itself when asked to stop.
            os.killpg(inner.pid, signal.SIGTERM)
            try:
                inner.wait(15)
            except subprocess.TimeoutExpired:
                os.killpg(inner.pid, signal.SIGKILL)
                inner.wait()
        # The session bus and the accessibility bus end with dbus-run-session.
        wait_deadline = time.monotonic() + 5
        while _processes_with(token) and time.monotonic() < wait_deadline:
            time.sleep(0.05)
        survivors = _end_survivors(token)
    passed, failed = _read_counts(result)
    if status != 0 or failed or survivors:
        chatter.seek(0)
        sys.stdout.write(chatter.read().decode(errors="replace"))
    chatter.close()
    if survivors:
        listed = ", ".join(f"{name} ({pid})" for pid, name in survivors)
        log(f"FAIL left running after the run: {listed}")
        failed += 1
    if (status != 0 or interrupted) and failed == 0:
        log(f"FAIL the run ended with status {status}")
        failed += 1
    script = os.path.splitext(os.path.basename(sys.argv[0]))[0]
    log(f"{script}: {passed} passed, {failed} failed")
    return 1 if failed else 0


def _read_counts(path):
    try:
        with open(path) as f:
            passed, failed = (int(n) for n in f.read().split())
    except (OSError, ValueError):
        passed, failed = 0, 0
    try:
        os.unlink(path)
    except OSError:
        pass
    return passed, failed


def _stop_on_signals():
    def stop(signum, _frame):
        raise KeyboardInterrupt(f"signal {signum}")

    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, stop)


# --- the inner process ---------------------------------------------------


class Session:
    """Xvfb, openbox and the accessibility bus, for the inner process."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="tilvane-e2e-")
        self.runtime = os.path.join(self.folder, "runtime")
        os.mkdir(self.runtime, 0o700)
        self.home = os.path.join(self.folder, "home")
        os.mkdir(self.home)
        self._processes = []
        self.xvfb = None
        self.display_name = None
        self.x = None

    def base_environment(self):
        env = {
            key: value
            for key, value in os.environ.items()
            if not key.startswith(("QT_", "LC_", "XDG_")) and key not in ("LANG", "LANGUAGE")
        }
        env.update(
            DISPLAY=self.display_name,
            HOME=self.home,
            XDG_RUNTIME_DIR=self.runtime,
            LANG="C.UTF-8",
            LC_ALL="C.UTF-8",
        )
        return env

    def start(self):
        self._start_xvfb()
        environment = self.base_environment()
        os.environ.clear()
        os.environ.update(environment)
        self.x = XConnection(self.display_name)
        wm = self.spawn(["openbox"], log_name="openbox")
        wait_for("openbox to manage the screen", lambda: self._wm_running(wm), timeout=20)
        # Services the session bus starts from now on see this desktop, and the
        # accessibility bus is up before any program looks for it.
        names = ["DISPLAY", "HOME", "XDG_RUNTIME_DIR"]
        subprocess.run(["dbus-update-activation-environment", *names], check=True)
        subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"],
            check=True, stdout=subprocess.DEVNULL, timeout=20)

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        width, height = SCREEN_SIZE
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=[write_end], start_new_session=True, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._processes.append(self.xvfb)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                raise Failure("Xvfb did not report its display number")
            number += chunk
        os.close(read_end)
        self.display_name = ":" + number.decode().strip()

    def _wm_running(self, wm):
        check(wm.poll() is None, "openbox exited at start")
        return self.x.property(self.x.root, "_NET_SUPPORTING_WM_CHECK") is not None

    def spawn(self, command, env=None, cwd=None, log_name=None):
        """Starts a process in its own group; stop() ends what is left."""
        output = subprocess.DEVNULL
        if log_name:
            output = open(os.path.join(self.folder, log_name + ".log"), "ab")
        try:
            process = subprocess.Popen(
                command, env=env or os.environ.copy(), cwd=cwd, start_new_session=True,
                stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT)
        finally:
            if log_name:
                output.close()
        self._processes.append(process)
        return process

    def mark(self):
        return len(self._processes)

    def end_since(self, mark):
        """Ends the processes started since mark() that are still running."""
        left = []
        for process in reversed(self._processes[mark:]):
            if process.poll() is None:
                left.append(process.args[0])
                _end_group(process)
        del self._processes[mark:]
        return left

    def stop(self):
        self.end_since(0)
        subprocess.run(["rm", "-rf", self.folder], check=False)


def _end_group(process):
    try:
        os.killpg(process.pid, signal.SIGTERM)
        process.wait(5)
    except ProcessLookupError:
        pass
    except subprocess.TimeoutExpired:
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    process.wait()


class XConnection:
    """What the tests do and see through the X server: windows, pixels, input."""

    def __init__(self, name):
        self.display = display.Display(name)
        self.display.set_error_handler(self._asynchronous_error)
        self.root = self.display.screen().root
        check(self.display.has_extension("XTEST"), "the X server has no XTEST")

    @staticmethod
    def _asynchronous_error(failure, request):
        # Windows of a program that just ended go at any moment.
        if not isinstance(failure, error.BadWindow):
            log(f"X error {failure} on {request}")

    def atom(self, name):
        return self.display.intern_atom(name)

    def property(self, window, name):
        try:
            value = window.get_full_property(self.atom(name), X.AnyPropertyType)
        except error.XError:
            return None
        return value.value if value is not None else None

    def window_name(self, window):
        value = self.property(window, "_NET_WM_NAME")
        if value is None:
            value = self.property(window, "WM_NAME")
        if isinstance(value, bytes):
            value = value.decode("utf-8", errors="replace")
        return value

    def client_windows(self):
        ids = self.property(self.root, "_NET_CLIENT_LIST")
        return [self.display.create_resource_object("window", i) for i in (ids or [])]

    def windows_of(self, pid):
        found = []
        for window in self.client_windows():
            pids = self.property(window, "_NET_WM_PID")
            if pids is not None and pid in list(pids):
                found.append(window)
        return found

    def origin(self, window):
        """The window's top-left corner on the screen, or None once it is gone."""
        try:
            where = window.translate_coords(self.root, 0, 0)
            geometry = window.get_geometry()
        except error.XError:
            return None
        return (-where.x, -where.y, geometry.width, geometry.height)

    def frame_of(self, window):
        """The window manager's frame around a client window (the child of the root)."""
        while True:
            parent = window.query_tree().parent
            if parent.id == self.root.id:
                return window
            window = parent

    def watch_configure(self, windows, watch):
        """Starts or stops receiving the windows' configure events."""
        for window in windows:
            window.change_attributes(event_mask=X.StructureNotifyMask if watch else 0)
        self.display.sync()

    def configure_events(self):
        """(window id, x, y, width, height) of each configure event received."""
        found = []
        while self.display.pending_events():
            event = self.display.next_event()
            if event.type == X.ConfigureNotify:
                found.append((event.window.id, event.x, event.y, event.width, event.height))
        return found

    def active_window(self):
        ids = self.property(self.root, "_NET_ACTIVE_WINDOW")
        return ids[0] if ids else None

    def capture(self, window, width, height):
        """The window's pixels, 4 bytes a pixel (blue, green, red, pad)."""
        try:
            return window.get_image(0, 0, width, height, X.ZPixmap, 0xFFFFFFFF).data
        except error.XError:
            return None

    def click(self, x, y):
        xtest.fake_input(self.display, X.MotionNotify, x=x, y=y)
        self.display.sync()
        xtest.fake_input(self.display, X.ButtonPress, 1)
        xtest.fake_input(self.display, X.ButtonRelease, 1)
        self.display.sync()

    def key(self, name, *modifiers):
        """Presses a key by its keysym name, with modifiers (keysym names) held."""
        codes = [self._keycode(m) for m in modifiers] + [self._keycode(name)]
        for code in codes:
            xtest.fake_input(self.display, X.KeyPress, code)
        for code in reversed(codes):
            xtest.fake_input(self.display, X.KeyRelease, code)
        self.display.sync()

    def type_text(self, text):
        for character in text:
            if character.isupper():
                self.key(character, "Shift_L")
            else:
                self.key(character)

    def _keycode(self, name):
        keysym = XK.string_to_keysym(name)
        code = self.display.keysym_to_keycode(keysym)
        check(code != 0, f"no key for {name!r} on this X server")
        return code


# --- running the cases ---------------------------------------------------


def run(cases):
    """The script's main: each case is a function taking the Session."""
    if os.environ.get(INNER) != "1":
        sys.exit(_outer())
    _stop_on_signals()
    script = os.path.splitext(os.path.basename(sys.argv[0]))[0]
    session = Session()
    passed = failed = 0
    started = time.monotonic()
    try:
        session.start()
        log(f"{script}: desktop {session.display_name} ready in {time.monotonic() - started:.1f} s")
        for case in cases:
            name = case.__name__
            began = time.monotonic()
            mark = session.mark()
            try:
                case(session)
            except Failure as failure:
                failed += 1
                log(f"FAIL {name}: {failure}")
            except Exception:
                failed += 1
                log(f"FAIL {name}: unexpected error\n{traceback.format_exc()}")
            except KeyboardInterrupt as stopped:
                failed += 1
                log(f"FAIL {name}: stopped by {stopped}")
                break
            else:
                left = session.end_since(mark)
                if left:
                    failed += 1
                    log(f"FAIL {name}: left running: {', '.join(left)}")
                else:
                    passed += 1
                    log(f"PASS {name} ({time.monotonic() - began:.1f} s)")
            finally:
                session.end_since(mark)
    except Exception:
        failed += 1
        log(f"FAIL desktop: {traceback.format_exc()}")
    except KeyboardInterrupt as stopped:
        failed += 1
        log(f"FAIL desktop: stopped by {stopped}")
    finally:
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(sig, signal.SIG_IGN)
        session.stop()
        with open(os.environ[RESULT], "w") as f:
            f.write(f"{passed} {failed}\n")
    sys.exit(1 if failed else 0)
