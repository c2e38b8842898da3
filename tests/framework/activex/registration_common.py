"""What the registration tests of the plug-in library share: the library, its
identities, Wine runs in the test's own prefix and reading the registry back."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.environ["SOURCE_DIR"], "tests", "support"))
from registry_readback import BIN, WINE_RUN, check, dump, expect, failures, finish, winpath  # noqa: E402,F401

DLL = os.path.join(BIN, "npparvelplugin.dll")
CLSID = "{B648CEE1-0175-5981-90F3-4ED94064DFDF}"
LIBID = "{EFDBA834-72BF-548A-9A2B-CD8F7CF4E298}"
APPID = "{B415CD14-B45D-4BCA-B552-B06175C38606}"
TEXT = "Quorvan Stagecast Plugin V1.0.0.0"
MIME = r"MIME\Database\Content Type\application/x-parvelplugin"
PLUGIN_ID = "@quorvan.com/parvelplugin"
CLASSES = "Software\\Classes\\"
EXT = r"Software\Microsoft\Windows\CurrentVersion\Ext"
# Every key of ours below a classes root.
OWNED = ["VQuorvanMG.parvelplugin", "VQuorvanMG.parvelplugin.1", "CLSID\\" + CLSID, "AppID\\" + APPID,
         "AppID\\npparvelplugin.dll", MIME]


def wine(*args, cwd=BIN):
    return subprocess.run([WINE_RUN, *args], cwd=cwd, capture_output=True)


def regsvr(*flags):
    return wine("regsvr32", "/s", *flags, winpath(DLL)).returncode


def classes_dump(hive):
    """Our class keys below the hive's classes root."""
    return dump(hive, *[CLASSES + key for key in OWNED])


def registered_in(hive):
    """Whether the control's class key is below the hive's classes root."""
    return (CLASSES + "CLSID\\" + CLSID).lower() in classes_dump(hive)
