# SPDX-License-Identifier: MIT
"""Runs a cross-built Qt Test program under Wine, in a Wine prefix of its own
that is gone afterwards, with the folders of the DLLs it needs on its path,
and prints its log:
    wine_test.py <program.exe> <DLL folder>... [-- <argument>...]"""

import os
import subprocess
import sys
import tempfile


def windows_path(path):
    # Wine's drive Z: is the Unix root.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    words = sys.argv[1:] + ["--"]
    program, *dll_folders = words[:words.index("--")]
    arguments = words[words.index("--") + 1:-1]
    with tempfile.TemporaryDirectory(prefix="tilvane-wine-") as folder:
        env = dict(os.environ, WINEPREFIX=os.path.join(folder, "prefix"), WINEARCH="win64",
                   WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                   WINEPATH=";".join(windows_path(f) for f in dll_folders))
        # A test program opens no window; no X server of the caller's is touched.
        env.pop("DISPLAY", None)
        try:
            subprocess.run(["wine", "wineboot", "--init"], env=env, check=True, timeout=300,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            # Without a console of Wine's, Qt Test would send its plain log
            # to the debugger's channel: it goes to a file instead.
            log = os.path.join(folder, "log.txt")
            status = subprocess.run(["wine", program, "-o", windows_path(log) + ",txt"] + arguments,
                                    env=env, stdin=subprocess.DEVNULL, timeout=500).returncode
            if os.path.exists(log):
                with open(log, encoding="utf-8", errors="replace") as f:
                    sys.stdout.write(f.read())
        finally:
            subprocess.run(["wineserver", "-k"], env=env, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=env, check=False, timeout=60)
    return status


if __name__ == "__main__":
    sys.exit(main())
