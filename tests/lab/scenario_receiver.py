"""The RF receiver through the kernel: rfsim drives the device side of a USB
serial gadget whose manufacturer reads "FTDI"; the host's cdc_acm driver gives
/dev/ttyACM0. The installed lectern, run by the user `lab` (in dialout) with
no receiverPort setting, finds it through udev and delivers the votes to
devservice, where they are counted."""

import collections
import os
import signal
import statistics
import subprocess
import unittest
import urllib.parse

import lab
from harness import DevService, PrivateDisplay
from receiver import Receiver

# lectern's worker tick (its production value: the installed program runs);
# the guest is an emulated machine, so the slack is generous.
TICK = 1.5
TICK_SLACK = 3.0
PORT = "/dev/ttyACM0"
# The remote of the marker vote that ends a count; no simulated class uses it.
MARKER = 2097151


class ReceiverLab(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.user = lab.user_process_options("lab")
        cls.display = PrivateDisplay("1024x768x24", user=cls.user["user"], group=cls.user["group"])
        cls.service = DevService()
        cls.receiver = Receiver(lab.tool("rfsim"), directory=lab.RESULTS, port_args=[
            "--device", "/dev/ttyGS0", "--gadget", lab.gadget_dir("receiver"),
            "--udc", lab.CONTROLLERS["receiver"]])
        lab.wait_for_node(PORT)
        cls.lectern = None
        cls.runs = 0
        cls.start_lectern()

    @classmethod
    def tearDownClass(cls):
        cls.stop_lectern()
        cls.receiver.stop()
        cls.service.stop()
        cls.display.stop()

    @classmethod
    def start_lectern(cls):
        cls.runs += 1
        query = urllib.parse.urlencode({"user": "demo", "auto": "1", "next": "/class?control=1"})
        env = dict(cls.user["env"], DISPLAY=cls.display.name, QT_XCB_GL_INTEGRATION="none")
        with open(os.path.join(lab.RESULTS, "lectern-%d.txt" % cls.runs), "wb") as output:
            cls.lectern = subprocess.Popen(
                ["/usr/bin/lectern", "%s/login?%s" % (cls.service.urls["https"], query)],
                stdout=output, stderr=output, **dict(cls.user, env=env))
        cls.service.wait_for_events("dom_ready", cls.runs, timeout=3 * lab.EVENTUALLY)

    @classmethod
    def stop_lectern(cls):
        if cls.lectern is not None and cls.lectern.poll() is None:
            cls.lectern.send_signal(signal.SIGTERM)
            cls.lectern.wait(lab.EVENTUALLY)

    def connection(self, connected, after=0.0):
        def find():
            events = [e for e in self.service.events("connection") if e["time"] > after]
            return events if events and events[-1]["connected"] == connected else None

        return lab.wait_until(find, timeout=2 * lab.EVENTUALLY, what="connection status %s" % connected)[-1]

    def open_question(self, question, kind):
        self.service.command(action="start", question=question, type=kind)
        lab.wait_until(lambda: [e for e in self.service.events("start_voting") if e["question"] == question],
                       what="question %s opened" % question)

    def votes_for(self, question):
        return [v for v in self.service.records()["votes"] if v["question"] == question]

    def wait_for_votes(self, question, count):
        return lab.wait_until(lambda: (lambda v: v if len(v) >= count else None)(self.votes_for(question)),
                              timeout=3 * lab.EVENTUALLY, what="%d votes for %s" % (count, question))

    def sent_packets(self, after_seq=0):
        return [p for p in self.receiver.packets() if p["seq"] > after_seq and p["sent"]]

    def last_seq(self):
        packets = self.receiver.packets()
        return packets[-1]["seq"] if packets else 0

    def test_1_votes_at_line_rate_all_arrive(self):
        self.connection(True)
        self.open_question("q-rate", "mc")
        first = self.last_seq()
        self.receiver.command("class 600 rate=line seed=1")
        self.assertEqual(self.receiver.sync(timeout=3 * lab.EVENTUALLY)["sent"], 600)
        votes = self.wait_for_votes("q-rate", 600)
        packets = self.sent_packets(first)
        letters = "abcdefghij"
        self.assertEqual(collections.Counter((v["remote"], v["answer"]) for v in votes),
                         collections.Counter((str(p["remote"]), letters[p["answer"] - 1]) for p in packets))
        sent_at = {str(p["remote"]): p["t"] / 1e6 for p in packets}
        latencies = sorted(v["time"] - sent_at[v["remote"]] for v in votes)
        span = packets[-1]["t"] / 1e6 - packets[0]["t"] / 1e6
        lab.record_figure("receiver.votes", len(votes))
        lab.record_figure("receiver.rate", "%.0f" % (len(votes) / span), "votes/s")
        lab.record_figure("receiver.latency.median", "%.0f" % (1000 * statistics.median(latencies)), "ms")
        lab.record_figure("receiver.latency.p95", "%.0f" % (1000 * latencies[int(0.95 * len(latencies))]), "ms")

    def test_2_unplugging_while_votes_flow_loses_only_the_unplugged_time(self):
        self.connection(True)
        self.open_question("q-plug", "mc")
        first = self.last_seq()
        echoed_before = self.receiver.stats()["host-bytes"]
        # A rate the program keeps up with under the emulator: what it has not
        # read yet when the cable goes is lost with the cable, so no backlog.
        self.receiver.command("class 1000 rate=100 seed=2")
        self.wait_for_votes("q-plug", 300)
        self.receiver.command("unplug")
        self.receiver.wait_for("unplugged")
        unplugged_at = self.receiver.log("unplug")[-1]["t"] / 1e6
        lab.wait_for_node(PORT, present=False)
        self.connection(False, after=unplugged_at)
        self.receiver.command("plug")
        self.receiver.wait_for("plugged ")
        plugged_at = self.receiver.log("plug")[-1]["t"] / 1e6
        reopened_at = self.connection(True, after=plugged_at)["time"]
        self.receiver.sync(timeout=3 * lab.EVENTUALLY)
        # The marker comes after every vote of the class: once it is
        # recorded, so is everything that will ever arrive.
        self.receiver.command("vote %d a" % MARKER)
        lab.wait_until(lambda: [v for v in self.votes_for("q-plug") if v["remote"] == str(MARKER)],
                       timeout=3 * lab.EVENTUALLY, what="the marker vote")
        # The program sends the receiver nothing but mode commands; other
        # bytes are the port's echo: the kernel handed it bytes while its line
        # still had the default settings, before the program's took effect.
        echoed = self.receiver.stats()["host-bytes"] - echoed_before

        packets = [p for p in self.receiver.packets() if first < p["seq"] and p["remote"] != MARKER]
        self.assertEqual(len(packets), 1000)
        votes = [v for v in self.votes_for("q-plug") if v["remote"] != str(MARKER)]
        delivered = collections.Counter(v["remote"] for v in votes)
        self.assertEqual(max(delivered.values()), 1, "a vote was delivered twice")
        unsent = [p for p in packets if not p["sent"]]
        self.assertTrue(unsent, "no vote fell into the unplugged time")
        self.assertTrue(all(unplugged_at <= p["t"] / 1e6 <= plugged_at for p in unsent))
        self.assertFalse({str(p["remote"]) for p in unsent} & set(delivered), "an unsent vote arrived")
        missing = [p["t"] / 1e6 for p in packets if p["sent"] and str(p["remote"]) not in delivered]
        # Besides those, only votes on their way when the cable went (written
        # in the last half second before it) may be missing, and those the
        # gadget held for the port while no program had it open, but only
        # when the kernel gave them to the port's default line (seen by the
        # echo): no program can set a new port's line before opening it, and
        # opening it starts the reading.
        self.assertEqual([unplugged_at - t for t in missing if t < unplugged_at - 0.5], [],
                         "lost long before the unplugging")
        after_plug = [t - plugged_at for t in missing if t > plugged_at]
        if echoed:
            self.assertEqual([t for t in after_plug if t > reopened_at - plugged_at], [],
                             "lost after the reopening")
        else:
            self.assertEqual(after_plug, [], "lost after the plug-in, though the port's line was raw")
        resumed = min(v["time"] for v in votes if v["time"] > plugged_at) - plugged_at
        self.assertLess(resumed, TICK + TICK_SLACK)
        lab.record_figure("receiver.unplugged.lost", len(unsent), "votes")
        lab.record_figure("receiver.unplug.in_flight_lost", len(missing) - len(after_plug), "votes")
        lab.record_figure("receiver.replug.echoed", echoed, "bytes")
        lab.record_figure("receiver.replug.lost_to_default_line", len(after_plug), "votes")
        lab.record_figure("receiver.replug.reopened", "%.2f" % (reopened_at - plugged_at), "s")
        lab.record_figure("receiver.replug.resumed", "%.2f" % resumed, "s")

    def test_3_a_restart_during_a_text_question_keeps_later_votes(self):
        self.connection(True)
        self.open_question("q-text", "wa")
        self.assertEqual(self.receiver.wait_for("mode "), "mode 1")
        self.receiver.command("text 100900 before")
        self.wait_for_votes("q-text", 1)

        self.stop_lectern()
        stopped_at = self.service.records()["events"][-1]["time"]
        self.start_lectern()
        self.connection(True, after=stopped_at)
        self.open_question("q-after", "mc")
        for remote in range(100910, 100920):
            self.receiver.command("vote %d c" % remote)
        votes = self.wait_for_votes("q-after", 10)
        self.assertEqual(sorted(v["remote"] for v in votes), [str(r) for r in range(100910, 100920)])


if __name__ == "__main__":
    unittest.main()
