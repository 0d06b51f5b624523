"""What the lab's scenarios share, inside the guest: plugging the USB gadgets
in and out (tests/lab/gadget made them), finding the host-side device nodes
through udev, running programs as the lab's users, and recording figures.

The scenarios run as root in the guest; the programs under test run as the
users the guest's second stage added: `lab` (in dialout) and `outsider`."""

import grp
import os
import pwd
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import EVENTUALLY, wait_until  # noqa: E402,F401

# The simulators' build tree and the folder for logs and figures (shared with
# the host).
TOOLS = os.environ.get("LAB_TOOLS", "")
# The Windows client's folder (vexor-listen.exe beside VexorAPI.dll).
WINDOWS = os.environ.get("LAB_WINDOWS", "")
RESULTS = os.environ.get("LAB_RESULTS", "/tmp")
GADGETS = "/sys/kernel/config/usb_gadget"
CONTROLLERS = {"receiver": "dummy_udc.0", "base": "dummy_udc.1"}


TOOL_PATHS = {"rfsim": "bin/rfsim", "basesim-gadget": "tools/basesim/basesim-gadget"}


def tool(name):
    path = os.path.join(TOOLS, TOOL_PATHS[name])
    if not os.access(path, os.X_OK):
        raise AssertionError("the simulator %s is missing (LAB_TOOLS=%r)" % (path, TOOLS))
    return path


def gadget_dir(name):
    return os.path.join(GADGETS, name)


def plug(name):
    with open(os.path.join(gadget_dir(name), "UDC"), "w") as f:
        f.write(CONTROLLERS[name] + "\n")


def unplug(name):
    with open(os.path.join(gadget_dir(name), "UDC"), "w") as f:
        f.write("\n")


def is_plugged(name):
    with open(os.path.join(gadget_dir(name), "UDC")) as f:
        return f.read().strip() != ""


def udev_properties(node):
    """udev's properties of a device node ({} while udev does not know it)."""
    result = subprocess.run(["udevadm", "info", "--query=property", "--name", node],
                            capture_output=True, text=True)
    if result.returncode != 0:
        return {}
    return dict(line.split("=", 1) for line in result.stdout.splitlines() if "=" in line)


def settle():
    subprocess.run(["udevadm", "settle", "--timeout=%d" % EVENTUALLY], check=True)


def hidraw_nodes(hid_id):
    """The /dev/hidraw* nodes whose HID_ID (e.g. 0003:00001881:00000150) matches."""
    found = []
    for name in sorted(os.listdir("/sys/class/hidraw")):
        try:
            with open("/sys/class/hidraw/%s/device/uevent" % name) as f:
                if "HID_ID=%s" % hid_id in f.read().split("\n"):
                    found.append("/dev/" + name)
        except OSError:
            pass
    return found


def wait_for_node(path, present=True):
    """Waits until udev has handled `path` coming (its properties known) or
    going (the node gone)."""
    if present:
        wait_until(lambda: os.path.exists(path) and udev_properties(path), what="%s to appear" % path)
    else:
        wait_until(lambda: not os.path.exists(path), what="%s to go away" % path)
    settle()


def user_process_options(name):
    """Popen keyword arguments that run a program as user `name` with the
    groups /etc/group gives it, in its home folder, with a plain environment."""
    entry = pwd.getpwnam(name)
    groups = [g.gr_gid for g in grp.getgrall() if name in g.gr_mem]
    env = {"HOME": entry.pw_dir, "USER": name, "LOGNAME": name, "LANG": "C.UTF-8",
           "PATH": "/usr/local/bin:/usr/bin:/bin"}
    return {"user": entry.pw_uid, "group": entry.pw_gid, "extra_groups": groups,
            "cwd": entry.pw_dir, "env": env}


def record_figure(name, value, unit=""):
    """Adds one measured figure to the run's figures file (and the log)."""
    line = "%s %s %s" % (name, value, unit)
    print("figure:", line.strip())
    with open(os.path.join(RESULTS, "figures"), "a") as f:
        f.write(line.strip() + "\n")


class Stopwatch:
    def __init__(self):
        self.start = time.monotonic()

    def seconds(self):
        return time.monotonic() - self.start
