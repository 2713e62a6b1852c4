"""A small peer that speaks starhold's wire format, for end-to-end tests.

A frame is the decimal length of (text + 1), '~', the text and a zero byte.
"""

import socket
import threading
import time


def encode(text):
    body = text.encode("latin-1")
    return str(len(body) + 1).encode() + b"~" + body + b"\0"


class FrameReader:
    """Cuts a byte stream into message texts."""

    def __init__(self):
        self.pending = b""

    def feed(self, data):
        self.pending += data
        texts = []
        while True:
            sep = self.pending.find(b"~")
            if sep < 0:
                return texts
            length = int(self.pending[:sep] or b"0")
            end = sep + 1 + length
            if len(self.pending) < end:
                return texts
            texts.append(self.pending[sep + 1:end - 1].decode("latin-1"))
            self.pending = self.pending[end:]


class Peer:
    """A TCP peer that records every message it receives with its arrival time."""

    def __init__(self, host, port, timeout=10.0):
        deadline = time.monotonic() + timeout
        while True:
            try:
                self.sock = socket.create_connection((host, port), timeout=1.0)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)
        self.received = []  # (time, text)
        self.lock = threading.Lock()
        self.closed = False
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        reader = FrameReader()
        while True:
            try:
                data = self.sock.recv(65536)
            except OSError:
                data = b""
            if not data:
                self.closed = True
                return
            now = time.monotonic()
            with self.lock:
                self.received.extend((now, t) for t in reader.feed(data))

    def send(self, text):
        self.sock.sendall(encode(text))

    def send_raw(self, data):
        self.sock.sendall(data)

    def messages(self, prefix=""):
        with self.lock:
            return [(t, m) for t, m in self.received if m.startswith(prefix)]

    def wait_for(self, prefix, count=1, timeout=10.0, after=0.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = [m for t, m in self.messages(prefix) if t >= after]
            if len(found) >= count:
                return found
            time.sleep(0.02)
        raise AssertionError("no %d message(s) starting %r within %.1fs" % (count, prefix, timeout))

    def close(self):
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.sock.close()


class Relay:
    """Forwards one TCP connection to a server and logs the messages both ways."""

    def __init__(self, target_port):
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        self.target_port = target_port
        self.log = []  # (direction, text): 'c>s' or 's>c'
        self.lock = threading.Lock()
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        client, _ = self.listener.accept()
        server = socket.create_connection(("127.0.0.1", self.target_port))
        threading.Thread(target=self._pump, args=(client, server, "c>s"), daemon=True).start()
        self._pump(server, client, "s>c")

    def _pump(self, source, sink, direction):
        reader = FrameReader()
        while True:
            try:
                data = source.recv(65536)
            except OSError:
                return
            if not data:
                return
            with self.lock:
                self.log.extend((direction, t) for t in reader.feed(data))
            sink.sendall(data)

    def messages(self, direction, prefix=""):
        with self.lock:
            return [t for d, t in self.log if d == direction and t.startswith(prefix)]
