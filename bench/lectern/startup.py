#!/usr/bin/env python3
"""Start-up figures of lectern against the local development service.

For each run a fresh scratch copy of the program (no cookies) signs in
automatically and opens the class page. Measured from outside the program:

  start-up   process start -> the service receives the class page's ready
             report (sent right after the page calls setDomReady)
  memory     VmRSS from /proc/PID/status once the page is ready (after a
             short settle)
  idle CPU   utime+stime from /proc/PID/stat over an idle period with the
             window open, as a share of one core

Usage: bench/lectern/startup.py [--runs N] [--idle SECONDS] [LECTERN]
LECTERN defaults to build/default/bin/lectern. Without DISPLAY it runs itself
under xvfb-run.
"""

import os
import statistics
import sys
import time
import urllib.parse

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))

from harness import DevService, Lectern, bench_arguments, rerun_under_xvfb, require_program  # noqa: E402

SETTLE_SECONDS = 2.0


def rss_mib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    raise RuntimeError("no VmRSS for %d" % pid)


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        # The command name may hold spaces; fields after it are fixed.
        fields = f.read().rsplit(")", 1)[1].split()
    utime, stime = int(fields[11]), int(fields[12])
    return (utime + stime) / os.sysconf("SC_CLK_TCK")


def one_run(binary, service, idle):
    service.reset()
    program = Lectern(binary)
    query = urllib.parse.urlencode({"user": "bench", "auto": "1", "next": "/class"})
    try:
        started = time.time()
        process = program.start("%s/login?%s" % (service.urls["https"], query))
        ready = service.wait_for_events("dom_ready")[0]
        startup = ready["time"] - started
        time.sleep(SETTLE_SECONDS)
        rss = rss_mib(process.pid)
        cpu_before = cpu_seconds(process.pid)
        time.sleep(idle)
        cpu_share = (cpu_seconds(process.pid) - cpu_before) / idle
        return startup, rss, cpu_share
    finally:
        program.cleanup()


def main():
    parser = bench_arguments(__doc__, 30.0)
    args = parser.parse_args()

    code = rerun_under_xvfb()
    if code is not None:
        return code
    require_program(args.lectern)

    results = []
    with DevService() as service:
        for run in range(args.runs):
            startup, rss, cpu = one_run(args.lectern, service, args.idle)
            results.append((startup, rss, cpu))
            print("run %d: start-up %.3f s, RSS %.1f MiB, idle CPU %.2f %% of one core"
                  % (run + 1, startup, rss, 100 * cpu), flush=True)

    def summary(values, scale=1.0):
        values = [v * scale for v in values]
        return "median %.3f, min %.3f, max %.3f" % (statistics.median(values), min(values), max(values))

    startups, rsss, cpus = zip(*results)
    print("start-up to class page ready (s): %s" % summary(startups))
    print("resident memory after load (MiB): %s" % summary(rsss))
    print("idle CPU over %g s (%% of one core): %s" % (args.idle, summary(cpus, 100)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
