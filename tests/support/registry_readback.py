"""What the registration tests share: Windows paths of build files, the
registry read back through registry_dump.exe, and checks that count failures."""
import json
import os
import subprocess

BIN = os.path.join(os.environ["BUILD_DIR"], "bin")
WINE_RUN = os.environ["WINE_RUN"]

failures = []


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def dump(hive, *keys):
    """{key path (lower case): {value name: text}} of the keys (each with its subkeys,
    or alone after "-1") below the hive (HKCU or HKLM, optionally with a path)."""
    command = [WINE_RUN, os.path.join(BIN, "registry_dump.exe"), hive, *keys]
    # A Wine start now and then ends without output on a loaded machine: ask again.
    for _ in range(3):
        result = subprocess.run(command, cwd=BIN, capture_output=True)
        if result.returncode != 0:
            return {}
        if result.stdout.strip():
            return {key.lower(): values for key, values in json.loads(result.stdout.decode("utf-8")).items()}
    raise RuntimeError("registry_dump printed nothing: " + result.stderr.decode("utf-8", "replace"))


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def expect(keys, key, name, value, where):
    got = keys.get(key.lower(), {}).get(name)
    check(got == value, f"{where}: {key} [{name or '(default)'}] = {got!r}, expected {value!r}")


def finish(name):
    print(f"{name}: {len(failures)} failed")
    return 1 if failures else 0
