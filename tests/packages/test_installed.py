"""The installed Debian packages at work in a fresh Debian 12 root, as a desktop
user meets them. Run by `scripts/check packages` (as root) once the packages
are installed in the root named by PRISTINE_ROOT, which has the ordinary user
PRISTINE_USER. The programs run inside the root (scripts/pristine-root run);
the X server and the development service run outside it, so nothing that the
packages fail to pull in is there by accident."""

import os
import pty
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import EVENTUALLY, REPO, DevService, PrivateDisplay, wait_until  # noqa: E402

ROOT = os.environ.get("PRISTINE_ROOT", "")
USER = os.environ.get("PRISTINE_USER", "teacher")
USER_HOME = "/home/" + USER


def in_root(command, user="root", env=()):
    """The command line that runs `command` inside the root as `user`."""
    argv = [os.path.join(REPO, "scripts", "pristine-root"), "run", ROOT, "--user", user]
    for setting in env:
        argv += ["--env", setting]
    return argv + ["--"] + list(command)


def outside(path):
    """Where a path of the root lies on this machine."""
    return os.path.join(ROOT, path.lstrip("/"))


def user_owns(path):
    """Gives a folder or file made from outside to the root's ordinary user."""
    owner = os.stat(outside(USER_HOME))
    for folder, _, files in os.walk(outside(path)):
        for name in [folder] + [os.path.join(folder, f) for f in files]:
            os.chown(name, owner.st_uid, owner.st_gid)


def doctor(user):
    result = subprocess.run(in_root(["brimora-doctor"], user=user), capture_output=True,
                            text=True, timeout=EVENTUALLY)
    # Shown in the stage's output, as the user would see it.
    print("\n%s$ brimora-doctor\n%s(exit status %d)" % (user, result.stdout, result.returncode))
    return result


@unittest.skipUnless(ROOT, "needs PRISTINE_ROOT (run by scripts/check packages)")
class InstalledLecternTest(unittest.TestCase):
    def setUp(self):
        self.service = DevService()
        self.display = PrivateDisplay()
        self.program = None

    def tearDown(self):
        if self.program is not None and self.program.poll() is None:
            self.program.terminate()
            self.program.wait(EVENTUALLY)
        self.display.stop()
        self.service.stop()

    def start(self, work, stderr=subprocess.DEVNULL, env=()):
        """Starts the installed lectern as the user, in the folder `work`."""
        url = self.service.urls["https"] + "/login?user=demo&auto=1&next=%2Fclass"
        environment = ["DISPLAY=" + self.display.name, "QT_XCB_GL_INTEGRATION=none"] + list(env)
        self.program = subprocess.Popen(
            in_root(["sh", "-c", 'mkdir -p "$1" && cd "$1" && exec lectern "$2"', "sh", work, url],
                    user=USER, env=environment),
            stdout=subprocess.DEVNULL, stderr=stderr)
        # The class page reports itself ready: signed in and there.
        self.service.wait_for_events("dom_ready")

    def test_signs_in_and_keeps_its_files_private_in_the_users_data_folder(self):
        work = USER_HOME + "/work"
        self.start(work)
        data = outside(USER_HOME + "/.local/share/brimora")
        jar = os.path.join(data, ".brq_cookies")
        log = os.path.join(data, "quillet.log")

        def written():
            try:
                with open(jar) as cookies, open(log) as lines:
                    return "session" in cookies.read() and "Initialzied" in lines.read()
            except OSError:
                return False

        wait_until(written, what="cookie jar and log in %s" % data)
        # The user's alone, the folder above included.
        modes = [os.stat(path).st_mode & 0o777 for path in (os.path.dirname(data), data, jar, log)]
        self.assertEqual(modes, [0o700, 0o700, 0o600, 0o600])
        self.assertEqual(os.listdir(outside(work)), [], "nothing belongs in the working directory")
        self.assertFalse(os.path.exists(outside("/usr/bin/settings.ini")))

    def test_a_data_folder_that_cannot_be_made_is_named_on_standard_error(self):
        blocked = USER_HOME + "/not-a-folder"
        with open(outside(blocked), "w"):
            pass
        self.addCleanup(os.remove, outside(blocked))
        with tempfile.TemporaryFile("w+") as stderr:
            # The program runs on and signs in, its cookies kept for the run.
            self.start(USER_HOME, stderr=stderr, env=["XDG_DATA_HOME=" + blocked])
            stderr.seek(0)
            lines = [line for line in stderr.read().splitlines() if line.startswith("lectern:")]
        self.assertEqual(lines, ["lectern: cannot create the data folder %s/brimora: Not a directory" % blocked])


@unittest.skipUnless(ROOT, "needs PRISTINE_ROOT (run by scripts/check packages)")
class InstalledDoctorTest(unittest.TestCase):
    def test_gives_a_user_and_root_the_same_advice_each_in_their_own_settings(self):
        advice = {}
        for user, home in ((USER, USER_HOME), ("root", "/root")):
            result = doctor(user)
            self.assertNotIn("/usr/bin/settings.ini", result.stdout)
            advice[user] = (result.returncode, result.stdout.replace(home + "/", "~/"))
        self.assertEqual(advice[USER], advice["root"])
        self.assertIn("name it in ~/.config/brimora/settings.ini", advice["root"][1])

    def test_explains_a_port_the_user_cannot_open_then_accepts_it(self):
        # A pseudo-terminal stands in for the receiver: root's, mode 0620,
        # which an ordinary user may not open.
        controller, device = pty.openpty()
        self.addCleanup(os.close, controller)
        self.addCleanup(os.close, device)
        port = os.ttyname(device)
        config = USER_HOME + "/.config"
        os.makedirs(outside(config + "/brimora"))
        self.addCleanup(shutil.rmtree, outside(config))
        with open(outside(config + "/brimora/settings.ini"), "w") as f:
            f.write("[defaults]\nreceiverPort=%s\n" % port)
        user_owns(config)

        denied = doctor(USER)
        self.assertEqual(denied.returncode, 1)
        self.assertIn("PROBLEM: %s cannot be opened: Permission denied" % port, denied.stdout)
        self.assertIn("Fix: ", denied.stdout)
        os.chmod(port, 0o666)
        allowed = doctor(USER)
        self.assertEqual(allowed.returncode, 0, allowed.stdout)
        self.assertIn("OK: lectern would use %s" % port, allowed.stdout)


@unittest.skipUnless(ROOT, "needs PRISTINE_ROOT (run by scripts/check packages)")
class InstalledCommandsTest(unittest.TestCase):
    def run_in_root(self, command, stdin=""):
        return subprocess.run(in_root(command, user=USER), input=stdin, capture_output=True,
                              text=True, timeout=EVENTUALLY)

    def test_lectern_tells_the_packages_version_without_a_display(self):
        version = self.run_in_root(["dpkg-query", "-W", "-f=${Version}", "lectern"]).stdout
        result = self.run_in_root(["lectern", "--version"])
        self.assertEqual((result.returncode, result.stdout), (0, "lectern %s\n" % version.split("-")[0]))

    def test_vexor_listen_runs_on_the_installed_library(self):
        result = self.run_in_root(["vexor-listen"], stdin="quit\n")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("base no base", result.stdout)


if __name__ == "__main__":
    unittest.main()
