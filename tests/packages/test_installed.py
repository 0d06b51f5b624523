"""The installed Debian packages at work, as a desktop user would meet them:
run by `scripts/check packages` once the packages are installed (it needs
root, to act as another user). lectern from /usr/bin keeps its files in the
user's XDG folders; brimora-doctor from /usr/bin finds the simulated receiver
through the user's settings and explains a port the user cannot open."""

import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import EVENTUALLY, NOBODY, DevService, PrivateDisplay, become_nobody, wait_until  # noqa: E402
from receiver import Receiver  # noqa: E402

def user_folder(prefix):
    path = tempfile.mkdtemp(prefix=prefix)
    os.chown(path, NOBODY, NOBODY)
    return path


def mode(path):
    return oct(stat.S_IMODE(os.stat(path).st_mode))


def user_environment(home, **extra):
    env = {"HOME": home, "PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"}
    env.update(extra)
    return env


class InstalledLecternTest(unittest.TestCase):
    def setUp(self):
        self.service = DevService()
        self.display = PrivateDisplay()
        self.home = user_folder("home-")
        self.workdir = user_folder("work-")
        self.program = None

    def tearDown(self):
        if self.program is not None and self.program.poll() is None:
            self.program.terminate()
            self.program.wait(EVENTUALLY)
        self.display.stop()
        self.service.stop()
        shutil.rmtree(self.home, ignore_errors=True)
        shutil.rmtree(self.workdir, ignore_errors=True)

    def start(self, stderr=subprocess.DEVNULL, **extra_environment):
        url = self.service.urls["https"] + "/login?user=demo&auto=1&next=%2Fclass"
        self.program = subprocess.Popen(
            ["/usr/bin/lectern", url], cwd=self.workdir, preexec_fn=become_nobody,
            env=user_environment(self.home, DISPLAY=self.display.name, QT_XCB_GL_INTEGRATION="none",
                                 **extra_environment),
            stdout=subprocess.DEVNULL, stderr=stderr)

    def test_cookies_and_log_go_to_the_users_data_folder(self):
        self.start()
        # Signed in and on the class page: the session cookie has been set.
        self.service.wait_for_events("dom_ready")
        data = os.path.join(self.home, ".local", "share", "brimora")
        jar = os.path.join(data, ".brq_cookies")
        log = os.path.join(data, "quillet.log")

        def written():
            try:
                with open(jar) as cookies, open(log) as lines:
                    return "session" in cookies.read() and "Initialzied" in lines.read()
            except OSError:
                return False

        wait_until(written, what="cookie jar and log in %s" % data)
        self.assertEqual(os.listdir(self.workdir), [], "nothing belongs in the working directory")
        self.assertFalse(os.path.exists("/usr/bin/settings.ini"))
        # The user's alone; the folders above keep their modes.
        self.assertEqual([mode(path) for path in (data, jar, log)], ["0o700", "0o600", "0o600"])
        self.assertEqual(mode(os.path.dirname(data)), "0o700")

    def test_a_data_folder_that_cannot_be_made_is_named_on_standard_error(self):
        blocked = os.path.join(self.home, "not-a-folder")
        with open(blocked, "w"):
            pass
        stderr_path = os.path.join(self.home, "stderr.txt")
        with open(stderr_path, "w") as stderr:
            self.start(stderr=stderr, XDG_DATA_HOME=blocked)
        # The program runs on and signs in, its cookies kept for the run.
        self.service.wait_for_events("dom_ready")
        with open(stderr_path) as f:
            lines = [line for line in f.read().splitlines() if line.startswith("lectern:")]
        self.assertEqual(lines, ["lectern: cannot create the data folder %s/brimora: Not a directory" % blocked])


class InstalledDoctorTest(unittest.TestCase):
    def setUp(self):
        self.receiver = Receiver("/usr/bin/rfsim")
        os.chmod(self.receiver.dir, 0o755)
        self.home = user_folder("home-")
        config = os.path.join(self.home, ".config", "brimora")
        os.makedirs(config)
        with open(os.path.join(config, "settings.ini"), "w") as f:
            f.write("[defaults]\nreceiverPort=%s\n" % self.receiver.link)

    def tearDown(self):
        self.receiver.stop()
        shutil.rmtree(self.home, ignore_errors=True)

    def doctor(self, preexec=become_nobody):
        result = subprocess.run(["/usr/bin/brimora-doctor"], preexec_fn=preexec, capture_output=True,
                                text=True, env=user_environment(self.home), timeout=EVENTUALLY)
        # Shown in the stage's output, as a user would see it.
        print("\n$ brimora-doctor\n" + result.stdout + "(exit status %d)" % result.returncode)
        return result

    def test_explains_a_port_the_user_cannot_open_then_accepts_it(self):
        denied = self.doctor()
        self.assertEqual(denied.returncode, 1)
        self.assertIn("PROBLEM: %s cannot be opened: Permission denied" % self.receiver.link, denied.stdout)
        self.assertIn("Fix: ", denied.stdout)
        os.chmod(self.receiver.device, 0o666)
        allowed = self.doctor()
        self.assertEqual(allowed.returncode, 0, allowed.stdout)
        self.assertIn("OK: lectern would use %s" % self.receiver.link, allowed.stdout)

    def test_root_reads_the_users_settings_too(self):
        # Root may write /usr/bin, yet the installed doctor reads the same
        # files for root as for a user, never /usr/bin/settings.ini.
        setting = "receiverPort = %s (%s/.config/brimora/settings.ini)" % (self.receiver.link, self.home)
        self.assertIn(setting, self.doctor().stdout)
        self.assertIn(setting, self.doctor(preexec=None).stdout)


if __name__ == "__main__":
    unittest.main()
