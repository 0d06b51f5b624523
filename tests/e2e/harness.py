"""Helpers for process-level tests: the development service, a scratch copy of
lectern and its window under the test's X server."""

import argparse
import json
import os
import re
import select
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import time
import urllib.request

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DEVSERVICE = os.path.join(REPO, "tools", "devservice", "devservice.py")

# Generous bound for anything that "eventually" happens in a test.
EVENTUALLY = 30.0


def rerun_under_xvfb():
    """For a script that needs an X display: when there is none, runs the script
    again under xvfb-run and returns its exit code; returns None when there is
    one."""
    if os.environ.get("DISPLAY"):
        return None
    screen = "-screen 0 1280x1024x24"
    return subprocess.call(["xvfb-run", "-a", "-s", screen, sys.executable] + sys.argv)


def bench_arguments(description, idle_seconds):
    """An argument parser with what every lectern benchmark takes: the program
    (default build/default/bin/lectern), --runs and --idle."""
    parser = argparse.ArgumentParser(
        description=description, formatter_class=argparse.RawTextHelpFormatter
    )
    program = os.path.join(REPO, "build", "default", "bin", "lectern")
    parser.add_argument("lectern", nargs="?", default=program)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument(
        "--idle",
        type=float,
        default=idle_seconds,
        help="idle period in seconds (default %g)" % idle_seconds,
    )
    return parser


def require_program(path):
    """Ends the script with a message when there is no program to run at `path`."""
    if not os.access(path, os.X_OK):
        sys.exit("no lectern program at %s (build it first)" % path)


def wait_until(predicate, timeout=EVENTUALLY, interval=0.1, what="condition", fail=True):
    """Polls `predicate` until it returns something true and returns that. After
    `timeout` seconds it fails, or returns the last value when `fail` is False."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            if fail:
                raise AssertionError("timed out waiting for %s" % what)
            return value
        time.sleep(interval)


# nobody: a user without any special rights, for tests (run as root) of what
# an ordinary user may and may not do.
NOBODY = 65534


def become_nobody():
    """For preexec_fn: the child runs as nobody, without supplementary groups."""
    os.setgroups([])
    os.setgid(NOBODY)
    os.setuid(NOBODY)


class PrivateDisplay:
    """An Xvfb server of the test's own, so windows of other tests running at
    the same time cannot cover this test's windows or take its keyboard focus.
    `process_options` go to Popen (e.g. the user the server runs as)."""

    def __init__(self, screen="1280x1024x24", **process_options):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten", "tcp"],
            pass_fds=(write_end,),
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
            **process_options,
        )
        os.close(write_end)
        number = b""
        try:
            # The server writes its display number and a newline once it listens.
            while not number.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], EVENTUALLY)
                chunk = os.read(read_end, 32) if ready else b""
                if not chunk:
                    break
                number += chunk
        finally:
            os.close(read_end)
        number = number.decode().strip()
        if not number.isdigit():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait()


class DevService:
    """The development service as a child process on free ports."""

    def __init__(self, *extra_args):
        self.process = subprocess.Popen(
            [sys.executable, DEVSERVICE, "--port", "0", "--quiet"] + list(extra_args),
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            text=True,
        )
        line = self._first_line()
        self.urls = dict(re.findall(r"(\w+)=(\S+)", line))
        if not line.startswith("devservice ") or not self.urls:
            self.stop()
            raise RuntimeError("unexpected first line from devservice: %r" % line)
        # Tests talk to the service over plain HTTP when it offers it.
        self.api = self.urls.get("http") or self.urls["https"]

    def _first_line(self):
        ready, _, _ = select.select([self.process.stdout], [], [], EVENTUALLY)
        if not ready:
            self.stop()
            raise RuntimeError("devservice printed nothing")
        return self.process.stdout.readline().strip()

    def request(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode("utf-8")
        request = urllib.request.Request(self.api + path, data=data, method=method)
        context = ssl._create_unverified_context()
        with urllib.request.urlopen(request, timeout=EVENTUALLY, context=context) as reply:
            text = reply.read().decode("utf-8")
        return json.loads(text) if text else None

    def records(self):
        return self.request("GET", "/api/records")

    def reset(self):
        self.request("POST", "/api/reset", {})

    def command(self, **command):
        self.request("POST", "/api/commands", command)

    def events(self, kind):
        return [e for e in self.records()["events"] if e["kind"] == kind]

    def wait_for_events(self, kind, count=1, timeout=EVENTUALLY):
        return wait_until(
            lambda: (lambda found: found if len(found) >= count else None)(self.events(kind)),
            timeout,
            what="%d %r event(s)" % (count, kind),
        )

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class Lectern:
    """A scratch copy of the program (so settings.ini beside it is the test's own),
    started in the scratch directory, which also holds its cookie and log files."""

    def __init__(self, binary, settings=None, workdir=None):
        self.dir = tempfile.mkdtemp(prefix="lectern-e2e-")
        self.binary = os.path.join(self.dir, "lectern")
        shutil.copy2(binary, self.binary)
        self.workdir = workdir or self.dir
        if settings is not None:
            self.write_settings(settings)
        self.process = None
        self.runs = 0

    def write_settings(self, values):
        lines = ["[defaults]"] + ["%s=%s" % item for item in values.items()]
        with open(self.path("settings.ini"), "w") as f:
            f.write("\n".join(lines) + "\n")

    def path(self, name):
        return os.path.join(self.dir, name)

    def start(self, *args):
        self.runs += 1
        # The program's diagnostics go to a file: a pipe nobody reads could fill up.
        with open(self.path("stderr-%d.txt" % self.runs), "wb") as stderr:
            self.process = subprocess.Popen(
                [self.binary] + list(args),
                cwd=self.workdir,
                stdout=stderr,
                stderr=stderr,
                env=program_environment(),
            )
        return self.process

    def window(self, name="^Brimora$", timeout=EVENTUALLY):
        """The X window id of this process's window whose title matches `name`."""

        def find():
            if self.process.poll() is not None:
                raise AssertionError("lectern exited with %s" % self.process.returncode)
            found = xdotool(
                "search", "--all", "--onlyvisible", "--pid", str(self.process.pid), "--name", name
            )
            return found.split()[0] if found else None

        return wait_until(find, timeout, what="window %r" % name)

    def wait(self, timeout=EVENTUALLY):
        return self.process.wait(timeout)

    def diagnostics(self):
        """What the program wrote to stderr in its latest run (for failure messages)."""
        try:
            with open(self.path("stderr-%d.txt" % self.runs), errors="replace") as f:
                return f.read()[-6000:]
        except OSError:
            return ""

    def stop(self):
        """Ends the program without its close dialog."""
        if self.process is not None and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def cleanup(self):
        self.stop()
        shutil.rmtree(self.dir, ignore_errors=True)


def program_environment():
    """The environment for a run of the program. In a sanitizer build, leak
    checking is off for whole-program runs: the web engine, D-Bus and unloaded
    plug-ins leak at exit outside our code (the in-process tests check ours);
    every other sanitizer error still ends the run."""
    env = dict(os.environ)
    if "ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] += ":detect_leaks=0"
    return env


def xdotool(*args):
    result = subprocess.run(["xdotool"] + list(args), capture_output=True, text=True)
    return result.stdout.strip()


def window_geometry(window):
    """(x, y, width, height) of an X window as xdotool reports it."""
    text = xdotool("getwindowgeometry", window)
    x, y = map(int, re.search(r"Position: (-?\d+),(-?\d+)", text).groups())
    w, h = map(int, re.search(r"Geometry: (\d+)x(\d+)", text).groups())
    return x, y, w, h


def windows_top_first():
    """Ids of the root window's children as decimal text, topmost first."""
    result = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True)
    return [str(int(m, 16)) for m in re.findall(r"^\s+(0x[0-9a-f]+) ", result.stdout, re.M)]


def window_property(window, name):
    result = subprocess.run(["xprop", "-id", window, name], capture_output=True, text=True)
    return result.stdout.strip()


def read_ini(path):
    """Sections of an INI file as {section: {key: value}}; {} when it does not exist."""
    sections = {}
    current = None
    if not os.path.exists(path):
        return sections
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1], {})
            elif "=" in line and current is not None:
                key, value = line.split("=", 1)
                current[key.strip()] = value.strip()
    return sections


def request_close(window):
    """Asks a window to close the way a window manager does (WM_DELETE_WINDOW),
    so the program's own close handling runs; xdotool has no such request."""
    import ctypes
    import ctypes.util

    class ClientMessage(ctypes.Structure):
        _fields_ = [
            ("type", ctypes.c_int),
            ("serial", ctypes.c_ulong),
            ("send_event", ctypes.c_int),
            ("display", ctypes.c_void_p),
            ("window", ctypes.c_ulong),
            ("message_type", ctypes.c_ulong),
            ("format", ctypes.c_int),
            ("data", ctypes.c_long * 5),
        ]

    class Event(ctypes.Union):
        _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]

    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(Event)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = x11.XOpenDisplay(None)
    if not display:
        raise RuntimeError("cannot open the X display")
    try:
        event = Event()
        event.client.type = 33  # ClientMessage
        event.client.window = int(window)
        event.client.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.client.format = 32
        event.client.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.client.data[1] = 0  # CurrentTime
        x11.XSendEvent(display, int(window), 0, 0, ctypes.byref(event))
        x11.XFlush(display)
    finally:
        x11.XCloseDisplay(display)
