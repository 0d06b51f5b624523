"""The complete client of docs/vexorapi.md, built from the page, against the
simulated base: it sees the base, starts a vote, prints a vote, writes no
trace line, and ends cleanly when its input ends.

CLIENT names the built client (linked with the simulated base),
BASESIM_CONTROL_TOOL the program basesim-control.
"""

import os
import queue
import subprocess
import tempfile
import threading
import unittest

PATIENCE = 30


class DocumentedClientTest(unittest.TestCase):
    def test_prints_the_vote_of_a_remote_and_ends_with_its_input(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        socket = os.path.join(folder.name, "base.sock")
        client = subprocess.Popen([os.environ["CLIENT"]], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  text=True, env=dict(os.environ, BASESIM_CONTROL=socket))
        self.addCleanup(client.kill)
        lines = queue.Queue()
        threading.Thread(target=lambda: [lines.put(line.rstrip("\n")) for line in client.stdout],
                         daemon=True).start()
        printed = []

        def wait_for(expected):
            while expected not in printed:
                printed.append(lines.get(timeout=PATIENCE))

        wait_for("vote started")
        subprocess.run([os.environ["BASESIM_CONTROL_TOOL"], "-s", socket, "vote", "123456", "D"],
                       check=True, timeout=PATIENCE)
        wait_for("remote 123456 answered D")
        client.stdin.close()
        self.assertEqual(client.wait(timeout=PATIENCE), 0)
        self.assertLess(printed.index("base ready"), printed.index("vote started"))
        self.assertFalse([line for line in printed if line.startswith("new:")], printed)


if __name__ == "__main__":
    unittest.main()
