"""What the development service has received, kept for tests and demos to read back.

Everything here is shared by the request threads of both listeners (HTTP and
HTTPS), so every access goes through one lock.
"""

import base64
import binascii
import secrets
import threading
import time

# Kinds of records the service keeps, in the order they appear in the JSON.
KINDS = ("requests", "logins", "events", "votes", "timeouts")

# How often a waiting command request checks that its asker is still there.
_ABANDON_CHECK_SECONDS = 0.2

# JPEG start-of-frame markers carry the picture size; the other markers in
# the C0..CF range (DHT, JPG, DAC) do not.
_SOF_MARKERS = set(range(0xC0, 0xD0)) - {0xC4, 0xC8, 0xCC}


def jpeg_info(text):
    """Describes a Base64-encoded JPEG without keeping its bytes.

    Returns a dict with `valid`, `bytes`, `width` and `height`; text that is
    not Base64 or not a JPEG gives valid False and the sizes it could learn.
    """
    info = {"valid": False, "bytes": 0, "width": 0, "height": 0}
    try:
        data = base64.b64decode(text, validate=True)
    except (binascii.Error, ValueError, TypeError):
        return info
    info["bytes"] = len(data)
    if data[:2] != b"\xff\xd8":
        return info
    pos = 2
    while pos + 4 <= len(data):
        if data[pos] != 0xFF:
            return info
        marker = data[pos + 1]
        length = int.from_bytes(data[pos + 2 : pos + 4], "big")
        if marker in _SOF_MARKERS and pos + 9 <= len(data):
            info["height"] = int.from_bytes(data[pos + 5 : pos + 7], "big")
            info["width"] = int.from_bytes(data[pos + 7 : pos + 9], "big")
            info["valid"] = data[-2:] == b"\xff\xd9" and info["width"] > 0
            return info
        if length < 2:
            return info
        pos += 2 + length
    return info


class Records:
    """Bounded lists of received items, the page command queue and the sessions."""

    def __init__(self, limit=5000):
        self._limit = limit
        # Protects _lists, _commands and _sessions; _changed waits on it.
        self._lock = threading.Lock()
        self._changed = threading.Condition(self._lock)
        self._lists = {kind: [] for kind in KINDS}
        self._commands = []
        self._sessions = {}

    def add(self, kind, entry):
        """Appends a time-stamped copy of `entry` to the list `kind`."""
        item = dict(entry)
        item["time"] = time.time()
        with self._lock:
            items = self._lists[kind]
            items.append(item)
            # Old entries go first so a long demo cannot grow without bound.
            del items[: max(0, len(items) - self._limit)]
        return item

    def snapshot(self):
        with self._lock:
            return {kind: list(items) for kind, items in self._lists.items()}

    def reset(self):
        """Forgets the records and pending commands; sessions stay valid."""
        with self._lock:
            for items in self._lists.values():
                items.clear()
            self._commands.clear()

    def push_command(self, command):
        with self._lock:
            self._commands.append(dict(command))
            self._changed.notify_all()

    def next_command(self, timeout, abandoned=lambda: False):
        """Takes the oldest pending command, waiting up to `timeout` seconds.

        Returns None when none came in time, or as soon as `abandoned()` says the
        asker has gone (a page that navigated away), so no command is handed to
        nobody.
        """
        deadline = time.monotonic() + timeout
        with self._lock:
            while not self._commands:
                remaining = deadline - time.monotonic()
                if remaining <= 0 or abandoned():
                    return None
                self._changed.wait(min(remaining, _ABANDON_CHECK_SECONDS))
            if abandoned():
                return None
            return self._commands.pop(0)

    def open_session(self, user):
        token = secrets.token_hex(16)
        with self._lock:
            self._sessions[token] = user
        return token

    def session_user(self, token):
        """The user of a session token, or None for an unknown or empty token."""
        if not token:
            return None
        with self._lock:
            return self._sessions.get(token)

    def close_session(self, token):
        with self._lock:
            self._sessions.pop(token, None)
