#!/usr/bin/env python3
"""Local development stand-in for the Brimora web service.

Serves a login page and a class page that follow the page contract of the
desktop program `lectern` (see docs/page-contract.md), over HTTP and HTTPS at
once, and records what it receives so tests can read it back as JSON:

  GET  /api/records    everything received since the start or the last reset
  POST /api/reset      forgets the records
  POST /api/commands   queues a command for a class page opened with ?control=1

The first line on standard output names the listening URLs, e.g.
  devservice http=http://127.0.0.1:40123 https=https://127.0.0.1:40124
"""

import argparse
import http.cookies
import http.server
import json
import os
import select
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from records import Records, jpeg_info  # noqa: E402

PAGES_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pages")
SESSION_COOKIE = "sessionid"
MAX_BODY = 16 * 1024 * 1024
LONG_POLL_LIMIT = 30.0
SLOW_LIMIT = 30.0

CONTENT_TYPES = {
    ".html": "text/html; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".js": "application/javascript; charset=utf-8",
}

# Commands a controlled class page understands, with their required fields.
COMMAND_FIELDS = {
    "start": ("question", "type"),
    "stop": (),
    "resize": ("width", "height"),
    "screenshot": (),
    "reload": (),
}


class BadRequest(Exception):
    pass


class Service:
    """State shared by both listeners."""

    def __init__(self, password, quiet, record_limit=5000):
        self.password = password
        self.quiet = quiet
        self.records = Records(record_limit)

    def page(self, name):
        with open(os.path.join(PAGES_DIR, name), "rb") as f:
            return f.read()


def safe_next(target):
    """Keeps a post-login target only when it is a path on this service."""
    if target and target.startswith("/") and not target.startswith("//") and "\\" not in target:
        return target
    return "/class"


def last_values(text):
    """The fields of a query string or form body; a repeated name keeps its last value."""
    return {k: v[-1] for k, v in urllib.parse.parse_qs(text, keep_blank_values=True).items()}


def html_escape(text):
    return (
        text.replace("&", "&amp;")
        .replace("<", "&lt;")
        .replace(">", "&gt;")
        .replace('"', "&quot;")
        .replace("'", "&#39;")
    )


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "devservice/1.0"

    # --- plumbing ---------------------------------------------------------

    @property
    def service(self):
        return self.server.service

    def log_message(self, fmt, *args):
        if not self.service.quiet:
            sys.stderr.write("devservice %s %s\n" % (self.server.scheme, fmt % args))

    def cookies(self):
        jar = http.cookies.SimpleCookie()
        try:
            jar.load(self.headers.get("Cookie", ""))
        except http.cookies.CookieError:
            return {}
        return {name: morsel.value for name, morsel in jar.items()}

    def session_token(self):
        return self.cookies().get(SESSION_COOKIE, "")

    def current_user(self):
        return self.service.records.session_user(self.session_token())

    def read_body(self):
        try:
            length = int(self.headers.get("Content-Length", "0"))
        except ValueError:
            raise BadRequest("bad Content-Length")
        if length < 0 or length > MAX_BODY:
            raise BadRequest("body too large")
        return self.rfile.read(length) if length else b""

    def read_json(self, lists=False):
        """The body as a JSON object; with `lists`, a JSON list is taken too."""
        try:
            value = json.loads(self.read_body().decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            raise BadRequest("body is not JSON")
        if not isinstance(value, dict) and not (lists and isinstance(value, list)):
            raise BadRequest("body is not a JSON object" + (" or list" if lists else ""))
        return value

    def read_form(self):
        return last_values(self.read_body().decode("utf-8", "replace"))

    def send(self, status, body=b"", content_type="text/plain; charset=utf-8", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def send_json(self, value, status=200):
        self.send(status, json.dumps(value).encode("utf-8"), "application/json")

    def redirect(self, location, headers=()):
        self.send(303, headers=[("Location", location)] + list(headers))

    def record_request(self):
        url = urllib.parse.urlsplit(self.path)
        # The page's own polling would flood the list; it is recorded as
        # commands reach the page instead.
        if url.path in ("/api/records", "/api/commands"):
            return
        self.service.records.add(
            "requests",
            {
                "scheme": self.server.scheme,
                "method": self.command,
                "path": url.path,
                "query": url.query,
                "user_agent": self.headers.get("User-Agent", ""),
                "cookie": self.headers.get("Cookie", ""),
                "cookies": self.cookies(),
                "user": self.current_user(),
            },
        )

    def dispatch(self, routes):
        self.record_request()
        path = urllib.parse.urlsplit(self.path).path
        handler = routes.get(path)
        if handler is None and path.startswith("/static/"):
            handler = self.static_file
        try:
            if handler is None:
                self.send(404, b"not found\n")
            else:
                handler()
        except BadRequest as e:
            self.send(400, ("%s\n" % e).encode("utf-8"))

    def do_GET(self):
        self.dispatch(
            {
                "/": lambda: self.redirect("/login"),
                "/login": self.get_login,
                "/logout": self.get_logout,
                "/class": self.get_class,
                "/api/records": lambda: self.send_json(self.service.records.snapshot()),
                "/api/commands": self.get_command,
                "/slow": self.get_slow,
            }
        )

    def do_HEAD(self):
        self.do_GET()

    def do_POST(self):
        self.dispatch(
            {
                "/login": self.post_login,
                "/api/votes": self.post_vote,
                "/api/events": self.post_event,
                "/api/reset": self.post_reset,
                "/api/commands": self.post_command,
                "/ereport_javascript_timeout/": self.post_timeout,
            }
        )

    def query(self):
        return last_values(urllib.parse.urlsplit(self.path).query)

    # --- pages ------------------------------------------------------------

    def get_login(self):
        query = self.query()
        target = safe_next(query.get("next"))
        if self.current_user():
            self.redirect(target)
        elif query.get("auto") == "1" and query.get("user"):
            self.log_in(query["user"], target, "auto")
        else:
            self.login_form(target, "", "")

    def post_login(self):
        form = self.read_form()
        user = form.get("user", "").strip()
        target = safe_next(form.get("next"))
        if user and form.get("password") == self.service.password:
            self.log_in(user, target, "form")
        else:
            self.service.records.add("logins", {"user": user, "accepted": False})
            self.login_form(target, user, "Unknown user name or wrong password.")

    def log_in(self, user, target, how):
        token = self.service.records.open_session(user)
        self.service.records.add("logins", {"user": user, "accepted": True, "how": how})
        cookie = "%s=%s; Path=/; HttpOnly" % (SESSION_COOKIE, token)
        self.redirect(target, [("Set-Cookie", cookie)])

    def login_form(self, target, user, error):
        page = self.service.page("login.html").decode("utf-8")
        for name, value in (("next", target), ("user", user), ("error", error)):
            page = page.replace("{{%s}}" % name, html_escape(value))
        self.send(200, page.encode("utf-8"), CONTENT_TYPES[".html"])

    def get_logout(self):
        self.service.records.close_session(self.session_token())
        expired = "%s=; Path=/; Expires=Thu, 01 Jan 1970 00:00:00 GMT" % SESSION_COOKIE
        self.redirect("/login", [("Set-Cookie", expired)])

    def get_class(self):
        user = self.current_user()
        if not user:
            self.redirect("/login?" + urllib.parse.urlencode({"next": self.path}))
            return
        page = self.service.page("class.html").decode("utf-8")
        page = page.replace("{{user}}", html_escape(user))
        self.send(200, page.encode("utf-8"), CONTENT_TYPES[".html"])

    def static_file(self):
        name = urllib.parse.urlsplit(self.path).path[len("/static/") :]
        extension = os.path.splitext(name)[1]
        # Only plain file names of known kinds: nothing outside the pages.
        if "/" in name or name.startswith(".") or extension not in CONTENT_TYPES:
            self.send(404, b"not found\n")
            return
        try:
            body = self.service.page(name)
        except OSError:
            self.send(404, b"not found\n")
            return
        self.send(200, body, CONTENT_TYPES[extension])

    # --- what the page and the program send --------------------------------

    def post_vote(self):
        """Records one vote (a JSON object) or several (a JSON list of them, in
        the order the page received them). A list with one bad vote is refused
        whole, so nothing of it is recorded."""
        body = self.read_json(lists=True)
        votes = body if isinstance(body, list) else [body]
        for index, vote in enumerate(votes):
            where = " (item %d)" % index if isinstance(body, list) else ""
            if not isinstance(vote, dict):
                raise BadRequest("vote%s is not a JSON object" % where)
            for field in ("remote", "answer"):
                if not isinstance(vote.get(field), str):
                    raise BadRequest("vote%s needs text field %r" % (where, field))
        user = self.current_user()
        for vote in votes:
            self.service.records.add(
                "votes",
                {
                    "remote": vote["remote"],
                    "answer": vote["answer"],
                    "question": vote.get("question"),
                    "type": vote.get("type"),
                    "page_time": vote.get("at"),
                    "user": user,
                },
            )
        self.send_json({"ok": True, "recorded": len(votes)})

    def post_event(self):
        event = self.read_json()
        if not isinstance(event.get("kind"), str):
            raise BadRequest("event needs text field 'kind'")
        if event["kind"] == "screenshot":
            # Keep what the picture is, not its bytes.
            event["jpeg"] = jpeg_info(event.get("jpeg") or "")
        event["user"] = self.current_user()
        event["user_agent"] = self.headers.get("User-Agent", "")
        self.service.records.add("events", event)
        self.send_json({"ok": True})

    def post_timeout(self):
        form = self.read_form()
        self.service.records.add(
            "timeouts",
            {
                "course": form.get("course"),
                "form": form,
                "cookie": self.headers.get("Cookie", ""),
                "user": self.current_user(),
                "user_agent": self.headers.get("User-Agent", ""),
            },
        )
        # Shows where the reply's cookies go.
        self.send(200, b"reported\n", headers=[("Set-Cookie", "timeout_reported=1; Path=/")])

    def client_gone(self):
        """True when the client closed the connection while waiting for the reply.

        It sends nothing more until it has the reply, so a readable socket means
        it hung up (or aborted the request by leaving the page)."""
        readable, _, _ = select.select([self.connection], [], [], 0)
        return bool(readable)

    # --- test control -------------------------------------------------------

    def get_slow(self):
        """Answers after ms= milliseconds (at most SLOW_LIMIT seconds)."""
        try:
            seconds = min(max(float(self.query().get("ms", "0")) / 1000.0, 0.0), SLOW_LIMIT)
        except ValueError:
            raise BadRequest("bad ms")
        time.sleep(seconds)
        self.send(200, b"slow\n")

    def post_reset(self):
        self.read_body()
        self.service.records.reset()
        self.send_json({"ok": True})

    def post_command(self):
        command = self.read_json()
        fields = COMMAND_FIELDS.get(command.get("action"))
        if fields is None:
            raise BadRequest("unknown action; known: %s" % ", ".join(sorted(COMMAND_FIELDS)))
        missing = [f for f in fields if f not in command]
        if missing:
            raise BadRequest("missing fields: %s" % ", ".join(missing))
        self.service.records.push_command(command)
        self.send_json({"ok": True})

    def get_command(self):
        try:
            wait = min(max(float(self.query().get("wait", "0")), 0.0), LONG_POLL_LIMIT)
        except ValueError:
            raise BadRequest("bad wait")
        command = self.service.records.next_command(wait, self.client_gone)
        if command is None:
            self.send(204)
        else:
            self.send_json(command)


class Listener(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, service, scheme, tls_context=None):
        super().__init__(address, Handler)
        self.service = service
        self.scheme = scheme
        if tls_context is not None:
            # The handshake happens in the request thread, on first read, so a
            # client that stalls it cannot block the accept loop.
            self.socket = tls_context.wrap_socket(
                self.socket, server_side=True, do_handshake_on_connect=False
            )

    def url(self):
        host, port = self.server_address[:2]
        return "%s://%s:%d" % (self.scheme, host, port)

    def handle_error(self, request, client_address):
        # Clients that refuse the self-signed certificate or hang up mid-request
        # are expected here; one line is enough.
        if not self.service.quiet:
            error = sys.exc_info()[1]
            sys.stderr.write("devservice %s: %s from %s\n" % (self.scheme, error, client_address[0]))


def make_certificate(directory):
    """Creates a self-signed certificate for 127.0.0.1 and localhost; returns (cert, key)."""
    cert = os.path.join(directory, "cert.pem")
    key = os.path.join(directory, "key.pem")
    subprocess.run(
        [
            "openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-nodes", "-keyout", key, "-out", cert, "-days", "30", "-subj", "/CN=127.0.0.1",
            "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
        ],
        check=True,
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    return cert, key


def parse_args(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on (default %(default)s)")
    parser.add_argument(
        "--port", type=int, default=8443,
        help="port of the first listener (HTTPS, or HTTP with --scheme http); with both, HTTP\n"
        "takes the next port. 0 picks free ports (default %(default)s)",
    )
    parser.add_argument(
        "--scheme", choices=("both", "http", "https"), default="both",
        help="which listeners to start (default %(default)s)",
    )
    parser.add_argument("--password", default="demo", help="login password (default %(default)s)")
    parser.add_argument("--quiet", action="store_true", help="do not log requests to stderr")
    parser.add_argument(
        "--record-limit", type=int, default=5000,
        help="entries kept per kind of record; older ones are dropped (default %(default)s)",
    )
    return parser.parse_args(argv)


def next_port(port):
    return 0 if port == 0 else port + 1


def main(argv=None):
    args = parse_args(argv)
    service = Service(args.password, args.quiet, args.record_limit)
    cert_dir = tempfile.mkdtemp(prefix="devservice-")
    listeners = []
    try:
        if args.scheme in ("both", "https"):
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            try:
                context.load_cert_chain(*make_certificate(cert_dir))
            except (OSError, subprocess.CalledProcessError) as e:
                sys.exit("devservice: cannot make the HTTPS certificate with openssl: %s" % e)
            listeners.append(Listener((args.host, args.port), service, "https", context))
        if args.scheme in ("both", "http"):
            port = next_port(args.port) if args.scheme == "both" else args.port
            listeners.append(Listener((args.host, port), service, "http"))
    finally:
        # The key is loaded into memory; nothing needs the files any more.
        shutil.rmtree(cert_dir, ignore_errors=True)

    line = " ".join("%s=%s" % (l.scheme, l.url()) for l in sorted(listeners, key=lambda l: l.scheme))
    print("devservice " + line, flush=True)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    threads = [threading.Thread(target=l.serve_forever, daemon=True) for l in listeners]
    for t in threads:
        t.start()
    stop.wait()
    for l in listeners:
        l.shutdown()
        l.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
