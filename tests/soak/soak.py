#!/usr/bin/python3
"""Soak run: two copies of the game, each under its own X server, play each other
over loopback; the client flies a random course, the server a fixed script. The
checks are listed in the README. The games write the texts they send and apply
to the file named by STARHOLD_SOAK_LOG."""

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
from e2e_test import Game  # noqa: E402

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


def log_entries(path, what):
    """The number lists of every line of one kind in a soak log."""
    with open(path) as f:
        return [[float(v) for v in line.split()[1].split(",") if v]
                for line in f if line.split()[:1] == [what] and len(line.split()) > 1]


def owner_mismatches(sent, applied):
    mirrored = {1.0: 2.0, 2.0: 1.0}
    return sum(1 for s, a in zip(sent, applied) if [mirrored.get(o, o) for o in s] != a)


def score_mismatches(sent, applied):
    """Server: held, own energy, opponent's energy, stars; client: held, own, opponent's, stars.
    A score may reach the client before the server's star list does; those count from the list on."""
    pairs = list(zip(sent, applied))
    while pairs and pairs[0][0][3] != pairs[0][1][3]:
        pairs.pop(0)
    if not pairs:
        return len(sent)  # the client never held the server's field
    return sum(1 for (t, e1, e2, n), (own, mine, theirs, m) in pairs if (own, mine, theirs, m) != (n - t, e2, e1, n))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--seconds", type=float, default=600)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    args.binary = os.path.abspath(args.binary)
    rng = random.Random(args.seed)
    work = tempfile.mkdtemp(prefix="starhold-soak-")
    logs = {side: os.path.join(work, side + ".log") for side in ("server", "client")}
    port = free_port()
    games = {}
    failures = []
    try:
        for side, key in (("server", "l"), ("client", "c")):
            os.environ["STARHOLD_SOAK_LOG"] = logs[side]
            games[side] = game = Game(os.path.join(work, side), args.binary)
            os.makedirs(os.path.join(work, side, "settings", "starhold"))
            with open(os.path.join(work, side, "settings", "starhold", "connection.txt"), "w") as f:
                f.write("%d 127.0.0.1\n" % port)
            press(game, [key], [0.1])
        server, client = games["server"], games["client"]
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
    for kind, mismatches in (("owners", owner_mismatches), ("score", score_mismatches)):
        sent, applied = log_entries(logs["server"], "sent-" + kind), log_entries(logs["client"], "applied-" + kind)
        bad = mismatches(sent, applied)
        print("soak: %s messages %d sent, %d applied, %d disagree; last applied %s" %
              (kind, len(sent), len(applied), bad, applied[-1] if applied and kind == "score" else "-"))
        if bad or not applied or len(applied) < len(sent) - 1:
            failures.append("%s messages: %d disagree, %d of %d applied" % (kind, bad, len(applied), len(sent)))
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
