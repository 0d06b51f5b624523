#!/usr/bin/env python3
"""Receiver figures of lectern: votes from the simulated RF receiver (rfsim on a
pseudo-terminal, named by receiverPort) through the program into the class
page, which forwards each vote to the local development service.

  line rate   a class votes at the serial line's rate (192 vote packets/s)
              for SECONDS, then at a classroom-like CLASS_RATE: votes lost, latency from rfsim's write of a packet
              to the page's Clicker.vote (the page stamps Date.now(), rfsim
              logs its write times; both read the same wall clock), and the
              program's CPU use over that time (/proc/PID/stat) as a share
              of one core
  closed      the line-rate stream again with no question open: the program
              discards the bytes at the port, the page does nothing; the CPU
              use of the receiver path alone
  burst       BURST vote packets written unthrottled: how many arrive, and
              the votes per second reached (first write to last page call)

Usage: bench/lectern/receiver.py [--seconds S] [--class-rate R] [--burst N]
                                 [--lectern PATH] [--rfsim PATH]
Paths default to build/default/bin/. Without DISPLAY it runs under a private Xvfb.
"""

import argparse
import collections
import os
import shutil
import statistics
import sys
import tempfile
import time
import urllib.parse

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))

from harness import DevService, Lectern, PrivateDisplay, wait_until  # noqa: E402
from receiver import Receiver  # noqa: E402

LINE_RATE = 192  # vote packets per second at 19200 baud, 10 bits a byte


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(share * (len(ordered) - 1))))]


def votes_for(service, question):
    return [v for v in service.records()["votes"] if v["question"] == question]


def settle_votes(service, question, expected, quiet=10.0):
    """Waits until `expected` votes arrived, or until none arrived for `quiet` s."""
    last, last_change = -1, time.monotonic()
    while True:
        votes = votes_for(service, question)
        if len(votes) >= expected:
            return votes
        if len(votes) != last:
            last, last_change = len(votes), time.monotonic()
        elif time.monotonic() - last_change > quiet:
            return votes
        time.sleep(0.25)


def open_question(service, question):
    service.command(action="start", question=question, type="mc")
    wait_until(
        lambda: [e for e in service.events("start_voting") if e["question"] == question],
        what="question %s" % question,
    )


def run_class(service, receiver, program, question, command, count):
    """Sends a class of `count` votes with `command`; returns the packets, the
    votes, and the wall and CPU seconds of the program while rfsim sent."""
    open_question(service, question)
    first_log = len(receiver.packets())
    cpu_before = cpu_seconds(program.process.pid)
    wall_before = time.monotonic()
    receiver.command(command)
    receiver.sync(timeout=600)
    # The program handles each packet within milliseconds of its write.
    time.sleep(0.1)
    cpu = cpu_seconds(program.process.pid) - cpu_before
    wall = time.monotonic() - wall_before
    votes = settle_votes(service, question, count)
    packets = receiver.packets()[first_log:]
    return packets, votes, wall, cpu


def match_votes(packets, votes):
    """Pairs each vote the page forwarded with the packet it came from: the
    n-th vote of a remote (in the page's order) with its n-th written packet.
    Returns the latencies in ms and the number of packets without a vote."""
    written = collections.defaultdict(list)
    for p in packets:
        if p["sent"]:
            written[str(p["remote"])].append(p["t"] / 1000.0)
    seen = collections.defaultdict(int)
    latencies = []
    for v in sorted(votes, key=lambda v: v["page_time"]):
        times = written.get(v["remote"], [])
        index = seen[v["remote"]]
        seen[v["remote"]] += 1
        if index < len(times):
            latencies.append(v["page_time"] - times[index])
    lost = sum(max(0, len(times) - seen[remote]) for remote, times in written.items())
    return latencies, lost, sum(len(t) for t in written.values())


def rate_figures(service, receiver, program, rate, seconds, remotes, question):
    count = int(rate * seconds)
    rate_option = "line" if rate >= LINE_RATE else "%g" % rate
    packets, votes, wall, cpu = run_class(
        service, receiver, program, question,
        "class %d rate=%s count=%d seed=1" % (remotes, rate_option, count), count)
    latencies, lost, sent = match_votes(packets, votes)
    span = (packets[-1]["t"] - packets[0]["t"]) / 1e6
    print("%g votes/s from %d remotes: %d packets written in %.1f s (%.1f packets/s)" % (
        rate, remotes, sent, span, (sent - 1) / span))
    print("  votes lost: %d of %d" % (lost, sent))
    print("  latency write -> Clicker.vote: median %.1f ms, p90 %.1f ms, p99 %.1f ms, "
          "max %.1f ms (n=%d; the page's clock has 1 ms steps)" % (
              statistics.median(latencies), percentile(latencies, 0.90),
              percentile(latencies, 0.99), max(latencies), len(latencies)))
    late = sum(latency > 20 for latency in latencies)
    print("  votes later than 20 ms: %d (%.1f %%)" % (late, 100.0 * late / len(latencies)))
    print("  lectern CPU: %.1f %% of one core (%.2f s CPU over %.1f s)" % (
        100.0 * cpu / wall, cpu, wall))


def closed_question_figures(service, receiver, program, seconds, remotes):
    """The same packet stream with no question open: the program reads the
    port and throws the bytes away, so the page does no work. The CPU use is
    that of the receiver path alone."""
    service.command(action="stop")
    wait_until(lambda: service.events("stop_voting"), what="the question closed")
    count = LINE_RATE * seconds
    cpu_before = cpu_seconds(program.process.pid)
    wall_before = time.monotonic()
    receiver.command("class %d rate=line count=%d seed=3" % (remotes, count))
    receiver.sync(timeout=600)
    cpu = cpu_seconds(program.process.pid) - cpu_before
    wall = time.monotonic() - wall_before
    print("no question open, %d packets at the line rate: lectern CPU %.1f %% of one core "
          "(%.2f s over %.1f s)" % (count, 100.0 * cpu / wall, cpu, wall))


def burst_figures(service, receiver, program, count, remotes):
    receiver.command("pace off")
    packets, votes, wall, cpu = run_class(
        service, receiver, program, "q-burst",
        "class %d rate=line count=%d seed=2" % (remotes, count), count)
    receiver.command("pace line")
    _, lost, sent = match_votes(packets, votes)
    first_write = packets[0]["t"] / 1000.0
    last_call = max(v["page_time"] for v in votes)
    seconds = (last_call - first_write) / 1000.0
    write_span = (packets[-1]["t"] - packets[0]["t"]) / 1e6
    print("burst from %d remotes: %d packets written unthrottled in %.3f s" % (
        remotes, sent, write_span))
    print("  delivered: %d of %d (%d lost)" % (len(votes), sent, lost))
    print("  votes per second reached: %.0f (%.2f s from first write to last page call)" % (
        len(votes) / seconds, seconds))
    print("  lectern CPU while rfsim sent: %.2f s over %.2f s" % (cpu, wall))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seconds", type=int, default=30)
    parser.add_argument("--burst", type=int, default=10000)
    parser.add_argument("--remotes", type=int, default=200,
                        help="remotes in the class; each votes again and again (default 200)")
    parser.add_argument("--class-rate", type=float, default=30,
                        help="a second, classroom-like vote rate to measure (default 30/s)")
    parser.add_argument("--lectern", default=os.path.join(REPO, "build/default/bin/lectern"))
    parser.add_argument("--rfsim", default=os.path.join(REPO, "build/default/bin/rfsim"))
    args = parser.parse_args()

    display = None
    if not os.environ.get("DISPLAY"):
        display = PrivateDisplay()
        os.environ["DISPLAY"] = display.name
    scratch = tempfile.mkdtemp(prefix="rfsim-bench-")
    # Keep every vote of the longest phase (the service keeps 5000 by default).
    service = DevService("--record-limit", str(max(args.burst, LINE_RATE * args.seconds) * 2))
    receiver = Receiver(args.rfsim, directory=scratch)
    program = Lectern(args.lectern, {"receiverPort": receiver.link})
    try:
        query = urllib.parse.urlencode({"user": "bench", "auto": "1", "next": "/class?control=1"})
        program.start("%s/login?%s" % (service.urls["https"], query))
        service.wait_for_events("dom_ready")
        wait_until(lambda: [e for e in service.events("connection") if e["connected"]],
                   what="the receiver connected")
        for rate, question in ((LINE_RATE, "q-line"), (args.class_rate, "q-class")):
            rate_figures(service, receiver, program, rate, args.seconds, args.remotes, question)
        closed_question_figures(service, receiver, program, args.seconds, args.remotes)
        burst_figures(service, receiver, program, args.burst, args.remotes)
    finally:
        program.cleanup()
        receiver.stop()
        service.stop()
        shutil.rmtree(scratch, ignore_errors=True)
        if display:
            display.stop()


if __name__ == "__main__":
    main()
