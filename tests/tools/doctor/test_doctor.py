"""brimora-doctor against a simulated receiver (rfsim on a pseudo-terminal)
and a simulated base station (basesim preloaded): the port it names, the
permission problem and its fix, the packets it shows live, and the exit
status."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "e2e"))
from harness import EVENTUALLY, become_nobody  # noqa: E402
from receiver import Receiver  # noqa: E402

DOCTOR = os.environ["DOCTOR"]
RFSIM = os.environ["RFSIM"]
SDK = os.environ["SDK"]
BASESIM = os.environ.get("BASESIM", "")


class Doctor:
    """A scratch copy of the doctor, outside the installed programs' folder,
    so that the settings beside it are the test's own (and the user's
    settings, which it must not read, too). The SDK library it links lies
    beside it too: the build tree may be closed to other users."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="doctor-")
        self.program_dir = os.path.join(self.dir, "bin")
        os.mkdir(self.program_dir)
        self.binary = os.path.join(self.program_dir, "brimora-doctor")
        shutil.copy2(DOCTOR, self.binary)
        shutil.copy(SDK, self.program_dir)
        self.config = os.path.join(self.dir, "config")
        self.env = dict(os.environ, XDG_CONFIG_HOME=self.config, LD_LIBRARY_PATH=self.program_dir,
                        XDG_DATA_HOME=os.path.join(self.dir, "data"))
        self.env.pop("BASESIM_CONTROL", None)

    def write_settings(self, folder, receiver_port):
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "settings.ini"), "w") as f:
            f.write("[defaults]\nreceiverPort=%s\n" % receiver_port)

    def run(self, *args, preexec=None, env=None):
        return subprocess.run([self.binary] + list(args), env=env or self.env, capture_output=True,
                              text=True, timeout=EVENTUALLY, preexec_fn=preexec)

    def cleanup(self):
        shutil.rmtree(self.dir, ignore_errors=True)


class ReceiverTest(unittest.TestCase):
    def setUp(self):
        self.receiver = Receiver(RFSIM)
        self.doctor = Doctor()

    def tearDown(self):
        self.receiver.stop()
        self.doctor.cleanup()

    def test_names_the_port_lectern_would_use(self):
        # A copy outside the installed programs' folder keeps its settings
        # beside it, as lectern does.
        self.doctor.write_settings(self.doctor.program_dir, self.receiver.link)
        result = self.doctor.run()
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("receiverPort = %s" % self.receiver.link, result.stdout)
        self.assertIn("OK: lectern would use %s" % self.receiver.link, result.stdout)

    def open_to_nobody(self):
        """Lets nobody run the doctor copy and read the settings beside it."""
        for path in (self.doctor.dir, self.doctor.program_dir, self.receiver.dir):
            os.chmod(path, 0o755)
        os.chmod(self.doctor.binary, 0o755)
        for name in ("settings.ini", os.path.basename(SDK)):
            os.chmod(os.path.join(self.doctor.program_dir, name), 0o644)

    def test_port_the_user_cannot_open_is_explained(self):
        self.doctor.write_settings(self.doctor.program_dir, self.receiver.link)
        if os.geteuid() == 0:
            # The pseudo-terminal is root's (mode 620): another user cannot open it.
            self.open_to_nobody()
            result = self.doctor.run(preexec=become_nobody)
        else:
            os.chmod(self.receiver.device, 0)
            result = self.doctor.run()
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertIn("PROBLEM: %s cannot be opened: Permission denied" % self.receiver.link, result.stdout)
        self.assertIn("Fix: ", result.stdout)

    def test_missing_port_is_a_problem(self):
        self.doctor.write_settings(self.doctor.program_dir, self.receiver.link + "-gone")
        result = self.doctor.run()
        self.assertEqual(result.returncode, 1)
        self.assertIn("PROBLEM: %s-gone does not exist" % self.receiver.link, result.stdout)

    def test_listen_prints_packets_and_counts(self):
        self.doctor.write_settings(self.doctor.program_dir, self.receiver.link)
        listener = subprocess.Popen([self.doctor.binary, "--listen", "--mode", "1"], env=self.doctor.env,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        try:
            self.receiver.wait_for("mode 1")
            # One good text packet, then a stray byte, then a second packet:
            # the stray byte costs rejected frames until the window is past it.
            self.receiver.command("text 100100 Hi \"there\"", "bytes 55", "text 100101 OK", "sync")
            self.receiver.wait_for("idle ")
            self.receiver.wait_until_read()
        finally:
            listener.send_signal(signal.SIGINT)
            output, _ = listener.communicate(timeout=EVENTUALLY)
        self.assertEqual(listener.returncode, 0, output)
        self.assertIn("sent mode 1 (82 48 00 00 4A)", output)
        self.assertIn('text remote=100100 first=1 second=0 text="Hi \\x22there\\x22"', output)
        self.assertIn('text remote=100101 first=1 second=0 text="OK"', output)
        self.assertIn("2 good frames, 1 rejected", output)


@unittest.skipUnless(BASESIM, "basesim not built")
class BaseStationTest(unittest.TestCase):
    def test_attached_base_is_found_and_opened(self):
        doctor = Doctor()
        self.addCleanup(doctor.cleanup)
        result = doctor.run(env=dict(doctor.env, LD_PRELOAD=BASESIM))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("OK: base station at ", result.stdout)

    def test_no_base_and_no_receiver_is_a_problem(self):
        doctor = Doctor()
        self.addCleanup(doctor.cleanup)
        result = doctor.run(env=dict(doctor.env, LD_PRELOAD=BASESIM, BASESIM_START="unplugged"))
        self.assertEqual(result.returncode, 1, result.stdout)
        self.assertIn("none attached", result.stdout)


if __name__ == "__main__":
    unittest.main()
