"""Votes end to end: the receiver simulator on a pseudo-terminal named by the
program's receiverPort setting, the real lectern program under an X server,
and the development service recording every vote the page forwards.

Set LECTERN and RFSIM to the two programs."""

import collections
import os
import shutil
import tempfile
import unittest

from harness import EVENTUALLY, wait_until
from receiver import Receiver, expected_answer
from test_lectern import LecternTestCase

# The program's receiver tick, shortened from its 1.5 s (receiverTickMs); a busy
# test machine gets generous slack on top.
TICK_MS = 100
TICK = TICK_MS / 1000
TICK_SLACK = 3.0

# The remote of the marker votes that end a check for "no more votes"; the
# highest identifier, which no simulated class uses.
MARKER_REMOTE = 2097151


class VoteTestCase(LecternTestCase):
    def setUp(self):
        super().setUp()
        rfsim = os.environ.get("RFSIM", "")
        if not os.access(rfsim, os.X_OK):
            self.skipTest("RFSIM does not name the rfsim program")
        scratch = tempfile.mkdtemp(prefix="rfsim-e2e-")
        self.addCleanup(shutil.rmtree, scratch, ignore_errors=True)
        self.receiver = Receiver(rfsim, directory=scratch)
        self.addCleanup(self.receiver.stop)

        self.question_types = {}
        self.program = self.lectern({"receiverPort": self.receiver.link, "receiverTickMs": TICK_MS})
        self.program.start(self.auto_login_url("/class?control=1"))
        try:
            self.service.wait_for_events("dom_ready")
        except AssertionError as error:
            raise AssertionError("%s; requests %s; lectern said: %s" % (
                error, [r["path"] for r in self.service.records()["requests"]],
                self.program.diagnostics()))
        # Opening the receiver tells it the mode: vote packets, no question open.
        self.assertEqual(self.receiver.wait_for("mode "), "mode 0")
        self.wait_for_connection(True)

    def connection_events(self):
        return self.service.events("connection")

    def wait_for_connection(self, connected, after=0.0):
        def find():
            events = [e for e in self.connection_events() if e["time"] > after]
            return events if events and events[-1]["connected"] == connected else None

        return wait_until(find, what="connection status %s" % connected)[-1]

    def open_question(self, question, kind):
        self.service.command(action="start", question=question, type=kind)
        started = wait_until(
            lambda: [e for e in self.service.events("start_voting") if e["question"] == question],
            what="question %s opened" % question,
        )[0]
        self.assertTrue(started["accepted"])
        self.question_types[question] = kind

    def votes_for(self, question):
        return [v for v in self.service.records()["votes"] if v["question"] == question]

    def wait_for_votes(self, question, count):
        return wait_until(
            lambda: (lambda v: v if len(v) >= count else None)(self.votes_for(question)),
            what="%d votes for %s" % (count, question),
        )

    def assert_no_more_votes(self, question, count):
        """Checks that exactly `count` votes arrived for `question`. A marker
        vote for a question of its own, of the same type, follows them and is
        waited for: the program and the page keep the receiver's order, so once
        the marker is recorded every vote before it is recorded too."""
        kind = self.question_types[question]
        marker = question + "-marker"
        self.open_question(marker, kind)
        packet = "vote %d a" if kind == "mc" else "text %d 1"
        self.receiver.command(packet % MARKER_REMOTE)
        self.wait_for_votes(marker, 1)
        self.assertEqual(len(self.votes_for(question)), count)

    def packets(self):
        """The simulator's packets, without the markers."""
        return [p for p in self.receiver.packets() if p["remote"] != MARKER_REMOTE]

    def delivered(self, question):
        return collections.Counter((v["remote"], v["answer"]) for v in self.votes_for(question))


class MultipleChoiceTest(VoteTestCase):
    def test_every_remote_of_a_class_is_recorded_once_with_its_letter(self):
        self.open_question("q-mc", "mc")
        self.receiver.command("class 60 rate=line answers=a:1,b:1,c:1,d:1,e:1,j:1 seed=3")
        self.assertEqual(self.receiver.sync()["sent"], 60)

        self.wait_for_votes("q-mc", 60)
        self.assert_no_more_votes("q-mc", 60)
        sent = collections.Counter(
            (str(p["remote"]), expected_answer(p)) for p in self.packets()
        )
        self.assertEqual(len({remote for remote, _ in sent}), 60)
        self.assertEqual(self.delivered("q-mc"), sent)
        self.assertTrue(all(v["type"] == "mc" for v in self.votes_for("q-mc")))
        # Recorded in the order the packets were written, although the page
        # forwards them in batches.
        self.assertEqual([v["remote"] for v in self.votes_for("q-mc")],
                         [str(p["remote"]) for p in self.packets()])

    def test_the_page_forwards_votes_in_batches(self):
        # 400 votes at the line rate take about 2 s; the page sends at most
        # about ten batches a second instead of one request per vote.
        self.open_question("q-batch", "mc")
        self.receiver.command("class 400 rate=line seed=5")
        self.assertEqual(self.receiver.sync()["sent"], 400)
        self.wait_for_votes("q-batch", 400)
        self.assert_no_more_votes("q-batch", 400)
        posts = [r for r in self.service.records()["requests"]
                 if r["method"] == "POST" and r["path"] == "/api/votes"]
        self.assertLess(len(posts), 60)
        self.assertGreater(len(posts), 1)  # not held back until the question closes

    def test_votes_just_before_return_to_start_are_not_lost(self):
        # The page is told to leave while its latest votes may still wait for
        # the next batch; the batch must go out before the page does.
        self.open_question("q-leave", "mc")
        dom_ready = len(self.service.events("dom_ready"))
        self.receiver.command("vote 100401 a", "vote 100402 b", "vote 100403 c")
        # The program hands a vote to the page within a few ms of reading it
        # (see docs/receiver-figures.md); the page waits 100 ms before sending.
        self.receiver.wait_until_read()
        self.service.command(action="reload")
        self.service.wait_for_events("dom_ready", dom_ready + 1)
        self.wait_for_votes("q-leave", 3)
        self.assertEqual(self.delivered("q-leave"), collections.Counter(
            {("100401", "a"): 1, ("100402", "b"): 1, ("100403", "c"): 1}))

    def test_votes_while_no_question_is_open_are_dropped(self):
        self.receiver.command("vote 100001 a", "vote 100002 b")
        self.receiver.wait_until_read()
        self.open_question("q-late", "mc")
        self.receiver.command("vote 100003 c")
        self.receiver.sync()
        self.wait_for_votes("q-late", 1)
        self.assert_no_more_votes("q-late", 1)
        self.assertEqual(self.delivered("q-late"), collections.Counter({("100003", "c"): 1}))
        self.assertEqual(self.service.records()["votes"][0]["remote"], "100003")


class TextAnswerTest(VoteTestCase):
    HOSTILE = [
        "It's",
        'say "hi"',
        "back\\slash",
        "');alert(1);//",
        "\\'",
        "</script><b>",
        "MiXeD CaSe 42",
        "%1 %2 $&",
    ]

    def test_a_text_question_switches_the_receiver_and_texts_arrive_as_typed(self):
        self.open_question("q-wa", "wa")
        self.assertEqual(self.receiver.wait_for("mode "), "mode 1")
        for index, text in enumerate(self.HOSTILE):
            self.receiver.command("text %d %s" % (100100 + index, text))
        self.receiver.sync()

        votes = self.wait_for_votes("q-wa", len(self.HOSTILE))
        self.assert_no_more_votes("q-wa", len(self.HOSTILE))
        got = {v["remote"]: v["answer"] for v in votes}
        expected = {str(100100 + i): text.lower() for i, text in enumerate(self.HOSTILE)}
        self.assertEqual(got, expected)

        # A multiple-choice question switches back to vote packets.
        self.open_question("q-mc", "mc")
        self.assertEqual(self.receiver.wait_for("mode "), "mode 0")
        self.receiver.command("vote 100200 d")
        self.wait_for_votes("q-mc", 1)
        self.assertEqual(self.delivered("q-mc"), collections.Counter({("100200", "d"): 1}))
        modes = [r["mode"] for r in self.receiver.log("mode")]
        self.assertEqual(modes, [0, 1, 0])  # on opening, then each switch once


class NoiseTest(VoteTestCase):
    def test_every_packet_the_noise_left_intact_is_delivered_exactly_once(self):
        self.open_question("q-noise", "mc")
        # Six times the line rate: the reads still end anywhere in a packet.
        self.receiver.command(
            "pace 115200",
            "noise stray=0.1 flip=0.1 drop=0.1 seed=11",
            "class 400 rate=line seed=11",
        )
        counts = self.receiver.sync()
        self.assertEqual(counts["sent"], 400)
        packets = self.packets()
        intact = collections.Counter(
            (str(p["remote"]), expected_answer(p)) for p in packets if p["intact"]
        )
        self.assertGreater(len(intact), 200)
        self.assertLess(len(intact), 400)

        self.wait_for_votes("q-noise", sum(intact.values()))
        self.receiver.command("noise stray=0 flip=0 drop=0")
        self.assert_no_more_votes("q-noise", sum(intact.values()))
        # Exactly the intact ones, each once: nothing damaged slipped through.
        self.assertEqual(self.delivered("q-noise"), intact)


class UnplugTest(VoteTestCase):
    def test_unplugging_hides_the_status_within_a_tick_and_plugging_shows_it(self):
        self.receiver.command("unplug")
        self.receiver.wait_for("unplugged")
        unplugged_at = self.receiver.log("unplug")[-1]["t"] / 1e6
        hidden = self.wait_for_connection(False, after=unplugged_at)
        self.assertLess(hidden["time"] - unplugged_at, TICK + TICK_SLACK)
        self.assertFalse(os.path.exists(self.receiver.link))

        self.receiver.command("plug")
        self.receiver.wait_for("plugged ")
        plugged_at = self.receiver.log("plug")[-1]["t"] / 1e6
        shown = self.wait_for_connection(True, after=plugged_at)
        self.assertLess(shown["time"] - plugged_at, TICK + TICK_SLACK)

        # The program reads the new pseudo-terminal behind the same path.
        self.open_question("q-after", "mc")
        self.receiver.command("vote 100300 b")
        self.wait_for_votes("q-after", 1)
        self.assertEqual(self.delivered("q-after"), collections.Counter({("100300", "b"): 1}))


if __name__ == "__main__":
    unittest.main()
