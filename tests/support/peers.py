"""Protocol peers for the tools that try the real game from outside: the frame
format, a relay that carries one connection through a port of its own and
reads what passes, and an observer that joins a host as a third peer, reads
what the host tells everyone and asks it for its field."""

import collections
import random
import socket
import threading
import time


def encode(text):
    """One frame: the decimal length of text + 1, '~', the text, a zero byte."""
    data = text.encode()
    return str(len(data) + 1).encode() + b"~" + data + b"\0"


class FrameSplitter:
    """Cuts a byte stream into whole frames, whatever pieces it comes in."""

    def __init__(self):
        self.pending = b""

    def frames(self, data):
        """The whole frames completed by data, each as it travelled (prefix and terminator included)."""
        self.pending += data
        whole = []
        while True:
            tilde = self.pending.find(b"~")
            if tilde < 0 or not self.pending[:tilde].isdigit():
                return whole
            end = tilde + 1 + int(self.pending[:tilde])
            if len(self.pending) < end:
                return whole
            whole.append(self.pending[:end])
            self.pending = self.pending[end:]

    def feed(self, data):
        """The message texts completed by data."""
        return [text_of(frame) for frame in self.frames(data)]


def text_of(frame):
    return frame[frame.index(b"~") + 1:-1].decode(errors="replace")


def numbers(payload, kind):
    """The comma-separated fields of a payload as numbers of `kind`; None if any is not."""
    try:
        return [kind(field) for field in payload.split(",")] if payload else []
    except ValueError:
        return None


class Relay:
    """Listens on a port of its own on 127.0.0.1 and carries the first connection
    to `target_port`, recording each message with the time it passed:
    `log` holds (seconds, 'up' or 'down', text), up being towards the target.

    With a delay it behaves as a slow link: each way, every whole frame is held
    for `delay` seconds give or take up to `jitter`, drawn from `seed`, and
    frames keep their order. `inject` sends a frame up as if the near side had
    written it, between two of its own frames."""

    def __init__(self, target_port, delay=0.0, jitter=0.0, seed=1, connect_seconds=10.0):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        self.target_port = target_port
        self.delay, self.jitter = delay, jitter
        self.random = random.Random(seed)
        self.connect_seconds = connect_seconds
        self.log = []
        self.lock = threading.Lock()
        self.joined = threading.Event()  # both ends are connected
        self.up = _Line(self)
        self.down = _Line(self)
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        near, _ = self.listener.accept()
        far = self._connect()
        if far is None:
            near.close()
            return
        self.up.start(near, far, "up")
        self.down.start(far, near, "down")
        self.joined.set()

    def _connect(self):
        """The target, tried until it listens: the near side may come first."""
        deadline = time.monotonic() + self.connect_seconds
        while True:
            try:
                return socket.create_connection(("127.0.0.1", self.target_port))
            except OSError:
                if time.monotonic() > deadline:
                    return None
                time.sleep(0.05)

    def due(self, after):
        """When a frame handed over now leaves: after the one before it, never earlier."""
        with self.lock:
            spread = self.random.uniform(-self.jitter, self.jitter) if self.jitter else 0.0
        return max(after, time.monotonic() + max(0.0, self.delay + spread))

    def record(self, way, frames):
        now = time.monotonic()
        with self.lock:
            self.log.extend((now, way, text_of(frame)) for frame in frames)

    def inject(self, text):
        self.up.put([encode(text)])

    def messages(self):
        with self.lock:
            return list(self.log)


class _Line:
    """One way of a relay: a reader that cuts whole frames off the source and
    queues them with the time each may leave, and a writer that hands them on
    when due. The end of the source, once all before it has left, shuts both
    sockets."""

    def __init__(self, relay):
        self.relay = relay
        self.queue = collections.deque()
        self.ready = threading.Condition()
        self.last_due = 0.0
        self.way = None
        self.sink = None

    def start(self, source, sink, way):
        self.way, self.sink = way, sink
        threading.Thread(target=self._read, args=(source,), daemon=True).start()
        threading.Thread(target=self._write, args=(source,), daemon=True).start()

    def put(self, frames):
        with self.ready:
            self.last_due = self.relay.due(self.last_due)
            self.queue.append((self.last_due, frames))
            self.ready.notify()

    def _read(self, source):
        splitter = FrameSplitter()
        while True:
            try:
                data = source.recv(65536)
            except OSError:
                data = b""
            if not data:
                self.put(None)
                return
            frames = splitter.frames(data)
            if frames:
                self.put(frames)

    def _write(self, source):
        while True:
            with self.ready:
                while not self.queue:
                    self.ready.wait()
                due, frames = self.queue[0]
                wait = due - time.monotonic()
                if wait > 0:
                    self.ready.wait(wait)
                    continue
                self.queue.popleft()
            if frames is None or not self._send(frames):
                for s in (source, self.sink):
                    try:
                        s.shutdown(socket.SHUT_RDWR)
                    except OSError:
                        pass
                return
            self.relay.record(self.way, frames)

    def _send(self, frames):
        try:
            self.sink.sendall(b"".join(frames))
            return True
        except OSError:
            return False


class Observer:
    """A third peer of a host: keeps the score texts it is sent and, every
    `interval` seconds, asks for the star list. `scores` holds (seconds, [held,
    host energy, guest energy]) and `lists` (seconds, map size, owners);
    `stream` holds both in the order they came, as ("score", score) and
    ("list", owners)."""

    def __init__(self, port, interval=2.0):
        self.peer = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.peer.settimeout(0.2)
        self.interval = interval
        self.scores, self.lists, self.unreadable, self.stream = [], [], [], []
        self.lock = threading.Lock()
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
            with self.lock:
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
                self.stream.append(("score", score))
        elif kind == "2":
            fields = numbers(payload, float)
            if fields is None or len(fields) < 2 or len(fields) != 2 + 4 * int(fields[1]):
                self.unreadable.append(text[:80])
            else:
                self.lists.append((now, int(fields[0]), fields[5::4]))
                self.stream.append(("list", fields[5::4]))

    def stop(self):
        self.running = False
        self.thread.join(timeout=5)
        self.peer.close()

    def latest(self, kind):
        """The last score or owners list received, None before the first."""
        with self.lock:
            return next((value for k, value in reversed(self.stream) if k == kind), None)

    def count_mismatches(self):
        """The star lists whose host-held stars lie outside the counts of the score
        the host sent just before them and the one just after: its count has left
        its field. (Between the two, a list can show a count of its own when two
        captures fall between two scores.) Each as (position in the stream, stars
        held in the list, the two scores' counts)."""
        with self.lock:
            stream = list(self.stream)
        bad = []
        for i, (kind, owners) in enumerate(stream):
            if kind != "list":
                continue
            held = sum(1 for owner in owners if owner == 1)
            before = next((s[0] for k, s in reversed(stream[:i]) if k == "score"), None)
            after = next((s[0] for k, s in stream[i + 1:] if k == "score"), None)
            known = [count for count in (before, after) if count is not None]
            if known and not min(known) <= held <= max(known):
                bad.append((i, held, before, after))
        return bad

    def count_disagreements(self, slack=1.0):
        """Star lists whose own stars match no score the host sent within `slack`
        seconds, and the longest run of such lists one after another. A single one
        can be a race: two captures between two scores leave the list a count that
        no score shows. A count that has left its field stays off for list after list."""
        bad, run, longest = 0, 0, 0
        for when, _, owners in self.lists:
            held = sum(1 for owner in owners if owner == 1)
            near = [s[0] for t, s in self.scores if abs(t - when) <= slack]
            off = bool(near) and held not in near
            bad += off
            run = run + 1 if off else 0
            longest = max(longest, run)
        return bad, longest
