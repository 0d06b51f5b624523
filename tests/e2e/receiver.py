"""The receiver simulator (tools/rfsim) as a child process for process-level
tests and the receiver figures: start it on a pseudo-terminal behind
a stable link, send it commands, wait for its event lines and read its packet
log (JSON Lines)."""

import json
import os
import select
import shutil
import subprocess
import tempfile
import time

from harness import EVENTUALLY, wait_until


class Receiver:
    """rfsim on a pseudo-terminal reachable as `self.link` (or on the port that
    `port_args` name instead); its commands go to its standard input and its
    event lines are collected from its output."""

    def __init__(self, binary, *extra_args, directory=None, port_args=None):
        self.own_dir = directory is None  # made here, so removed by stop()
        self.dir = directory or tempfile.mkdtemp(prefix="rfsim-")
        self.link = os.path.join(self.dir, "receiver")
        self.log_path = os.path.join(self.dir, "rfsim.jsonl")
        self.stderr = open(os.path.join(self.dir, "rfsim-stderr.txt"), "wb")
        self.process = subprocess.Popen(
            [binary, "--log", self.log_path]
            + (["--link", self.link] if port_args is None else list(port_args))
            + list(extra_args),
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=self.stderr,
        )
        self._pending = b""
        self.lines = []
        self.seen = 0  # lines already handed out by wait_for
        first = self.wait_for("rfsim ")
        self.device = dict(item.split("=", 1) for item in first.split()[1:])["pty"]

    def command(self, *lines):
        self.process.stdin.write("".join(line + "\n" for line in lines).encode())
        self.process.stdin.flush()

    def _read_lines(self, timeout):
        ready, _, _ = select.select([self.process.stdout], [], [], timeout)
        if not ready:
            return
        chunk = os.read(self.process.stdout.fileno(), 65536)
        if not chunk:
            raise AssertionError("rfsim ended (exit code %s)" % self.process.wait())
        self._pending += chunk
        *complete, self._pending = self._pending.split(b"\n")
        self.lines.extend(line.decode() for line in complete)

    def wait_for(self, prefix, timeout=EVENTUALLY):
        """The next event line, after those already returned, that starts with
        `prefix`."""
        deadline = time.monotonic() + timeout
        while True:
            for index in range(self.seen, len(self.lines)):
                if self.lines[index].startswith(prefix):
                    self.seen = index + 1
                    return self.lines[index]
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise AssertionError("rfsim did not report %r; it said %r" % (prefix, self.lines))
            self._read_lines(remaining)

    def sync(self, timeout=EVENTUALLY):
        """Waits until every queued packet is on the line; returns the counts."""
        self.command("sync")
        return _counts(self.wait_for("idle ", timeout))

    def stats(self):
        self.command("stats?")
        return _counts(self.wait_for("stats "))

    def wait_until_read(self):
        """Waits until the host has read every byte written so far (rfsim
        counts the bytes on their way to the host as unread too)."""
        self.sync()
        wait_until(lambda: self.stats()["unread"] == 0, interval=0.01,
                   what="the host reading the receiver's port")

    def log(self, event=None):
        with open(self.log_path) as f:
            records = [json.loads(line) for line in f if line.strip()]
        return [r for r in records if event is None or r["event"] == event]

    def packets(self):
        return self.log("packet")

    def stop(self):
        if self.process.poll() is None:
            try:
                self.command("quit")
                self.process.wait(10)
            except (BrokenPipeError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()
        self.process.stdin.close()
        self.process.stdout.close()
        self.stderr.close()
        if self.own_dir:
            shutil.rmtree(self.dir, ignore_errors=True)


def _counts(line):
    """The numbers of a report line such as "idle sent=3 lost=0 ..."."""
    return {k: int(v) for k, v in (item.split("=") for item in line.split()[1:])}


LETTERS = "abcdefghij"


def expected_answer(packet):
    """The answer text a host shows for one packet of the log."""
    if packet["kind"] == "vote":
        return LETTERS[packet["answer"] - 1]
    return packet["text"].lower()
