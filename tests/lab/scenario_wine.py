"""Wine's HID stack and the base: with the base plugged in, a fresh Wine
prefix is made (wineboot) with the HID bus driver's trace on, and Wine's
device registry is asked whether the base became a HID device there. The
trace goes to the run's folder (wine.log) for the diagnosis."""

import os
import subprocess
import time
import unittest

import lab

BASE_HID_ID = "0003:00001881:00000150"
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
# wineboot alone takes minutes under the emulator.
TIME_LIMIT = 720


class WineLab(unittest.TestCase):
    def test_wines_hid_stack_lists_the_base(self):
        if not os.access(WINE, os.X_OK):
            raise AssertionError("%s is missing from the guest's root" % WINE)
        lab.plug("base")
        self.addCleanup(lab.unplug, "base")
        node = lab.wait_until(lambda: lab.hidraw_nodes(BASE_HID_ID), what="the base's hidraw node")[0]
        lab.wait_for_node(node)
        env = {"HOME": "/root", "PATH": "/usr/bin:/bin", "WINEPREFIX": "/tmp/wine-prefix",
               "WINEDEBUG": "+hid,+plugplay,+hidp", "WINEDLLOVERRIDES": "mscoree,mshtml="}
        log_path = os.path.join(lab.RESULTS, "wine.log")
        with open(log_path, "w") as log:
            started = time.monotonic()
            # Without a 32-bit Wine, wineboot may never finish the 32-bit
            # half of the prefix; the prefix is usable once its registry is.
            boot = subprocess.Popen([WINE, "wineboot", "--init"], env=env, stdout=log, stderr=log)
            try:
                boot.wait(8 * lab.EVENTUALLY)
            except subprocess.TimeoutExpired:
                boot.kill()
                boot.wait()
            self.assertTrue(os.path.exists("/tmp/wine-prefix/system.reg"), "wineboot made no prefix")
            lab.record_figure("wine.wineboot", "%.0f" % (time.monotonic() - started), "s")
            before = self.hid_devices(env)
            # The bus driver starts its udev (hidraw) bus only when its SDL
            # bus is off or fails to start; without libSDL2 it does neither.
            subprocess.run([WINE, "reg", "add", r"HKLM\System\CurrentControlSet\Services\winebus",
                            "/v", "Enable SDL", "/t", "REG_DWORD", "/d", "0", "/f"],
                           env=env, stdout=log, stderr=log, timeout=4 * lab.EVENTUALLY)
            subprocess.run([WINESERVER, "-k"], env=env, timeout=lab.EVENTUALLY)
            subprocess.run([WINESERVER, "-w"], env=env, timeout=lab.EVENTUALLY)
            started = time.monotonic()
            listed = lab.wait_until(lambda: (lambda found: found if "VID_1881&PID_0150" in found else None)(
                self.hid_devices(env)), timeout=4 * lab.EVENTUALLY, what="the base in Wine's HID devices",
                fail=False) or self.hid_devices(env)
            lab.record_figure("wine.base_listed_after", "%.0f" % (time.monotonic() - started), "s")
            subprocess.run([WINESERVER, "-k"], env=env, timeout=lab.EVENTUALLY)
        print("HID devices before the option:", before)
        print("HID devices after:", listed)
        with open(log_path, errors="replace") as f:
            lines = f.read().splitlines()
        print("\n".join(line for line in lines if "hidraw" in line or "1881" in line or "udev" in line)[-6000:])
        self.assertIn("VID_1881&PID_0150", listed)

    @staticmethod
    def hid_devices(env):
        listed = subprocess.run([WINE, "reg", "query", r"HKLM\System\CurrentControlSet\Enum\HID"],
                                env=env, capture_output=True, text=True, timeout=4 * lab.EVENTUALLY)
        return " ".join(line.rsplit("\\", 1)[-1] for line in listed.stdout.upper().split() if "VID_" in line)


if __name__ == "__main__":
    unittest.main()
