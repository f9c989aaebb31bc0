#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Start-up to first painted frame, and peak memory, of each program against
the bare window.

Runs tilvane-barewindow and the tilvane-firstframe-v* programs, which end
right after their first painted frame, under an Xvfb started for the run,
with no window manager, and with a session bus of the run's own as a
desktop has. Every round runs each program once, in an order of its own, so
that they share the machine's noise. The X server is still busy for a while
after a program ends, and a program started meanwhile pays for what the one
before left: so every measured run follows a run of the bare window, which
is not measured, and starts only once the server has gone quiet. Wall time
runs from spawn to exit; CPU time is the program's own, user and system; the
X server's CPU is what it spent during the run, and what it spent after the
program had ended until it was quiet again; peak memory is the child's
maximum resident set size.

    bench/startup.py --bin build/bench-bin [--runs 30] [--editions 1,31] [--json FILE]
    bench/startup.py --bin build/bench-bin --before old/bench-bin --editions 1,31
    bench/startup.py --wine --bin build-windows/bench-bin --editions 31

With --before the programs of another build (an earlier commit, say) are
measured in the same rounds, against the same bare window, and show as
"before". With --wine the Windows programs (.exe) run under Wine in a prefix
made for the run, with openbox managing the screen; the peak memory is then
that of Wine's loader process and says little.
"""

import argparse
import json
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

EDITIONS = ["1", "2", "3", "31"]
BARE = "tilvane-barewindow"
START_GOAL = 1.10
MEMORY_GOAL_MIB = 4.0
# A program that has not painted by then never will.
TIMEOUT_S = 20.0
WARM_UP_RUNS = 3
# The X server is quiet once it has spent no CPU for this long...
QUIET_S = 0.03
# ...and a server that never goes quiet is not waited for beyond this.
QUIET_WAIT_S = 2.0


class Xvfb:
    """An X server of our own on the first free display from :90 up."""

    def __init__(self):
        self.process = None
        self.display = None

    def start(self):
        if not shutil.which("Xvfb"):
            return False
        for number in range(90, 200):
            if Path(f"/tmp/.X{number}-lock").exists() or Path(f"/tmp/.X11-unix/X{number}").exists():
                continue
            process = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", "1920x1080x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            socket = Path(f"/tmp/.X11-unix/X{number}")
            deadline = time.monotonic() + 10
            while process.poll() is None and not socket.exists() and time.monotonic() < deadline:
                time.sleep(0.02)
            if process.poll() is None and socket.exists():
                self.process, self.display = process, f":{number}"
                return True
            # Lost the race for that display, or the server would not start.
            if process.poll() is None:
                process.kill()
            process.wait()
        return False

    def cpu_seconds(self):
        """CPU time the server has spent so far, to the nanosecond where the
        kernel keeps scheduler statistics; None without a server."""
        if not self.process:
            return None
        try:
            return int(Path(f"/proc/{self.process.pid}/schedstat").read_text().split()[0]) / 1e9
        except (OSError, ValueError, IndexError):
            fields = Path(f"/proc/{self.process.pid}/stat").read_text().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def wait_quiet(self):
        """Until the server has done with whatever the last program left it."""
        if not self.process:
            return
        deadline = time.monotonic() + QUIET_WAIT_S
        spent = self.cpu_seconds()
        while time.monotonic() < deadline:
            time.sleep(QUIET_S)
            now = self.cpu_seconds()
            if now == spent:
                return
            spent = now

    def stop(self):
        if self.process:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def start_session_bus(env):
    """A session bus of the run's own, as a desktop has. Without one, the first
    question about accessibility has Qt fork the program to start a bus, at
    whatever size the program has grown to by then."""
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    if not shutil.which("dbus-daemon"):
        return None
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    address = bus.stdout.readline().strip()
    if not address:
        bus.kill()
        bus.wait()
        return None
    env["DBUS_SESSION_BUS_ADDRESS"] = address
    return bus


def start_wine(env, folder):
    """A fresh prefix, its server kept running between the runs, and openbox:
    without a window manager a Wine window has no frame."""
    # Wine sets the Windows one itself.
    env.pop("SystemDrive", None)
    env.update(WINEPREFIX=str(Path(folder, "wine")), WINEARCH="win64", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    subprocess.run(["wine", "wineboot", "--init"], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, check=True)
    subprocess.run(["wineserver", "-p"], env=env, check=True)
    return subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def stop_wine(env, wm):
    subprocess.run(["wineserver", "-k"], env=env, check=False)
    subprocess.run(["wineserver", "-w"], env=env, check=False)
    wm.terminate()
    wm.wait()


def run_once(path, env):
    """Wall seconds from spawn to exit, CPU seconds (user and system), and
    peak RSS in KiB."""
    command = [path]
    if path.endswith(".exe"):
        command = [shutil.which("wine"), path]
    started = time.perf_counter()
    pid = os.posix_spawn(command[0], command, env)
    watchdog = threading.Timer(TIMEOUT_S, lambda: os.kill(pid, signal.SIGKILL))
    watchdog.start()
    _, status, usage = os.wait4(pid, 0)
    elapsed = time.perf_counter() - started
    watchdog.cancel()
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        raise RuntimeError(f"{Path(path).name} ended with status {code}")
    return elapsed, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def programs_of(bin_dirs, editions, suffix):
    """(label, path) of the bare window, from the first build, then of each
    edition in each build."""
    programs = [(BARE, Path(bin_dirs[0][1], BARE + suffix))]
    for edition in editions:
        for build, bin_dir in bin_dirs:
            label = f"v{edition}" + (f" {build}" if build else "")
            programs.append((label, Path(bin_dir, f"tilvane-firstframe-v{edition}{suffix}")))
    for _, path in programs:
        if not os.access(path, os.R_OK if suffix else os.X_OK):
            sys.exit(f"startup.py: {path} is missing; build the project first")
    return [(label, str(path.resolve())) for label, path in programs]


def measure(programs, runs, env, xvfb):
    """Samples of each program: (round, wall s, CPU s, peak KiB, X server CPU
    s in the run, X server CPU s after it)."""
    bare_path = programs[0][1]
    # Caches (files, fonts, the Hall-of-Fame file) warm, outside the figures.
    for _ in range(WARM_UP_RUNS):
        for _, path in programs:
            run_once(path, env)
    samples = {label: [] for label, _ in programs}
    order = list(range(len(programs)))
    shuffler = random.Random(len(programs) * 1000 + runs)
    for round_number in range(runs):
        shuffler.shuffle(order)
        for index in order:
            label, path = programs[index]
            # Each measured run follows the same program, whatever ran before.
            run_once(bare_path, env)
            xvfb.wait_quiet()
            x_before = xvfb.cpu_seconds()
            wall, cpu, rss = run_once(path, env)
            x_after = xvfb.cpu_seconds()
            xvfb.wait_quiet()
            x_quiet = xvfb.cpu_seconds()
            if x_before is None:
                x_before = x_after = x_quiet = float("nan")
            samples[label].append(
                (round_number, wall, cpu, rss, x_after - x_before, x_quiet - x_after))
    return samples


def summarise(programs, samples):
    bare = samples[BARE]
    bare_wall = statistics.median(wall for _, wall, _, _, _, _ in bare)
    bare_cpu = statistics.median(cpu for _, _, cpu, _, _, _ in bare)
    bare_rss = statistics.median(rss for _, _, _, rss, _, _ in bare)
    bare_by_round = {round_number: wall for round_number, wall, _, _, _, _ in bare}
    rows = []
    for label, _ in programs:
        own = samples[label]
        walls = [wall for _, wall, _, _, _, _ in own]
        row = {
            "program": label,
            "runs": len(own),
            "median_ms": statistics.median(walls) * 1e3,
            "min_ms": min(walls) * 1e3,
            "cpu_median_ms": statistics.median(cpu for _, _, cpu, _, _, _ in own) * 1e3,
            # The server's CPU comes in coarse slices: the mean says more.
            "x_cpu_mean_ms": statistics.fmean(x for _, _, _, _, x, _ in own) * 1e3,
            "x_after_mean_ms": statistics.fmean(x for _, _, _, _, _, x in own) * 1e3,
            "peak_rss_mib": statistics.median(rss for _, _, _, rss, _, _ in own) / 1024,
        }
        if label != BARE:
            row["ratio"] = row["median_ms"] / (bare_wall * 1e3)
            row["paired_ratio_median"] = statistics.median(
                wall / bare_by_round[round_number] for round_number, wall, _, _, _, _ in own)
            row["cpu_ratio"] = row["cpu_median_ms"] / (bare_cpu * 1e3)
            row["rss_over_bare_mib"] = row["peak_rss_mib"] - bare_rss / 1024
            row["start_ok"] = row["ratio"] <= START_GOAL
            row["memory_ok"] = row["rss_over_bare_mib"] <= MEMORY_GOAL_MIB
        rows.append(row)
    return rows


def print_report(rows, where, runs):
    print(f"Start to first painted frame, {runs} rounds, {where}")
    print(f"goals: start <= {START_GOAL:.2f} x bare, peak RSS <= bare + {MEMORY_GOAL_MIB:g} MiB")
    print("every measured run follows a bare window's, the X server quiet;"
          " wall: spawn to exit (median, min; ratio: of the medians;"
          " paired: median of run / bare of the same round); cpu: user+system;"
          " X, X after: the server's CPU in the run and after it (means)")
    print(f"{'program':<20}{'wall ms':>8}{'min':>7}{'ratio':>7}{'paired':>8}"
          f"{'cpu ms':>8}{'ratio':>7}{'X ms':>7}{'after':>7}{'RSS MiB':>9}{'+MiB':>7}  verdict")
    for row in rows:
        line = f"{row['program']:<20}{row['median_ms']:>8.1f}{row['min_ms']:>7.1f}"
        if "ratio" in row:
            verdict = ", ".join([
                "start ok" if row["start_ok"] else "start SLOW",
                "memory ok" if row["memory_ok"] else "memory OVER"])
            line += (f"{row['ratio']:>7.2f}{row['paired_ratio_median']:>8.2f}"
                     f"{row['cpu_median_ms']:>8.1f}{row['cpu_ratio']:>7.2f}"
                     f"{row['x_cpu_mean_ms']:>7.1f}{row['x_after_mean_ms']:>7.1f}"
                     f"{row['peak_rss_mib']:>9.1f}{row['rss_over_bare_mib']:>+7.2f}  {verdict}")
        else:
            line += (f"{'':>7}{'':>8}{row['cpu_median_ms']:>8.1f}{'':>7}"
                     f"{row['x_cpu_mean_ms']:>7.1f}{row['x_after_mean_ms']:>7.1f}"
                     f"{row['peak_rss_mib']:>9.1f}")
        print(line)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", default="build/bench-bin", help="folder of the built programs")
    parser.add_argument("--before", help="folder of another build's programs, measured alongside")
    parser.add_argument("--runs", type=int, default=30)
    parser.add_argument("--editions", default=",".join(EDITIONS))
    parser.add_argument("--offscreen", action="store_true",
                        help="use Qt's offscreen platform instead of an X server")
    parser.add_argument("--wine", action="store_true",
                        help="run the Windows programs (.exe) under Wine, with a window manager")
    parser.add_argument("--no-session-bus", action="store_true",
                        help="run the programs without a D-Bus session bus")
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    editions = [e for e in args.editions.split(",") if e]
    unknown = set(editions) - set(EDITIONS)
    if unknown:
        parser.error(f"unknown editions: {', '.join(sorted(unknown))}")

    env = {k: v for k, v in os.environ.items()
           if not k.startswith("QT_") and k not in ("WAYLAND_DISPLAY", "DISPLAY")}
    xvfb = Xvfb()
    wm = None
    bus = None
    with tempfile.TemporaryDirectory(prefix="tilvane-startup-") as drive:
        # Edition 3's Hall of Fame lies below this "system drive", not in /var/tmp.
        Path(drive, "var/tmp").mkdir(parents=True)
        env["SystemDrive"] = drive
        env.setdefault("XDG_RUNTIME_DIR", tempfile.mkdtemp(prefix="runtime-", dir=drive))
        try:
            if args.wine:
                if not xvfb.start():
                    sys.exit("startup.py: --wine needs Xvfb")
                env["DISPLAY"] = xvfb.display
                wm = start_wine(env, drive)
                where = f"Wine on Xvfb {xvfb.display} 1920x1080x24 with openbox"
            elif not args.offscreen and xvfb.start():
                env["DISPLAY"] = xvfb.display
                env["QT_QPA_PLATFORM"] = "xcb"
                where = f"Xvfb {xvfb.display} 1920x1080x24, no window manager"
            else:
                if not args.offscreen:
                    print("note: Xvfb is missing or would not start; using QT_QPA_PLATFORM=offscreen,"
                          " which paints but shows nothing", file=sys.stderr)
                env["QT_QPA_PLATFORM"] = "offscreen"
                where = "QT_QPA_PLATFORM=offscreen"
            if args.no_session_bus:
                env.pop("DBUS_SESSION_BUS_ADDRESS", None)
                where += ", no session bus"
            else:
                bus = start_session_bus(env)
                where += ", a session bus" if bus else ", no session bus (dbus-daemon is missing)"
            bin_dirs = [("", args.bin)]
            if args.before:
                bin_dirs = [("after", args.bin), ("before", args.before)]
            suffix = ".exe" if args.wine else ""
            programs = programs_of(bin_dirs, editions, suffix)
            samples = measure(programs, args.runs, env, xvfb)
        finally:
            if bus:
                bus.terminate()
                bus.wait()
            if wm:
                stop_wine(env, wm)
            xvfb.stop()
    rows = summarise(programs, samples)
    print_report(rows, where, args.runs)
    if args.json:
        Path(args.json).write_text(json.dumps({"where": where, "rows": rows}, indent=2) + "\n")


if __name__ == "__main__":
    main()
