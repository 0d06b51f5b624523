"""VexorAPI.dll under Wine, through Wine's own HID stack: vexor-listen.exe
(examples/vexor-listen cross-built with VexorAPI.dll by scripts/lab) runs
under wine64 in the prefix that scripts/lab made in the guest's root, against
the base that basesim-gadget serves as in the base scenario. Wine's HID bus
driver (winebus.sys, its udev bus) reads the base's /dev/hidraw node; the
DLL's hidapi finds it through Wine's hid.dll and setup functions. Wine's
own error and warning messages go to the run's folder (wine.log)."""

import os
import subprocess
import time
import unittest

import lab
import scenario_base as base

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
PREFIX = "/opt/lab/wine-prefix"
# Wine runs as root: its HID bus driver opens /dev/hidraw* as the user running
# Wine, and the base's node is root's alone here (the shipped rule's uaccess
# tag gives access to a seat's user; the guest has no seat). As another user
# the driver logs 'Unable to open udev device "/dev/hidraw0": Permission
# denied' and the base is never listed.
ENV = {"HOME": "/root", "PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "WINEPREFIX": PREFIX,
       "WINEDEBUG": "fixme-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
# Wine's first process starts its services and drivers under the emulator.
STARTUP = 6 * lab.EVENTUALLY
TIME_LIMIT = 300


def stop_wine():
    subprocess.run([WINESERVER, "-k"], env=ENV, timeout=lab.EVENTUALLY)
    subprocess.run([WINESERVER, "-w"], env=ENV, timeout=lab.EVENTUALLY)


class WineLab(base.BaseFixture, unittest.TestCase):
    FIGURES = "wine"
    GADGET_LOG = "basesim-gadget-wine.jsonl"

    @classmethod
    def start_client(cls):
        program = os.path.join(lab.WINDOWS, "vexor-listen.exe")
        for path in (WINE, os.path.join(PREFIX, "system.reg"), program):
            if not os.path.exists(path):
                raise AssertionError("%s is missing (scripts/lab puts it in place)" % path)
        cls.addClassCleanup(stop_wine)
        started = time.monotonic()
        trace = open(os.path.join(lab.RESULTS, "wine.log"), "w")
        cls.addClassCleanup(trace.close)
        listener = base.Listener([WINE, program], env=ENV, errors=trace)
        cls.addClassCleanup(listener.stop, STARTUP)
        listener.wait_for_line("base ready", timeout=STARTUP)
        lab.record_figure("wine.base_ready_after", "%.0f" % (time.monotonic() - started), "s")
        return listener

    def test_1_the_opening_sequence_reaches_the_gadget(self):
        # hidapi on Windows pads each write to the output report length that
        # Windows gives (65: the report number and 64 bytes); the number 0 is
        # not sent, so the base gets the library's 63 bytes and a zero.
        opening = [report + "00" for report in base.OPENING]
        self.assertEqual([r["bytes"] for r in self.gadget_log("output")][:len(opening)], opening)

    def test_2_votes_arrive_once_each(self):
        self.check_votes(1200)
        self.record_single_report_latency()

    def test_3_votes_flow_again_after_unplugging_mid_vote(self):
        self.check_votes_after_replugging(timeout=STARTUP)


if __name__ == "__main__":
    unittest.main()
