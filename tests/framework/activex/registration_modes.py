#!/usr/bin/env python3
"""Where registration lands, one registering process per row: a program named
heat.exe (the registration driver copied under that name) registers
machine-wide unless DllInstall asks for "user"; any other program, regsvr32
included, registers for the current user."""
import os
import shutil
import sys
import tempfile

from registration_common import BIN, DLL, check, dump, finish, registered_in, wine, winpath

# (program name, action, command line or None, where the class lands)
ROWS = [
    ("heat.exe", "register", None, "HKLM"),
    ("heat.exe", "install", "USER", "HKCU"),
    ("heat.exe", "install", "users", "HKLM"),
    ("heat.exe", "install", None, "HKLM"),
    ("HEAT.EXE", "register", None, "HKCU"),
]
UNDO = {"register": "unregister", "install": "uninstall"}
# The system's interfaces that the type library restates: never ours to write or remove.
SYSTEM_INTERFACES = [r"Software\Classes\Interface\{A6EF9860-C720-11D0-9337-00A0C90DCAA9}",
                     r"Software\Classes\Interface\{6D5140C1-7436-11CE-8034-00AA006009FA}"]


def drive(program, action, command):
    args = [winpath(program), winpath(DLL), action] + ([command] if command else [])
    return wine(*args).returncode


def main():
    work = tempfile.mkdtemp(prefix="registration-modes-")
    system_before = dump("HKLM", *SYSTEM_INTERFACES)
    check(len(system_before) > 0, "the system's IDispatchEx and IServiceProvider are registered")
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
            check(dump("HKLM", *SYSTEM_INTERFACES) == system_before, f"{row}: the system's interfaces as they were")
            check(drive(program, UNDO[action], command) == 0, f"{row}: undoing succeeds")
            check(not registered_in(hive), f"{row}: undone")
            check(dump("HKLM", *SYSTEM_INTERFACES) == system_before, f"{row}: undone, the system's interfaces kept")
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
