"""The HID base through the kernel: basesim-gadget serves the simulated base
on a USB HID gadget (1881:0150, 64-byte reports); the host's usbhid and
hid-generic drivers give /dev/hidraw0. The client is examples/vexor-listen,
built in the guest's root against the installed libvexorapi-dev (scripts/lab
builds it there), running on the installed libvexorapi1 with Debian's
unmodified libhidapi-hidraw0."""

import collections
import json
import os
import queue
import socket
import statistics
import subprocess
import threading
import time
import unittest

import lab

BASE_HID_ID = "0003:00001881:00000150"
CONTROL = "/run/basesim.sock"
LISTEN = "/opt/lab/vexor-listen/vexor-listen"


def output_report(command, payload=b""):
    """An output report as the base receives it: the library writes 64 bytes,
    the report number 0 first, and hidraw sends what follows it (63 bytes):
    kind 1, the command, the payload, zeros."""
    return (bytes([0x01, command]) + payload).ljust(63, b"\0").hex()


# The opening sequence as docs/vexorapi.md gives it: frequencies A and A
# (first - 0x20, second, first XOR second), stop vote, "Welcome" on line 1,
# "VexorLite" on line 2 (16 bytes, padded with spaces), command 45.
OPENING = [
    output_report(0x10, bytes([ord("A") - 0x20, ord("A"), 0])),
    output_report(0x12),
    output_report(0x13, b"Welcome".ljust(16)),
    output_report(0x14, b"VexorLite".ljust(16)),
    output_report(0x2D),
]


class Listener:
    """vexor-listen as a child process (`command` runs it; its standard error
    goes to `errors`). A thread collects its lines, each with the time it was
    read, and its votes as (time, remote, answer)."""

    def __init__(self, command, env=None, errors=subprocess.STDOUT):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=errors, text=True, bufsize=1, env=env)
        self.changed = threading.Condition()
        self.lines = []
        self.votes = []
        self.ended = False
        self.cursor = 0  # lines before it were consumed by wait_for_line
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            stamp, words = time.time(), line.split()
            with self.changed:
                self.lines.append(line.rstrip("\n"))
                if words[:1] == ["vote"] and "remote" in words:
                    self.votes.append((stamp, words[words.index("remote") + 1],
                                       words[words.index("answer") + 1]))
                self.changed.notify_all()
        with self.changed:
            self.ended = True
            self.changed.notify_all()

    def command(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def wait(self, condition, what, timeout=lab.EVENTUALLY):
        with self.changed:
            if not self.changed.wait_for(lambda: self.ended or condition(), timeout) or not condition():
                raise AssertionError("vexor-listen did not print %s (%s); its last lines: %r" % (
                    what, "it ended" if self.ended else "timed out", self.lines[-20:]))

    def wait_for_line(self, *texts, timeout=lab.EVENTUALLY):
        """Waits for the next line, after those consumed before, that is one of
        `texts`; returns it."""
        def found():
            return next((i for i in range(self.cursor, len(self.lines)) if self.lines[i] in texts), None)

        self.wait(lambda: found() is not None, " or ".join(texts), timeout)
        with self.changed:
            index = found()
            self.cursor = index + 1
            return self.lines[index]

    def wait_for_votes(self, count):
        self.wait(lambda: len(self.votes) >= count, "%d votes" % count, timeout=3 * lab.EVENTUALLY)

    def stop(self, timeout=lab.EVENTUALLY):
        if self.process.poll() is None:
            self.command("quit")
            self.process.wait(timeout)


class BaseControl:
    """The control channel of basesim-gadget (one connection, one line each way)."""

    def __init__(self, path):
        self.socket = lab.wait_until(lambda: self._connect(path), what="basesim-gadget's control socket")
        self.replies = self.socket.makefile("r")

    @staticmethod
    def _connect(path):
        try:
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.connect(path)
            return s
        except OSError:
            return None

    def __call__(self, line):
        self.socket.sendall((line + "\n").encode())
        reply = self.replies.readline().strip()
        if not reply.startswith("ok"):
            raise AssertionError("basesim-gadget answered %r to %r" % (reply, line))
        return reply

    def votes(self, remotes, answer="B"):
        """Sends one vote per remote, twelve to a report."""
        for first in range(0, len(remotes), 12):
            self("vote " + " ".join("%06x %s" % (r, answer) for r in remotes[first:first + 12]))

    def close(self):
        self.socket.close()


class BaseFixture:
    """basesim-gadget serving the base, its control channel, and a client that
    has printed "base ready" (the subclass's start_client). Its figures are
    named FIGURES.<name>; the gadget's log is GADGET_LOG in the run's folder."""

    FIGURES = "base"
    GADGET_LOG = "basesim-gadget.jsonl"

    @classmethod
    def setUpClass(cls):
        cls.log_path = os.path.join(lab.RESULTS, cls.GADGET_LOG)
        cls.gadget = subprocess.Popen(
            [lab.tool("basesim-gadget"), "--node", "/dev/hidg0", "--gadget", lab.gadget_dir("base"),
             "--udc", lab.CONTROLLERS["base"], "--control", CONTROL, "--log", cls.log_path],
            stdout=subprocess.PIPE, text=True)
        cls.addClassCleanup(cls.gadget.wait, lab.EVENTUALLY)
        cls.addClassCleanup(cls.gadget.terminate)
        assert cls.gadget.stdout.readline().startswith("basesim-gadget ready")
        cls.control = BaseControl(CONTROL)
        cls.addClassCleanup(cls.control.close)
        node = lab.wait_until(lambda: lab.hidraw_nodes(BASE_HID_ID), what="the base's hidraw node")[0]
        lab.wait_for_node(node)
        cls.listener = cls.start_client()
        cls.next_remote = 0x100000

    def remotes(self, count):
        first = type(self).next_remote
        type(self).next_remote += count
        return list(range(first, first + count))

    def gadget_log(self, event):
        with open(self.log_path) as f:
            return [r for r in map(json.loads, f) if r["event"] == event]

    def assert_each_once(self, remotes, since):
        got = collections.Counter(remote for _, remote, _ in self.listener.votes[since:])
        self.assertEqual(max(got.values()), 1, "a vote was delivered twice")
        self.assertEqual(set(got), {"%06x" % r for r in remotes})

    def check_votes(self, count):
        """Sends `count` votes (a multiple of 12); each arrives once, no gap is
        reported. Records the rate and the latency figures."""
        since = len(self.listener.votes)
        reports_before = len(self.vote_reports())
        remotes = self.remotes(count)
        started = time.time()
        self.control.votes(remotes)
        self.listener.wait_for_votes(since + len(remotes))
        took = time.time() - started
        self.assert_each_once(remotes, since)
        self.assertFalse([line for line in self.listener.lines if line.startswith("gap")])
        # Each report's last vote printed, against the time the gadget took
        # the report for the host.
        handed = self.vote_reports()[reports_before:]
        printed = [stamp for stamp, _, _ in self.listener.votes[since:]][11::12]
        self.assertEqual(len(handed), len(printed))
        delays = sorted(p - h for p, h in zip(printed, handed))
        lab.record_figure(self.FIGURES + ".votes", len(remotes))
        lab.record_figure(self.FIGURES + ".rate", "%.0f" % (len(remotes) / took), "votes/s")
        lab.record_figure(self.FIGURES + ".latency.median", "%.1f" % (1000 * statistics.median(delays)), "ms")
        lab.record_figure(self.FIGURES + ".latency.p95", "%.1f" % (1000 * delays[int(0.95 * len(delays))]), "ms")

    def check_votes_after_replugging(self, timeout=lab.EVENTUALLY):
        """Unplugs the base while votes flow and plugs it back: the client
        reports it lost and ready again (within `timeout` each), and the
        votes sent then arrive once each."""
        since = len(self.listener.votes)
        self.control.votes(self.remotes(120))
        self.control("unplug")
        self.listener.wait_for_line("base lost", timeout=timeout)
        self.control("plug")
        plugged = time.monotonic()
        self.listener.wait_for_line("base ready", timeout=timeout)
        lab.record_figure(self.FIGURES + ".replug.ready_after", "%.1f" % (time.monotonic() - plugged), "s")
        after = len(self.listener.votes)
        remotes = self.remotes(240)
        self.control.votes(remotes)
        self.listener.wait_for_votes(after + len(remotes))
        self.assert_each_once(remotes, after)
        lab.record_figure(self.FIGURES + ".unplug.delivered_before", after - since, "of 120 votes")

    def record_single_report_latency(self, rounds=5):
        """Sends one report of 12 votes at a time, each once the previous one's
        votes arrived, and records the median time from the gadget taking a
        report to the client printing its last vote: the delay of the path
        alone, without a queue of reports ahead."""
        delays = []
        for _ in range(rounds):
            since = len(self.listener.votes)
            reports_before = len(self.vote_reports())
            self.control.votes(self.remotes(12))
            self.listener.wait_for_votes(since + 12)
            delays.append(self.listener.votes[since + 11][0] - self.vote_reports()[reports_before])
        lab.record_figure(self.FIGURES + ".latency.single_report", "%.1f" % (1000 * statistics.median(delays)), "ms")

    def vote_reports(self):
        """When the gadget took each vote report for the host (seconds)."""
        return [r["t"] / 1e6 for r in self.gadget_log("input") if r["bytes"].startswith("0230")]


class BaseLab(BaseFixture, unittest.TestCase):
    @classmethod
    def start_client(cls):
        if not os.access(LISTEN, os.X_OK):
            raise AssertionError("%s is missing: scripts/lab builds it in the guest's root" % LISTEN)
        listener = Listener([LISTEN])
        cls.addClassCleanup(listener.stop)
        listener.wait_for_line("base ready")
        return listener

    def test_1_the_opening_sequence_reaches_the_gadget_as_documented(self):
        self.assertEqual([r["bytes"] for r in self.gadget_log("output")][:len(OPENING)], OPENING)

    def test_2_a_thousand_votes_arrive_once_each(self):
        self.check_votes(1200)

    def test_3_votes_flow_again_after_unplugging_mid_vote(self):
        self.check_votes_after_replugging()

    def test_4_a_client_opening_while_votes_flow_loses_and_repeats_nothing(self):
        since = len(self.listener.votes)
        remotes = self.remotes(600)
        sender = threading.Thread(target=self.control.votes, args=(remotes,))
        sender.start()
        self.listener.wait(lambda: len(self.listener.votes) > since + 100, "the first votes")
        opened_at = len(self.listener.lines)
        self.listener.command("open")
        self.assertEqual(self.listener.wait_for_line("ok", "failed"), "ok")
        sender.join()
        self.listener.wait_for_votes(since + len(remotes))
        self.assert_each_once(remotes, since)
        # The opening stops the vote once; the base answers once.
        self.assertEqual(self.listener.lines[opened_at:].count("vote stopped"), 1, self.listener.lines[opened_at:])
        self.assertEqual(self.listener.process.poll(), None)


if __name__ == "__main__":
    unittest.main()
