#!/usr/bin/python3
"""Hostile peers against the real game: a host with the largest star field listens
under its own Xvfb, one kind of peer works on it for a while over 127.0.0.1, and
the host's resident memory and standard error are measured.

  slow-reader   keeps some star lists (about 160 KB each) asked for and
                unread, so that the host always has bytes waiting for it
  garbage       five peers send random bytes; a dropped one connects again
  list-reset    asks for the star list and resets the connection 20 ms later

Usage: peer_load.py --binary build/starhold --scenario garbage --seconds 60"""

import argparse
import os
import random
import shutil
import socket
import struct
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from soak.soak import Game, free_port, press, rss_kib  # noqa: E402

STAR_LIST_REQUEST = b"4~2|!\0"


def connect(port):
    peer = socket.create_connection(("127.0.0.1", port), timeout=5)
    peer.setblocking(False)
    return peer


def slow_reader(port, until, samples, game, args):
    """Keeps `args.window` star lists asked for and not yet read, and reads at most
    `args.rate` bytes a second: the host always has bytes waiting for this peer,
    yet the peer never stops reading."""
    peer = connect(port)
    peer.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 64 * 1024)  # keeps what the kernels hold small
    asked = answered = read = 0
    tail = b""
    start = time.monotonic()
    dropped = False
    next_sample = time.monotonic()
    while time.monotonic() < until and not dropped:
        try:
            while asked - answered < args.window:
                peer.send(STAR_LIST_REQUEST)
                asked += 1
            started = time.monotonic() - start
            while read < args.rate * started:
                chunk = peer.recv(min(1 << 20, int(args.rate * started - read) + 1))
                if not chunk:
                    dropped = True
                    break
                read += len(chunk)
                seen = tail + chunk  # a star list starts "2|"; no other text holds a "~"
                answered += seen.count(b"~2|")
                tail = seen[-2:]
        except BlockingIOError:
            pass
        except OSError:
            dropped = True
        if time.monotonic() >= next_sample:
            samples.append(rss_kib(game))
            next_sample += 1.0
        time.sleep(0.001)
    peer.close()
    return "%d lists read (%.0f MB), %s" % (answered, read / 1e6, "dropped" if dropped else "not dropped")


def garbage(port, until, samples, game, args):
    rng = random.Random(1)
    peers = [None] * 5
    reconnects = 0
    while time.monotonic() < until:
        for i, peer in enumerate(peers):
            try:
                if peer is None:
                    peers[i] = peer = connect(port)
                    reconnects += 1
                peer.send(bytes(rng.getrandbits(8) for _ in range(512)))
                try:
                    peer.recv(65536)
                except BlockingIOError:
                    pass
            except OSError:
                peers[i] = None
        time.sleep(0.005)
    return "%d connects" % reconnects


def list_reset(port, until, samples, game, args):
    rounds = 0
    while time.monotonic() < until:
        try:
            peer = connect(port)
            peer.send(STAR_LIST_REQUEST)
            time.sleep(0.02)
            peer.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            peer.close()
            rounds += 1
        except OSError:
            time.sleep(0.02)
    return "%d rounds" % rounds


SCENARIOS = {"slow-reader": slow_reader, "garbage": garbage, "list-reset": list_reset}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--data", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data"))
    parser.add_argument("--scenario", choices=sorted(SCENARIOS), required=True)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--window", type=int, default=40, help="slow-reader: star lists kept asked for")
    parser.add_argument("--rate", type=float, default=8e6, help="slow-reader: bytes read a second")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="starhold-peers-")
    port = free_port()
    game = None
    try:
        game = Game(os.path.join(work, "host"), os.path.abspath(args.binary), data=os.path.abspath(args.data),
                    config="minstars 8191\nmaxstars 8192\nmapdimensions 1000\n", connection="%d 127.0.0.1\n" % port)
        press(game, ["l"], [0.1])
        time.sleep(1.0)
        before = rss_kib(game)
        samples = []
        errors_before = os.path.getsize(game.errors)
        started = time.monotonic()
        outcome = SCENARIOS[args.scenario](port, started + args.seconds, samples, game, args)
        elapsed = time.monotonic() - started
        after = rss_kib(game)
        written = os.path.getsize(game.errors) - errors_before
        alive = game.proc.poll() is None
        print("%s: %.0f s, %s; host RSS %.1f -> %.1f MiB (peak sampled %.1f); stderr %d bytes = %.0f bytes/min; "
              "host %s" % (args.scenario, elapsed, outcome, before / 1024, after / 1024,
                           max(samples + [after]) / 1024, written, written * 60 / elapsed,
                           "alive" if alive else "died"))
        with open(game.errors, errors="replace") as f:
            lines = f.read().splitlines()
        longest = max((len(line) for line in lines), default=0)
        print("  RSS each second (MiB): %s" % " ".join("%.0f" % (kib / 1024) for kib in samples))
        print("  %d stderr lines, longest %d bytes; first: %r" % (len(lines), longest, [l[:100] for l in lines[:4]]))
    finally:
        if game is not None:
            game.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
