"""Tests of the development service itself: sign-in and session cookie, what it
records, the page command queue, and its handling of bad requests."""

import base64
import http.client
import json
import os
import socket
import ssl
import sys
import threading
import time
import unittest
import urllib.parse

# The process harness is shared with the whole-system tests.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "e2e"))
import harness  # noqa: E402

sys.path.insert(0, os.path.dirname(harness.DEVSERVICE))
import devservice  # noqa: E402
from records import Records, jpeg_info  # noqa: E402


def tiny_jpeg(width, height):
    """The markers jpeg_info reads: SOI, an SOF0 segment with the size, EOI."""
    sof = b"\xff\xc0\x00\x11\x08" + height.to_bytes(2, "big") + width.to_bytes(2, "big")
    sof += b"\x03" + b"\x00" * 9
    app0 = b"\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
    return b"\xff\xd8" + app0 + sof + b"\xff\xd9"


class JpegInfoTest(unittest.TestCase):
    def test_describes_pictures_and_rejects_the_rest(self):
        good = base64.b64encode(tiny_jpeg(1280, 1024)).decode()
        cases = [
            (good, True, 1280, 1024),
            ("not base64 at all!", False, 0, 0),
            (base64.b64encode(b"GIF89a....").decode(), False, 0, 0),
            (good[:12], False, 0, 0),  # cut before the size
            ("", False, 0, 0),
        ]
        for text, valid, width, height in cases:
            with self.subTest(text=text[:20]):
                info = jpeg_info(text)
                self.assertEqual((info["valid"], info["width"], info["height"]), (valid, width, height))


class RecordsTest(unittest.TestCase):
    def test_keeps_only_the_newest_entries(self):
        records = Records(limit=3)
        for i in range(5):
            records.add("votes", {"remote": str(i)})
        self.assertEqual([v["remote"] for v in records.snapshot()["votes"]], ["2", "3", "4"])

    def test_command_waits_for_a_push_from_another_thread(self):
        records = Records()
        threading.Timer(0.2, records.push_command, [{"action": "stop"}]).start()
        self.assertEqual(records.next_command(10), {"action": "stop"})
        self.assertIsNone(records.next_command(0.05))

    def test_reset_keeps_sessions(self):
        records = Records()
        token = records.open_session("ann")
        records.add("votes", {})
        records.reset()
        self.assertEqual(records.snapshot()["votes"], [])
        self.assertEqual(records.session_user(token), "ann")
        self.assertIsNone(records.session_user(""))


class ServiceTest(unittest.TestCase):
    """The HTTP side, on an in-process listener."""

    def setUp(self):
        self.service = devservice.Service(password="demo", quiet=True)
        self.listener = devservice.Listener(("127.0.0.1", 0), self.service, "http")
        threading.Thread(target=self.listener.serve_forever, daemon=True).start()
        self.port = self.listener.server_address[1]

    def tearDown(self):
        self.listener.shutdown()
        self.listener.server_close()

    def call(self, method, path, body=None, cookie=None, content_type=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        headers = {}
        if cookie is not None:
            headers["Cookie"] = cookie
        if content_type:
            headers["Content-Type"] = content_type
        conn.request(method, path, body=body, headers=headers)
        reply = conn.getresponse()
        data = reply.read()
        conn.close()
        return reply.status, dict(reply.getheaders()), data

    def log_in(self, user="ann", password="demo"):
        form = urllib.parse.urlencode({"user": user, "password": password, "next": "/class?x=1"})
        return self.call("POST", "/login", form, content_type="application/x-www-form-urlencoded")

    def session_cookie(self, headers):
        return headers["Set-Cookie"].split(";")[0]

    def test_sign_in_sets_the_session_cookie_and_opens_the_class_page(self):
        status, headers, _ = self.log_in()
        self.assertEqual(status, 303)
        self.assertEqual(headers["Location"], "/class?x=1")
        cookie = self.session_cookie(headers)
        self.assertRegex(cookie, r"^sessionid=[0-9a-f]{32}$")
        status, _, page = self.call("GET", "/class", cookie=cookie)
        self.assertEqual(status, 200)
        self.assertIn(b"ann", page)
        # Signed in already: the login page leads on to the class page.
        status, headers, _ = self.call("GET", "/login", cookie=cookie)
        self.assertEqual((status, headers["Location"]), (303, "/class"))

    def test_refused_sign_ins(self):
        for user, password in [("ann", "wrong"), ("", "demo"), ("  ", "demo")]:
            with self.subTest(user=user, password=password):
                status, headers, page = self.log_in(user, password)
                self.assertEqual(status, 200)
                self.assertNotIn("Set-Cookie", headers)
                self.assertIn(b"wrong password", page)

    def test_class_page_needs_a_known_session(self):
        # No cookie, the blank cookie left by "Log me out", an unknown token.
        for cookie in [None, "sessionid=", "sessionid=0123"]:
            with self.subTest(cookie=cookie):
                status, headers, _ = self.call("GET", "/class?autostart=mc", cookie=cookie)
                self.assertEqual(status, 303)
                target = urllib.parse.parse_qs(urllib.parse.urlsplit(headers["Location"]).query)
                self.assertEqual(target["next"], ["/class?autostart=mc"])

    def test_auto_login_and_sign_out(self):
        status, headers, _ = self.call("GET", "/login?user=demo&auto=1")
        self.assertEqual(status, 303)
        cookie = self.session_cookie(headers)
        status, headers, _ = self.call("GET", "/logout", cookie=cookie)
        self.assertEqual(status, 303)
        self.assertIn("1970", headers["Set-Cookie"])
        status, _, _ = self.call("GET", "/class", cookie=cookie)
        self.assertEqual(status, 303)

    def test_login_target_stays_on_this_service(self):
        for target, expected in [("/class?q=1", "/class?q=1"), ("//elsewhere/x", "/class"),
                                 ("https://elsewhere/", "/class"), ("/\\elsewhere", "/class"),
                                 (None, "/class")]:
            with self.subTest(target=target):
                self.assertEqual(devservice.safe_next(target), expected)

    def test_static_files_only_from_the_pages_folder(self):
        self.assertEqual(self.call("GET", "/static/class.js")[0], 200)
        for path in ["/static/../devservice.py", "/static/..%2Fdevservice.py", "/static/records.py",
                     "/static/missing.js", "/static/.hidden.css", "/nowhere"]:
            with self.subTest(path=path):
                self.assertEqual(self.call("GET", path)[0], 404)

    def test_records_votes_events_and_the_timeout_report(self):
        _, headers, _ = self.log_in()
        cookie = self.session_cookie(headers)
        vote = json.dumps({"remote": "123456", "answer": "b", "question": "q1", "type": "mc"})
        self.assertEqual(self.call("POST", "/api/votes", vote, cookie=cookie)[0], 200)
        shot = base64.b64encode(tiny_jpeg(64, 48)).decode()
        event = json.dumps({"kind": "screenshot", "jpeg": shot})
        self.assertEqual(self.call("POST", "/api/events", event)[0], 200)
        report = urllib.parse.urlencode({"course": "/class"})
        status, _, _ = self.call("POST", "/ereport_javascript_timeout/", report, cookie=cookie)
        self.assertEqual(status, 200)

        records = json.loads(self.call("GET", "/api/records")[2])
        self.assertEqual(records["votes"][0]["answer"], "b")
        self.assertEqual(records["votes"][0]["user"], "ann")
        self.assertEqual(records["events"][0]["jpeg"], {"valid": True, "bytes": len(tiny_jpeg(64, 48)),
                                                         "width": 64, "height": 48})
        self.assertEqual(records["timeouts"][0]["course"], "/class")
        self.assertEqual(records["timeouts"][0]["cookie"], cookie)
        paths = [r["path"] for r in records["requests"]]
        self.assertIn("/ereport_javascript_timeout/", paths)
        self.assertNotIn("/api/records", paths)

        self.call("POST", "/api/reset")
        records = json.loads(self.call("GET", "/api/records")[2])
        self.assertEqual(sum(len(v) for v in records.values()), 0)

    def test_a_list_of_votes_is_recorded_vote_by_vote_in_its_order(self):
        _, headers, _ = self.log_in()
        cookie = self.session_cookie(headers)
        single = {"remote": "100000", "answer": "a", "question": "q1", "type": "mc", "at": 1000}
        batch = [
            {"remote": "100002", "answer": "c", "question": "q1", "type": "mc", "at": 1001},
            {"remote": "100001", "answer": "b", "question": "q1", "type": "mc", "at": 1002},
            {"remote": "100002", "answer": "d", "question": "q1", "type": "mc", "at": 1003},
            {"remote": "100003", "answer": "x"},  # no question open: no question, type, time
        ]
        for body in [single, batch, [single]]:
            self.assertEqual(self.call("POST", "/api/votes", json.dumps(body), cookie=cookie)[0], 200)
        self.assertEqual(self.call("POST", "/api/votes", "[]", cookie=cookie)[0], 200)

        recorded = json.loads(self.call("GET", "/api/records")[2])["votes"]
        expected = [
            {"remote": v["remote"], "answer": v["answer"], "question": v.get("question"),
             "type": v.get("type"), "page_time": v.get("at"), "user": "ann"}
            for v in [single] + batch + [single]
        ]
        self.assertEqual([{k: v for k, v in r.items() if k != "time"} for r in recorded], expected)
        times = [r["time"] for r in recorded]
        self.assertEqual(times, sorted(times))

    def test_a_list_with_one_bad_vote_records_none_of_it(self):
        good = {"remote": "100000", "answer": "a"}
        for bad in [{"remote": "100001"}, {"remote": 100001, "answer": "a"}, "100001 a", None, [good]]:
            with self.subTest(bad=bad):
                body = json.dumps([good, bad, good])
                self.assertEqual(self.call("POST", "/api/votes", body)[0], 400)
        self.assertEqual(json.loads(self.call("GET", "/api/records")[2])["votes"], [])

    def test_bad_requests_are_refused_and_not_recorded(self):
        cases = [
            ("/api/votes", "{not json"),
            ("/api/votes", "[1, 2]"),
            ("/api/votes", json.dumps({"remote": 5, "answer": "a"})),
            ("/api/votes", "\xff\xfe"),
            ("/api/events", json.dumps({"no": "kind"})),
            ("/api/commands", json.dumps({"action": "explode"})),
            ("/api/commands", json.dumps({"action": "resize", "width": 1})),
        ]
        for path, body in cases:
            with self.subTest(path=path, body=body):
                self.assertEqual(self.call("POST", path, body.encode("latin-1"))[0], 400)
        records = json.loads(self.call("GET", "/api/records")[2])
        self.assertEqual(records["votes"] + records["events"], [])
        self.assertEqual(self.call("GET", "/api/commands?wait=0")[0], 204)
        self.assertEqual(self.call("GET", "/api/commands?wait=soon")[0], 400)

    def test_commands_reach_a_waiting_page_in_order(self):
        for command in [{"action": "start", "question": "q1", "type": "mc"}, {"action": "stop"}]:
            self.call("POST", "/api/commands", json.dumps(command))
        first = json.loads(self.call("GET", "/api/commands?wait=5")[2])
        second = json.loads(self.call("GET", "/api/commands?wait=5")[2])
        self.assertEqual((first["action"], second["action"]), ("start", "stop"))
        started = time.monotonic()
        self.assertEqual(self.call("GET", "/api/commands?wait=0.3")[0], 204)
        self.assertGreaterEqual(time.monotonic() - started, 0.25)


    def test_command_is_not_lost_to_a_page_that_left(self):
        # A page polls, then navigates away: its request is dropped unanswered.
        gone = socket.create_connection(("127.0.0.1", self.port))
        gone.sendall(b"GET /api/commands?wait=10 HTTP/1.1\r\nHost: x\r\n\r\n")
        time.sleep(0.2)
        gone.close()
        time.sleep(0.5)
        self.call("POST", "/api/commands", json.dumps({"action": "reload"}))
        status, _, body = self.call("GET", "/api/commands?wait=5")
        self.assertEqual((status, json.loads(body)["action"]), (200, "reload"))


class ProcessTest(unittest.TestCase):
    def test_announces_both_listeners_and_serves_tls(self):
        with harness.DevService() as service:
            self.assertEqual(set(service.urls), {"http", "https"})
            https = urllib.parse.urlsplit(service.urls["https"])
            context = ssl._create_unverified_context()
            conn = http.client.HTTPSConnection(https.hostname, https.port, timeout=10, context=context)
            conn.request("GET", "/login")
            reply = conn.getresponse()
            self.assertEqual(reply.status, 200)
            reply.read()
            conn.close()
            self.assertEqual(service.records()["requests"][0]["scheme"], "https")

    def test_one_scheme_by_flag(self):
        with harness.DevService("--scheme", "https") as service:
            self.assertEqual(set(service.urls), {"https"})


if __name__ == "__main__":
    unittest.main()
