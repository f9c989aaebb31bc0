# SPDX-License-Identifier: MIT
"""The program files of the Windows zip, read as Windows reads them: a
windowed program (no console), the version record that names its own
deliverable, its icon from 16 to 256 pixels, a manifest that declares it
long-path aware, and every library it and the libraries beside it import
from outside Windows itself inside the zip."""

import os
import re
import subprocess
import sys
import tempfile
import zipfile

OBJDUMP = "x86_64-w64-mingw32-objdump"
# Not Windows' own: what a cross-built Qt program needs shipped with it.
SHIPPED = re.compile(r"^(qt6.*|lib.*)\.dll$", re.IGNORECASE)
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run(*command):
    return subprocess.run(command, check=True, capture_output=True).stdout


def version_strings(exe):
    raw = run("wrestool", "-x", "--raw", "--type=16", exe)
    text = raw.decode("utf-16-le", errors="replace")
    # Each value follows its key, padded to 32 bits with NULs.
    return dict(re.findall(r"(\w+)\x00+([^\x00]*)\x00", text))


def fixed_versions(exe):
    raw = run("wrestool", "-x", "--raw", "--type=16", exe)
    at = raw.find(b"\xbd\x04\xef\xfe")
    check(at >= 0, f"{exe}: no fixed file information in the version record")
    words = [int.from_bytes(raw[at + 8 + 2 * i:at + 10 + 2 * i], "little") for i in range(8)]
    # (major, minor) of the file and the product version
    return (words[1], words[0]), (words[5], words[4])


def icon_sizes(exe, folder):
    icon = os.path.join(folder, os.path.basename(exe) + ".ico")
    with open(icon, "wb") as f:
        f.write(run("wrestool", "-x", "--type=group_icon", exe))
    listing = run("icotool", "-l", icon).decode()
    return {int(w) for w in re.findall(r"--width=(\d+)", listing)}


def manifest(exe):
    return run("wrestool", "-x", "--raw", "--type=24", exe).decode(errors="replace")


def imports(path):
    listing = run(OBJDUMP, "-p", path).decode(errors="replace")
    subsystem = re.search(r"^Subsystem\s+\S+\s+\((.*)\)", listing, re.MULTILINE)
    return re.findall(r"DLL Name: (\S+)", listing), subsystem.group(1) if subsystem else None


def main():
    archive, programs = sys.argv[1], sys.argv[2:]
    with tempfile.TemporaryDirectory() as folder, zipfile.ZipFile(archive) as packed:
        packed.extractall(folder)
        (top,) = os.listdir(folder)
        root = os.path.join(folder, top)
        shipped = {name.lower() for name in os.listdir(root)}
        for program in programs:
            exe = os.path.join(root, program + ".exe")
            if not check(os.path.isfile(exe), f"{program}.exe is not in the zip"):
                continue
            strings = version_strings(exe)
            expected = {"FileVersion": "1.00", "ProductVersion": "1.00", "ProductName": program,
                        "InternalName": program, "OriginalFilename": program + ".exe"}
            for key, value in expected.items():
                check(strings.get(key) == value,
                      f"{program}.exe: {key} is {strings.get(key)!r}, not {value!r}")
            file_version, product_version = fixed_versions(exe)
            check(file_version == (1, 0) and product_version == (1, 0),
                  f"{program}.exe: numeric versions {file_version} and {product_version}")
            sizes = icon_sizes(exe, folder)
            check({16, 32, 48, 256} <= sizes, f"{program}.exe: icon sizes {sorted(sizes)}")
            check(re.search(r"<longPathAware[^>]*>\s*true\s*</longPathAware>", manifest(exe)),
                  f"{program}.exe: its manifest does not declare long-path awareness")
            _, subsystem = imports(exe)
            check(subsystem == "Windows GUI", f"{program}.exe: subsystem {subsystem!r}")
        for folder_name, _, names in os.walk(root):
            for name in names:
                if not name.lower().endswith((".exe", ".dll")):
                    continue
                needed, _ = imports(os.path.join(folder_name, name))
                for dll in needed:
                    check(not SHIPPED.match(dll) or dll.lower() in shipped,
                          f"{name} needs {dll}, which the zip lacks")
        check(os.path.isfile(os.path.join(root, "platforms", "qwindows.dll")),
              "the zip has no windows platform plugin")
        for document in ("CREDITS.md", os.path.join("LICENSES", "Apache-2.0.txt")):
            check(os.path.isfile(os.path.join(root, document)), f"the zip has no {document}")
        icons = os.listdir(os.path.join(root, "Icons"))
        check(sorted(icons) == sorted(f"({n}).ico" for n in range(1, 201)),
              f"the zip's Icons folder holds {len(icons)} files, not (1).ico .. (200).ico")
    for failure in failures:
        print("FAIL", failure)
    print(f"{len(programs)} programs checked: {0 if failures else 1} passed, "
          f"{1 if failures else 0} failed")
    return 1 if failures else 0


sys.exit(main())
