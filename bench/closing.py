#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""How long the closing animation of the 10x10 window takes, and in how many
steps the player sees it move, on a 1920-pixel-wide Xvfb with openbox.

Starts tilvane-v31 from a temporary copy (its Hall of Fame lands there),
asks the window manager to close it, samples the window's position until the
process ends, and repeats. With --busy the game and the window manager are
stopped for that many milliseconds at a time, and let run for 5, while the
window closes, as on a machine loaded far beyond its cores.

    bench/closing.py --bin build/bin [--runs 5] [--busy 60]
"""

import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from startup import Xvfb  # noqa: E402

CLOSE_TIMEOUT_S = 30.0


def window_of(pid, env, timeout=20.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid), "--name", "^Tilvane"],
                               env=env, capture_output=True, text=True).stdout.split()
        if found:
            return found[0]
        time.sleep(0.05)
    raise RuntimeError("the game window never appeared")


def position(window, env):
    out = subprocess.run(["xdotool", "getwindowgeometry", window], env=env,
                         capture_output=True, text=True).stdout
    for line in out.splitlines():
        if "Position:" in line:
            return line.split()[1]
    return None


class Busy:
    """Stops the processes for `hold_ms`, lets them run for 5 ms, and again,
    until the end of the with-block."""

    def __init__(self, processes, hold_ms):
        self.processes = processes
        self.hold = hold_ms / 1000
        self.done = threading.Event()
        self.thread = threading.Thread(target=self._hold_up)

    def _signal(self, number):
        for process in self.processes:
            if process.poll() is None:
                os.kill(process.pid, number)

    def _hold_up(self):
        while not self.done.is_set():
            self._signal(signal.SIGSTOP)
            self.done.wait(self.hold)
            self._signal(signal.SIGCONT)
            time.sleep(0.005)

    def __enter__(self):
        if self.hold > 0:
            self.thread.start()

    def __exit__(self, *_):
        self.done.set()
        if self.thread.is_alive():
            self.thread.join()
        self._signal(signal.SIGCONT)


def close_once(program, env, wm, busy_ms):
    with tempfile.TemporaryDirectory() as folder:
        copy = Path(folder) / program.name
        shutil.copy2(program, copy)
        os.symlink(program.parent / "Icons", Path(folder) / "Icons")
        game = subprocess.Popen([str(copy)], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        window = window_of(game.pid, env)
        start = time.monotonic()
        # The window manager closes the focused window on a real Alt+F4.
        subprocess.run(["xdotool", "windowactivate", "--sync", window, "key", "alt+F4"], env=env,
                       check=True)
        seen = set()
        with Busy([game, wm], busy_ms):
            while game.poll() is None:
                if time.monotonic() - start > CLOSE_TIMEOUT_S:
                    game.kill()
                    raise RuntimeError("the game did not end after the close request")
                where = position(window, env)
                if where:
                    seen.add(where)
        elapsed = time.monotonic() - start
        return elapsed, game.returncode, len(seen)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", default="build/bin", help="folder of the built programs")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--busy", type=int, default=0, metavar="MS",
                        help="hold the game and the window manager up this long at a time")
    args = parser.parse_args()
    program = Path(args.bin).resolve() / "tilvane-v31"

    xvfb = Xvfb()
    if not xvfb.start():
        print("closing: no Xvfb here; nothing measured")
        return 0
    env = dict(os.environ, DISPLAY=xvfb.display)
    env.pop("QT_QPA_PLATFORM", None)
    wm = subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(0.5)
        results = [close_once(program, env, wm, args.busy) for _ in range(args.runs)]
    finally:
        wm.terminate()
        wm.wait()
        xvfb.stop()
    times = [r[0] for r in results]
    busy = f", held up {args.busy} ms at a time" if args.busy else ""
    print(f"closing animation of tilvane-v31, {args.runs} runs, Xvfb 1920x1080, openbox{busy}")
    print(f"  close request to exit: median {statistics.median(times) * 1000:.0f} ms "
          f"(min {min(times) * 1000:.0f}, max {max(times) * 1000:.0f})")
    print(f"  distinct positions sampled while closing: {[r[2] for r in results]}")
    print(f"  exit statuses: {[r[1] for r in results]}")
    return 0 if all(r[1] == 0 for r in results) else 1


if __name__ == "__main__":
    sys.exit(main())
