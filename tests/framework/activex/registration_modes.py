#!/usr/bin/env python3
"""Where registration lands, one registering process per row: a program named
heat.exe (the registration driver copied under that name) registers
machine-wide unless DllInstall asks for "user"; any other program, regsvr32
included, registers for the current user."""
import os
import shutil
import sys
import tempfile

from registration_common import BIN, DLL, check, finish, registered_in, wine, winpath

# (program name, action, command line or None, where the class lands)
ROWS = [
    ("heat.exe", "register", None, "HKLM"),
    ("heat.exe", "install", "USER", "HKCU"),
    ("heat.exe", "install", "users", "HKLM"),
    ("heat.exe", "install", None, "HKLM"),
    ("HEAT.EXE", "register", None, "HKCU"),
]
UNDO = {"register": "unregister", "install": "uninstall"}


def drive(program, action, command):
    args = [winpath(program), winpath(DLL), action] + ([command] if command else [])
    return wine(*args).returncode


def main():
    work = tempfile.mkdtemp(prefix="registration-modes-")
    try:
        for name, action, command, hive in ROWS:
            # One folder per name: the file system may not tell the cases apart.
            folder = os.path.join(work, name.replace(".", "_"))
            os.makedirs(folder, exist_ok=True)
            program = os.path.join(folder, name)
            shutil.copy(os.path.join(BIN, "registration_driver.exe"), program)
            row = f"{name} {action}" + (f' "{command}"' if command else "")
            print(f"-- {row}: {hive}")
            check(drive(program, action, command) == 0, f"{row}: succeeds")
            check(registered_in(hive), f"{row}: the class is below {hive}")
            other = "HKCU" if hive == "HKLM" else "HKLM"
            check(not registered_in(other), f"{row}: nothing below {other}")
            check(drive(program, UNDO[action], command) == 0, f"{row}: undoing succeeds")
            check(not registered_in(hive), f"{row}: undone")
        for word in ["user", "USER"]:
            print(f"-- regsvr32 /n /i:{word}: HKCU")
            check(wine("regsvr32", "/s", "/n", f"/i:{word}", winpath(DLL)).returncode == 0, f"/i:{word}")
            check(registered_in("HKCU") and not registered_in("HKLM"), f"/i:{word}: below HKCU only")
            check(wine("regsvr32", "/s", "/u", "/n", f"/i:{word}", winpath(DLL)).returncode == 0, f"/u /i:{word}")
            check(not registered_in("HKCU"), f"/i:{word}: undone")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return finish("registration modes")


if __name__ == "__main__":
    sys.exit(main())
