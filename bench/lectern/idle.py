#!/usr/bin/env python3
"""Idle CPU of lectern on the class page, beside a headless browser on the same page.

Each run starts a fresh scratch copy of the program (no cookies), which signs in
automatically and opens the class page of the local development service. Once
the page has reported ready and a short settle has passed, the CPU time of the
program's threads over an idle period is taken, as a share of one core. The
browser, where it is installed, then opens the same page the same way (new
profile each run) and is measured the same way over all its processes.

  lectern        the program on the class page
  lectern-blank  the program on an empty page (--blank): what the page adds
  browser        headless browser on the class page, all its processes

CPU time comes from /proc/PID/task/TID/schedstat (nanoseconds), read every
quarter second for every thread of the process and of its descendants, so that
threads and processes that start or end within the period count too.

Usage: bench/lectern/idle.py [--runs N] [--idle SECONDS] [--blank] [--browser PATH] [LECTERN]
LECTERN defaults to build/default/bin/lectern; the browser defaults to the first
of chromium, chromium-browser, google-chrome found on PATH (--browser none
skips it). Without DISPLAY it runs itself under xvfb-run.
"""

import functools
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tests", "e2e"))

from harness import (  # noqa: E402
    DevService,
    Lectern,
    bench_arguments,
    rerun_under_xvfb,
    require_program,
    wait_until,
)

SETTLE_SECONDS = 2.0
SAMPLE_SECONDS = 0.25
BROWSERS = ("chromium", "chromium-browser", "google-chrome")
# The program's default window size (settings.ini without width and height).
WINDOW_SIZE = (330, 400)
BLANK_PAGE = "data:text/html,<!DOCTYPE html><title>blank</title>"


def children_by_parent():
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                parent = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(parent, []).append(int(entry))
    return children


def process_tree(root):
    children = children_by_parent()
    tree, pending = [], [root]
    while pending:
        pid = pending.pop()
        tree.append(pid)
        pending.extend(children.get(pid, []))
    return tree


def thread_cpu_ns(pid):
    """{(pid, tid): CPU nanoseconds so far} for every thread of one process."""
    found = {}
    try:
        tids = os.listdir("/proc/%d/task" % pid)
    except OSError:
        return found
    for tid in tids:
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, tid)) as f:
                found[(pid, tid)] = int(f.read().split()[0])
        except (OSError, IndexError, ValueError):
            pass  # the thread has just ended
    return found


def idle_cpu_share(root, seconds):
    """CPU time of the process tree under `root` over `seconds`, as a share of
    one core. Threads seen at the start count from their value then; threads
    that appear later count from zero; a thread that ends counts up to its last
    sample."""
    first, last = {}, {}

    def sample():
        for pid in process_tree(root):
            last.update(thread_cpu_ns(pid))

    sample()
    first.update(last)
    started = time.monotonic()
    deadline = started + seconds
    while time.monotonic() < deadline:
        time.sleep(min(SAMPLE_SECONDS, max(0.0, deadline - time.monotonic())))
        sample()
    elapsed = time.monotonic() - started
    used = sum(value - first.get(key, 0) for key, value in last.items())
    return used / 1e9 / elapsed


def class_page_url(service):
    query = urllib.parse.urlencode({"user": "bench", "auto": "1", "next": "/class"})
    return "%s/login?%s" % (service.urls["https"], query)


def measure_lectern(binary, service, idle, blank):
    service.reset()
    program = Lectern(binary)
    try:
        if blank:
            program.start(BLANK_PAGE)
            program.window()
        else:
            program.start(class_page_url(service))
            service.wait_for_events("dom_ready")
        time.sleep(SETTLE_SECONDS)
        if program.process.poll() is not None:
            raise RuntimeError("lectern ended: %s" % program.diagnostics())
        return idle_cpu_share(program.process.pid, idle)
    finally:
        program.cleanup()


def measure_browser(browser, service, idle):
    service.reset()
    profile = tempfile.mkdtemp(prefix="lectern-bench-browser-")
    command = [
        browser,
        "--headless",
        "--no-sandbox",
        "--disable-gpu",
        "--disable-quic",
        "--no-first-run",
        "--disable-background-networking",
        "--disable-component-update",
        "--disable-sync",
        # The service's certificate is self-signed; the program ignores that too.
        "--ignore-certificate-errors",
        "--window-size=%d,%d" % WINDOW_SIZE,
        "--user-data-dir=" + profile,
        class_page_url(service),
    ]
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_until(
            lambda: process.poll() is not None or service.events("dom_ready"),
            what="the browser's ready report",
        )
        time.sleep(SETTLE_SECONDS)
        if process.poll() is not None:
            raise RuntimeError("the browser ended with %s" % process.returncode)
        return idle_cpu_share(process.pid, idle)
    finally:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        shutil.rmtree(profile, ignore_errors=True)


def find_browser(choice):
    if choice == "none":
        return None
    if choice:
        return choice
    for name in BROWSERS:
        path = shutil.which(name)
        if path:
            return path
    return None


def main():
    parser = bench_arguments(__doc__, 20.0)
    parser.add_argument("--blank", action="store_true", help="also lectern on an empty page")
    parser.add_argument("--browser", help="browser program, or none (default: found on PATH)")
    args = parser.parse_args()

    code = rerun_under_xvfb()
    if code is not None:
        return code
    require_program(args.lectern)
    browser = find_browser(args.browser)
    if browser is None and args.browser != "none":
        print("no browser found: measuring lectern only", flush=True)

    subjects = [("lectern", functools.partial(measure_lectern, args.lectern, blank=False))]
    if args.blank:
        blank = functools.partial(measure_lectern, args.lectern, blank=True)
        subjects.append(("lectern-blank", blank))
    if browser:
        subjects.append(("browser", functools.partial(measure_browser, browser)))

    results = {name: [] for name, _ in subjects}
    with DevService() as service:
        for run in range(args.runs):
            # Subjects take turns within a run, so a change in the machine's
            # load falls on all of them alike.
            for name, measure in subjects:
                share = measure(service, args.idle)
                results[name].append(share)
                print("run %d: %-13s idle CPU %.3f %% of one core" % (run + 1, name, 100 * share),
                      flush=True)

    print("idle CPU over %g s, %% of one core (median, min, max of %d runs):"
          % (args.idle, args.runs))
    for name, _ in subjects:
        values = [100 * v for v in results[name]]
        print("  %-13s %.3f  %.3f  %.3f"
              % (name, statistics.median(values), min(values), max(values)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
