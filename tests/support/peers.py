"""Protocol peers for the tools that try the real game from outside: the frame
format, a relay that carries one connection through a port of its own and
reads what passes, and an observer that joins a host as a third peer, reads
what the host tells everyone and asks it for its field."""

import socket
import threading
import time


def encode(text):
    """One frame: the decimal length of text + 1, '~', the text, a zero byte."""
    data = text.encode()
    return str(len(data) + 1).encode() + b"~" + data + b"\0"


class FrameSplitter:
    """Cuts a byte stream into message texts, whatever pieces it comes in."""

    def __init__(self):
        self.pending = b""

    def feed(self, data):
        self.pending += data
        texts = []
        while True:
            tilde = self.pending.find(b"~")
            if tilde < 0 or not self.pending[:tilde].isdigit():
                return texts
            end = tilde + 1 + int(self.pending[:tilde])
            if len(self.pending) < end:
                return texts
            texts.append(self.pending[tilde + 1:end - 1].decode(errors="replace"))
            self.pending = self.pending[end:]


def numbers(payload, kind):
    """The comma-separated fields of a payload as numbers of `kind`; None if any is not."""
    try:
        return [kind(field) for field in payload.split(",")] if payload else []
    except ValueError:
        return None


class Relay:
    """Listens on a port of its own on 127.0.0.1 and carries the first connection
    to `target_port`, recording each message with the time it passed:
    `log` holds (seconds, 'up' or 'down', text), up being towards the target."""

    def __init__(self, target_port):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        self.target_port = target_port
        self.log = []
        self.lock = threading.Lock()
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        near, _ = self.listener.accept()
        far = socket.create_connection(("127.0.0.1", self.target_port))
        for source, sink, way in ((near, far, "up"), (far, near, "down")):
            threading.Thread(target=self._carry, args=(source, sink, way), daemon=True).start()

    def _carry(self, source, sink, way):
        splitter = FrameSplitter()
        while True:
            try:
                data = source.recv(65536)
            except OSError:
                data = b""
            if not data:
                for s in (source, sink):
                    try:
                        s.shutdown(socket.SHUT_RDWR)
                    except OSError:
                        pass
                return
            sink.sendall(data)
            now = time.monotonic()
            with self.lock:
                self.log.extend((now, way, text) for text in splitter.feed(data))

    def messages(self):
        with self.lock:
            return list(self.log)


class Observer:
    """A third peer of a host: keeps the score texts it is sent and, every
    `interval` seconds, asks for the star list. `scores` holds (seconds, [held,
    host energy, guest energy]) and `lists` (seconds, map size, owners)."""

    def __init__(self, port, interval=2.0):
        self.peer = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.peer.settimeout(0.2)
        self.interval = interval
        self.scores, self.lists, self.unreadable = [], [], []
        self.running = True
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        splitter, asked = FrameSplitter(), 0.0
        while self.running:
            if time.monotonic() - asked >= self.interval:
                self.peer.sendall(encode("2|!"))
                asked = time.monotonic()
            try:
                data = self.peer.recv(1 << 20)
            except socket.timeout:
                continue
            except OSError:
                return
            if not data:
                return
            for text in splitter.feed(data):
                self._take(time.monotonic(), text)

    def _take(self, now, text):
        kind, _, payload = text.partition("|")
        if kind == "5":
            score = numbers(payload, int)
            if score is None or len(score) != 3:
                self.unreadable.append(text)
            else:
                self.scores.append((now, score))
        elif kind == "2":
            fields = numbers(payload, float)
            if fields is None or len(fields) < 2 or len(fields) != 2 + 4 * int(fields[1]):
                self.unreadable.append(text[:80])
            else:
                self.lists.append((now, int(fields[0]), fields[5::4]))

    def stop(self):
        self.running = False
        self.thread.join(timeout=5)
        self.peer.close()

    def count_disagreements(self, slack=1.0):
        """Star lists whose own stars match no score the host sent within `slack` seconds."""
        bad = 0
        for when, _, owners in self.lists:
            held = sum(1 for owner in owners if owner == 1)
            near = [s[0] for t, s in self.scores if abs(t - when) <= slack]
            bad += bool(near) and held not in near
        return bad
