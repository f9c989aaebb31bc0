#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Start-up to first painted frame, and peak memory, of each program against
the bare window.

Runs tilvane-barewindow and the tilvane-firstframe-v* programs, which end
right after their first painted frame, interleaved (bare, v1, bare, v2, ...)
so that they share the machine's noise, under an Xvfb started for the run.
Wall time runs from spawn to exit; peak memory is the child's maximum
resident set size.

    bench/startup.py --bin build/bench-bin [--runs 30] [--editions 1,31] [--json FILE]
    bench/startup.py --wine --bin build-windows/bench-bin --editions 31

With --wine the Windows programs (.exe) run under Wine in a prefix made for
the run, with openbox managing the screen; the peak memory is then that of
Wine's loader process and says little.
"""

import argparse
import json
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

EDITIONS = ["1", "2", "3", "31"]
BARE = "tilvane-barewindow"
START_GOAL = 1.10
MEMORY_GOAL_MIB = 4.0
# A program that has not painted by then never will.
TIMEOUT_S = 20.0
WARM_UP_RUNS = 3


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

    def stop(self):
        if self.process:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


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


def measure(bin_dir, editions, runs, env):
    programs = [BARE] + [f"tilvane-firstframe-v{e}" for e in editions]
    suffix = ".exe" if "WINEPREFIX" in env else ""
    paths = {name: str(Path(bin_dir, name + suffix).resolve()) for name in programs}
    for name, path in paths.items():
        if not os.access(path, os.R_OK if suffix else os.X_OK):
            sys.exit(f"startup.py: {path} is missing; build the project first")
    # Caches (files, fonts, the Hall-of-Fame file) warm, outside the figures.
    for _ in range(WARM_UP_RUNS):
        for path in paths.values():
            run_once(path, env)
    # Each program's runs, and for each the bare run just before it.
    samples = {name: [] for name in programs}
    paired_bare = {name: [] for name in programs}
    for _ in range(runs):
        for name in programs[1:]:
            bare = run_once(paths[BARE], env)
            own = run_once(paths[name], env)
            samples[BARE].append(bare)
            samples[name].append(own)
            paired_bare[name].append(bare)
    return programs, samples, paired_bare


def summarise(programs, samples, paired_bare):
    bare_rss = statistics.median(rss for _, _, rss in samples[BARE])
    bare_cpu = statistics.median(cpu for _, cpu, _ in samples[BARE])
    rows = []
    for name in programs:
        times = [t for t, _, _ in samples[name]]
        cpu = statistics.median(c for _, c, _ in samples[name])
        rss = statistics.median(r for _, _, r in samples[name])
        row = {
            "program": name,
            "runs": len(times),
            "median_ms": statistics.median(times) * 1e3,
            "min_ms": min(times) * 1e3,
            "cpu_median_ms": cpu * 1e3,
            "peak_rss_mib": rss / 1024,
        }
        if name != BARE:
            bare_times = [t for t, _, _ in paired_bare[name]]
            row["cpu_ratio"] = cpu / bare_cpu
            row["bare_median_ms"] = statistics.median(bare_times) * 1e3
            row["ratio"] = row["median_ms"] / row["bare_median_ms"]
            row["paired_ratio_median"] = statistics.median(
                own / bare for own, bare in zip(times, bare_times))
            row["rss_over_bare_mib"] = (rss - bare_rss) / 1024
            row["start_ok"] = row["ratio"] <= START_GOAL
            row["memory_ok"] = row["rss_over_bare_mib"] <= MEMORY_GOAL_MIB
        rows.append(row)
    return rows


def print_report(rows, where, runs):
    print(f"Start to first painted frame, {runs} interleaved runs each, {where}")
    print(f"goals: start <= {START_GOAL:.2f} x bare, peak RSS <= bare + {MEMORY_GOAL_MIB:g} MiB")
    print("wall: spawn to exit (median, min; bare: median of the bare runs just before;"
          " ratio: of the medians; paired: median of run/bare-before); cpu: user+system")
    print(f"{'program':<24}{'wall ms':>8}{'min':>7}{'bare':>7}{'ratio':>7}{'paired':>8}"
          f"{'cpu ms':>8}{'ratio':>7}{'RSS MiB':>9}{'+MiB':>7}  verdict")
    for row in rows:
        line = (f"{row['program']:<24}{row['median_ms']:>8.1f}{row['min_ms']:>7.1f}")
        if "ratio" in row:
            verdict = ", ".join([
                "start ok" if row["start_ok"] else "start SLOW",
                "memory ok" if row["memory_ok"] else "memory OVER"])
            line += (f"{row['bare_median_ms']:>7.1f}{row['ratio']:>7.2f}"
                     f"{row['paired_ratio_median']:>8.2f}{row['cpu_median_ms']:>8.1f}"
                     f"{row['cpu_ratio']:>7.2f}{row['peak_rss_mib']:>9.1f}"
                     f"{row['rss_over_bare_mib']:>+7.2f}  {verdict}")
        else:
            line += (f"{'':>7}{'':>7}{'':>8}{row['cpu_median_ms']:>8.1f}{'':>7}"
                     f"{row['peak_rss_mib']:>9.1f}")
        print(line)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", default="build/bench-bin", help="folder of the built programs")
    parser.add_argument("--runs", type=int, default=30)
    parser.add_argument("--editions", default=",".join(EDITIONS))
    parser.add_argument("--offscreen", action="store_true",
                        help="use Qt's offscreen platform instead of an X server")
    parser.add_argument("--wine", action="store_true",
                        help="run the Windows programs (.exe) under Wine, with a window manager")
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
            programs, samples, paired_bare = measure(args.bin, editions, args.runs, env)
        finally:
            if wm:
                stop_wine(env, wm)
            xvfb.stop()
    rows = summarise(programs, samples, paired_bare)
    print_report(rows, where, args.runs)
    if args.json:
        Path(args.json).write_text(json.dumps({"where": where, "rows": rows}, indent=2) + "\n")


if __name__ == "__main__":
    main()
