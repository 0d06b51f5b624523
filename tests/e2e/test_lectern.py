"""The real lectern program against the development service, under an X server.

Each test runs a scratch copy of the program (its own settings.ini beside it,
its cookie and log files in the scratch working directory) on a URL of the
service, and checks what the service received and what the window does.
Set LECTERN to the program's path. Each test class runs its own Xvfb.
"""

import os
import shutil
import stat
import subprocess
import tempfile
import unittest
import urllib.parse

import harness
from harness import DevService, Lectern, wait_until, window_geometry, xdotool

USER_AGENT = "Mozilla/5.0 (quilletPresentationTool; en-US; rv:1.9.1.2;) Gecko/20090729 Firefox/3.5.2"
SCREEN = (1280, 1024)


class LecternTestCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.binary = os.environ.get("LECTERN", "")
        if not os.access(cls.binary, os.X_OK):
            raise unittest.SkipTest("LECTERN does not name the lectern program")
        # The program, xdotool and xprop all use this test's own X server.
        cls.display = harness.PrivateDisplay("%dx%dx24" % SCREEN)
        cls.saved_display = os.environ.get("DISPLAY")
        os.environ["DISPLAY"] = cls.display.name

    @classmethod
    def tearDownClass(cls):
        cls.display.stop()
        if cls.saved_display is None:
            os.environ.pop("DISPLAY", None)
        else:
            os.environ["DISPLAY"] = cls.saved_display

    def setUp(self):
        self.service = DevService()
        self.addCleanup(self.service.stop)
        self.https = self.service.urls["https"]

    def lectern(self, settings=None, workdir=None):
        program = Lectern(self.binary, settings, workdir)
        self.addCleanup(program.cleanup)
        return program

    def auto_login_url(self, next_page="/class"):
        query = urllib.parse.urlencode({"user": "demo", "auto": "1", "next": next_page})
        return "%s/login?%s" % (self.https, query)

    def requests(self, path):
        return [r for r in self.service.records()["requests"] if r["path"] == path]


class StartupTest(LecternTestCase):
    def test_class_page_loads_with_the_bridge_and_the_fixed_user_agent(self):
        program = self.lectern()
        start_url = self.auto_login_url()
        program.start(start_url)
        ready = self.service.wait_for_events("dom_ready")[0]
        self.assertTrue(ready["controller"], "the page did not find QtToolController")
        self.assertEqual(ready["page_user_agent"], USER_AGENT)
        self.assertEqual(ready["user"], "demo")

        page_loads = self.requests("/class")
        self.assertTrue(page_loads)
        self.assertTrue(all(r["user_agent"] == USER_AGENT for r in page_loads))
        static = self.requests("/static/class.js") + self.requests("/static/style.css")
        self.assertTrue(all(r["user_agent"] == USER_AGENT for r in static))
        # The page load and the program's own probe of the start URL.
        self.assertGreaterEqual(len(self.requests("/login")), 2)

        window = program.window()
        self.assertEqual(window_geometry(window)[2:], (330, 400))
        self.assertIn("_NET_WM_STATE_ABOVE", harness.window_property(window, "_NET_WM_STATE"))
        self.assertIn("UTILITY", harness.window_property(window, "_NET_WM_WINDOW_TYPE"))

        # One argument: the log is quillet.log in the working directory, with
        # the page's console messages, and for the user's eyes only.
        log = wait_until(lambda: self.read(program.path("quillet.log")), what="console line in log")
        self.assertTrue(log.startswith("Initialzied PresentationToolPage"))
        self.assertRegex(log, r"Clicker ready with the desktop program : \d+ : .*/static/class\.js")
        self.assertEqual(oct(stat.S_IMODE(os.stat(program.path("quillet.log")).st_mode)), "0o600")

    def test_help_is_answered_without_a_display(self):
        environment = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        result = subprocess.run([self.binary, "--help"], env=environment, capture_output=True,
                                text=True, timeout=30)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(result.stdout.startswith("Usage: lectern [--] [start-url [log-file]]"),
                        result.stdout)

    def test_window_comes_back_above_a_covering_window(self):
        program = self.lectern()
        program.start(self.auto_login_url())
        window = program.window()
        cover = subprocess.Popen(["xmessage", "-geometry", "400x450+0+0", "cover"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(cover.wait)
        self.addCleanup(cover.terminate)
        # xmessage does not tell its process id; the display is this test's own.
        cover_window = wait_until(
            lambda: xdotool("search", "--onlyvisible", "--name", "^xmessage$").split()[:1],
            what="the covering window",
        )[0]

        def lectern_on_top():
            order = harness.windows_top_first()
            return window in order and order.index(window) < order.index(cover_window)

        for _ in range(2):
            xdotool("windowraise", cover_window)
            wait_until(lectern_on_top, 5.0, what="lectern above the covering window")

    def test_settings_give_the_size_and_a_second_argument_the_log_file(self):
        program = self.lectern(settings={"width": 520, "height": 450, "logfile": "ignored.log"})
        program.start(self.auto_login_url(), "second.log")
        self.service.wait_for_events("dom_ready")
        self.assertEqual(window_geometry(program.window())[2:], (520, 450))
        self.assertIn("Initialzied PresentationToolPage", self.read(program.path("second.log")))
        self.assertFalse(os.path.exists(program.path("ignored.log")))
        self.assertFalse(os.path.exists(program.path("quillet.log")))

    @staticmethod
    def read(path):
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                return f.read()
        except OSError:
            return ""


class SessionTest(LecternTestCase):
    def test_sign_in_survives_a_restart_through_the_cookie_file(self):
        program = self.lectern()
        program.start(self.auto_login_url())
        self.service.wait_for_events("dom_ready")
        # The jar writes the file soon after a cookie is set, not at once.
        jar = program.path(".brq_cookies")
        token = wait_until(lambda: harness.read_ini(jar).get("127.0.0.1", {}).get("sessionid"),
                           what="a session cookie filed for 127.0.0.1")
        program.stop()

        # Second run on the plain login page: the stored cookie goes along and
        # the service leads straight on to the class page.
        self.service.reset()
        program.start(self.https + "/login")
        ready = self.service.wait_for_events("dom_ready")[0]
        self.assertTrue(ready["controller"])
        first = self.requests("/login")[0]
        self.assertEqual(first["cookies"].get("sessionid"), token)
        self.assertEqual(self.service.records()["logins"], [])

    def test_sign_in_through_the_form(self):
        program = self.lectern()
        program.start(self.https + "/login")
        window = program.window()
        self.service.wait_for_events("login_ready")
        xdotool("windowfocus", "--sync", window)
        # The user name field has the focus whenever the form opens.
        self.type_sign_in("ann", "oops")
        wait_until(lambda: self.service.records()["logins"], what="the refused sign-in")
        self.service.wait_for_events("login_ready", 2)
        xdotool("key", "ctrl+a")  # the form came back with the name filled in
        self.type_sign_in("ann", "demo")
        ready = self.service.wait_for_events("dom_ready")[0]
        self.assertEqual(ready["user"], "ann")
        logins = self.service.records()["logins"]
        self.assertEqual([(l["user"], l["accepted"]) for l in logins], [("ann", False), ("ann", True)])

    @staticmethod
    def type_sign_in(user, password):
        xdotool("type", "--delay", "20", user)
        xdotool("key", "Tab")
        xdotool("type", "--delay", "20", password)
        xdotool("key", "Return")

    def test_cookies_stay_with_the_working_directory(self):
        program = self.lectern()
        program.start(self.auto_login_url())
        self.service.wait_for_events("dom_ready")
        program.stop()

        # The same program started from another working directory finds no cookies.
        program.workdir = tempfile.mkdtemp(prefix="lectern-e2e-cwd-")
        self.addCleanup(shutil.rmtree, program.workdir, True)
        self.service.reset()
        program.start(self.https + "/login")
        wait_until(lambda: self.requests("/login"), what="a request for /login")
        self.assertEqual(self.requests("/login")[0]["cookie"], "")


class BridgeTest(LecternTestCase):
    """Drives the page's controls through the service's command queue."""

    def setUp(self):
        super().setUp()
        self.program = self.lectern()
        self.program.start(self.auto_login_url("/class?control=1"))
        self.service.wait_for_events("dom_ready")
        self.window = self.program.window()

    def run_command(self, kind, **command):
        before = len(self.service.events(kind))
        self.service.command(**command)
        return self.service.wait_for_events(kind, before + 1)[-1]

    def test_question_types(self):
        cases = [("q1", "mc", True), ("q2", "attendance", True), ("q3", "na", True),
                 ("q4", "wa", True), ("q5", "MC", False), ("q6", "", False)]
        for question, kind, accepted in cases:
            with self.subTest(type=kind):
                event = self.run_command("start_voting", action="start", question=question, type=kind)
                self.assertEqual(event["accepted"], accepted)
        self.run_command("stop_voting", action="stop")

    def test_resize_and_maximize(self):
        self.run_command("resize", action="resize", width=640, height=480)
        wait_until(lambda: window_geometry(self.window)[2:] == (640, 480), what="640x480")
        self.run_command("resize", action="resize", width=-1, height=-1)
        wait_until(lambda: window_geometry(self.window)[2:] == SCREEN, what="maximized window")
        self.run_command("resize", action="resize", width=400, height=300)
        wait_until(lambda: window_geometry(self.window)[2:] == (400, 300), what="400x300")

    def test_screenshot_is_a_jpeg_of_the_screen(self):
        event = self.run_command("screenshot", action="screenshot")
        self.assertTrue(event["jpeg"]["valid"], event["jpeg"])
        self.assertEqual((event["jpeg"]["width"], event["jpeg"]["height"]), SCREEN)
        # The window is shown again after the grab.
        self.program.window()

    def test_return_to_start_loads_the_start_url(self):
        self.service.reset()
        self.service.command(action="reload")
        self.service.wait_for_events("dom_ready")
        self.assertTrue(self.requests("/login"), "the start URL was not loaded again")


class ScriptTimeoutTest(LecternTestCase):
    # A page script that holds the window this long is reported (the
    # scriptReportMs setting; the program's own value is proven in its unit
    # tests); the class page's stall lasts longer.
    THRESHOLD = 1.5
    STALL = 4.0

    def stall_done(self, count):
        return self.service.wait_for_events("stall_done", count, harness.EVENTUALLY + self.STALL)[-1]

    def test_a_long_script_runs_to_its_end_and_is_reported_once_per_run(self):
        program = self.lectern(settings={"scriptReportMs": int(self.THRESHOLD * 1000)})
        program.start(self.auto_login_url("/class?control=1&stall=%g" % self.STALL))
        done = self.stall_done(1)
        self.assertEqual(done["seconds"], self.STALL)  # never interrupted
        reports = self.service.records()["timeouts"]
        self.assertEqual(len(reports), 1)
        self.assertEqual(reports[0]["course"], "/class")
        self.assertEqual(reports[0]["user"], "demo")  # with the stored cookies
        # Sent while the script still ran, once it had run for the threshold.
        self.assertLess(reports[0]["time"], done["time"])
        self.assertLess(done["time"] - reports[0]["time"], self.STALL - self.THRESHOLD / 2)
        posts = self.requests("/ereport_javascript_timeout/")
        self.assertEqual([(r["method"], r["scheme"]) for r in posts], [("POST", "https")])

        # The same page again: its stall would be reported while it runs, so
        # by its end a second report would be there, as the first one was.
        self.service.command(action="reload")
        self.stall_done(2)
        self.assertEqual(len(self.service.records()["timeouts"]), 1)


class CloseDialogTest(LecternTestCase):
    """The real close dialog, answered through the X server as a user would."""

    # Where "Log me out" sits in the dialog, as the program places it.
    CHECK_BOX = (70, 46)

    def open_dialog(self, program):
        harness.request_close(program.window())
        return program.window("^Close Brimora\\?$")

    def answer(self, dialog, key):
        xdotool("windowfocus", "--sync", dialog)
        xdotool("key", key)

    def logout_setting(self, program):
        return harness.read_ini(program.path("settings.ini")).get("defaults", {}).get("logout")

    def tick_log_me_out(self, program, dialog):
        # The program raises its main window every second, which (without a
        # window manager) may cover the dialog; raise it again and retry.
        for _ in range(5):
            xdotool("mousemove", "--sync", "--window", dialog, *map(str, self.CHECK_BOX))
            xdotool("windowraise", dialog)
            xdotool("mousedown", "1")
            xdotool("mouseup", "1")
            if harness.wait_until(lambda: self.logout_setting(program), 1.0, what="logout setting",
                                  fail=False) == "true":
                return
        self.fail("could not tick Log me out")

    def session_cookie(self, program):
        return harness.read_ini(program.path(".brq_cookies")).get("127.0.0.1", {}).get("sessionid")

    def test_cancel_keeps_the_window_then_close_logs_out(self):
        program = self.lectern()
        program.start(self.auto_login_url())
        self.service.wait_for_events("dom_ready")
        dialog = self.open_dialog(program)
        self.tick_log_me_out(program, dialog)
        self.answer(dialog, "Escape")
        wait_until(lambda: not xdotool("search", "--onlyvisible", "--name", "^Close Brimora"),
                   what="the dialog to go")
        # The dialog opening again below shows that Cancel did not end the program.
        self.assertIsNone(program.process.poll(), "Cancel ended the program")
        # The tick is saved whatever the answer; nothing else is written there.
        self.assertEqual(harness.read_ini(program.path("settings.ini")), {"defaults": {"logout": "true"}})
        self.assertTrue(self.session_cookie(program))

        # Asked again, the box comes up ticked: Close logs out and quits.
        self.answer(self.open_dialog(program), "Return")
        self.assertEqual(program.wait(), 0, program.diagnostics())
        self.assertEqual(self.session_cookie(program), "")

        # The next run sends the blank session cookie and lands on the sign-in form.
        self.service.reset()
        program.start(self.https + "/login")
        wait_until(lambda: self.requests("/login"), what="a request for /login")
        self.assertEqual(self.requests("/login")[0]["cookie"], "sessionid=")

    def test_close_without_log_me_out_keeps_the_session(self):
        program = self.lectern()
        program.start(self.auto_login_url())
        self.service.wait_for_events("dom_ready")
        # The jar writes the file soon after a cookie is set, not at once.
        token = wait_until(lambda: self.session_cookie(program), what="the session cookie in the file")
        self.answer(self.open_dialog(program), "Return")
        self.assertEqual(program.wait(), 0, program.diagnostics())
        self.assertEqual(self.session_cookie(program), token)
        self.assertIsNone(self.logout_setting(program))


if __name__ == "__main__":
    unittest.main()
