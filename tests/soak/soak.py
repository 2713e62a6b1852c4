#!/usr/bin/python3
"""Soak run: two copies of the game, each under its own X server, play each other
over loopback; the client flies a random course, the server a fixed script. The
client's connection passes through a relay that reads every message both ways,
and an observer joins the server as a third peer and asks for its field. The
checks are listed in the README."""

import argparse
import os
import random
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e_test import Game  # noqa: E402
from peers import Observer, Relay, numbers  # noqa: E402

KEYS = ["Up", "Down", "Left", "Right", "w", "s", "a", "d", "q", "e"]
SCRIPT = [(["Up", "a"], [1.0, 0.3]), (["Right", "w"], [0.8, 0.8]), (["Down", "q"], [0.6, 0.2]),
          (["Left", "s", "d"], [0.9, 0.5, 0.3])]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def xdotool(game, *args):
    subprocess.run(["xdotool", *args], env=game.env, check=True, timeout=20, capture_output=True)


def press(game, keys, seconds):
    """Holds the keys down together and lets each go after its own time."""
    xdotool(game, "windowfocus", "--sync", str(game.window))
    xdotool(game, "keydown", *keys)
    start = time.monotonic()
    for key, hold in sorted(zip(keys, seconds), key=lambda pair: pair[1]):
        time.sleep(max(0.0, start + hold - time.monotonic()))
        xdotool(game, "keyup", key)


def rss_kib(game):
    with open("/proc/%d/status" % game.proc.pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


# What each side may send, and the fields each kind of message holds. Both say
# hello (6), ping and answer (7, 8), and stamp each frame with their clock (9).
SENT_BY = {"up": "01236789", "down": "0123456789"}
FIELDS = {"0": (float, 16), "1": (float, 3), "3": (int, 1), "5": (int, 3), "7": (int, 1), "8": (int, 1),
          "9": (int, 1)}


def malformed(way, text):
    """Why a message seen on the relay is not one the game writes; None when it is."""
    kind, bar, payload = text.partition("|")
    if not bar or kind not in SENT_BY[way]:
        return "unexpected type"
    if kind == "2":
        fields = numbers(payload, float)
        ok = payload == "!" if way == "up" else fields is not None and len(fields) == 2 + 4 * int(fields[1])
        return None if ok else "bad star list"
    if kind == "6":
        name, _, version = payload.partition(",")
        return None if name == "starhold" and version.isdigit() and int(version) >= 1 else "bad hello"
    if kind == "4":
        owners = numbers(payload, float)
        return None if owners is not None and all(o in (0, 1, 2) for o in owners) else "bad owners"
    kind_of, count = FIELDS[kind]
    fields = numbers(payload, kind_of)
    if kind in "789" and fields is not None and not all(0 <= clock < 2 ** 32 for clock in fields):
        return "a clock outside 32 bits"
    return None if fields is not None and len(fields) == count else "bad fields"


def wire_failures(relay, observer):
    """What the messages seen say is wrong: malformed ones, energies out of range,
    and the host's own count disagreeing with the field it hands out."""
    failures = []
    seen = relay.messages()
    bad = [(way, text[:60], why) for _, way, text in seen for why in [malformed(way, text)] if why]
    if bad:
        failures.append("%d malformed messages, the first %s" % (len(bad), bad[0]))
    scores = [s for _, s in observer.scores]
    if any(not (0 <= e <= 500) for s in scores for e in s[1:]):
        failures.append("an energy outside 0..500 in the host's scores")
    disagree, longest = observer.count_disagreements()
    if longest > 1 or not observer.lists or observer.unreadable:
        failures.append("host's count against its field: %d of %d lists disagree, %d in a row, %d unreadable" %
                        (disagree, len(observer.lists), longest, len(observer.unreadable)))
    elif disagree:
        print("soak: %d of %d star lists matched no score near them, never two in a row" %
              (disagree, len(observer.lists)))
    print("soak: %d messages through the relay (%d up, %d down); the observer got %d scores and %d star lists" %
          (len(seen), sum(w == "up" for _, w, _ in seen), sum(w == "down" for _, w, _ in seen), len(scores),
           len(observer.lists)))
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--seconds", type=float, default=600)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    args.binary = os.path.abspath(args.binary)
    rng = random.Random(args.seed)
    work = tempfile.mkdtemp(prefix="starhold-soak-")
    port = free_port()
    games = {}
    failures = []
    relay = observer = None
    try:
        for side, key in (("server", "l"), ("client", "c")):
            if side == "client":
                relay = Relay(port)
            target = port if side == "server" else relay.port
            games[side] = game = Game(os.path.join(work, side), args.binary, connection="%d 127.0.0.1\n" % target)
            press(game, [key], [0.1])
        server, client = games["server"], games["client"]
        time.sleep(1)  # the client has joined: the observer is the third peer
        observer = Observer(port)
        start = time.monotonic()
        warm_up = min(60.0, args.seconds / 10)
        rss_start = rss_end = None
        step = 0
        while time.monotonic() - start < args.seconds:
            keys = rng.sample(KEYS, rng.randint(1, 3))
            press(client, keys, [rng.uniform(0.1, 1.0) for _ in keys])
            press(server, *SCRIPT[step % len(SCRIPT)])
            step += 1
            for side, game in games.items():
                if game.proc.poll() is not None:
                    raise AssertionError("%s exited early with %s" % (side, game.proc.returncode))
            rss = [rss_kib(server), rss_kib(client)]
            if rss_start is None and time.monotonic() - start >= warm_up:
                rss_start = rss
            rss_end = rss
        elapsed = time.monotonic() - start
        observer.stop()
        codes = {side: game.close() for side, game in games.items()}
    finally:
        for game in games.values():
            game.kill()  # the X servers, and a game left running by a failure
    for side, code in codes.items():
        if code != 0:
            failures.append("%s exited with %s" % (side, code))
    growth = [100.0 * (b - a) / a for a, b in zip(rss_start or rss_end, rss_end)]
    if max(growth) >= 5.0:
        failures.append("resident memory grew by %.1f%% / %.1f%%" % tuple(growth))
    for side, game in games.items():
        if game.stderr():
            failures.append("%s printed on stderr: %r" % (side, game.stderr()[:300]))

    print("soak: %.0f s, seed %d, %d key steps per side" % (elapsed, args.seed, step))
    failures += wire_failures(relay, observer)
    print("soak: RSS after warm-up %s KiB, at the end %s KiB (server, client): %+.1f%% / %+.1f%%" %
          (rss_start, rss_end, growth[0], growth[1]))
    print("soak: exit codes %s" % codes)
    for failure in failures:
        print("soak FAILED: " + failure)
    if not failures:
        print("soak passed")
        shutil.rmtree(work, ignore_errors=True)
    else:
        print("soak: logs and data folders kept in " + work)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
