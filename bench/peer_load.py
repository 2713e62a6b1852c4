#!/usr/bin/python3
"""Hostile peers against the real game: a host with the largest star field listens
under its own Xvfb, one kind of peer works on it for a while over 127.0.0.1, and
the host's resident memory and standard error are measured.

  slow-reader   keeps some star lists (about 160 KB each) asked for and
                unread, so that the host always has bytes waiting for it
  garbage       five peers send random bytes; a dropped one connects again
  list-reset    asks for the star list and resets the connection 20 ms later
  datagrams     a game with the join prompt open, not hosting, takes 10,000
                datagrams at the discovery port (UDP 1337) in --seconds: random
                bytes, near misses and announcements of many games; its frames
                per second (from bench/frame_probe.c, --probe) in as long a
                window before the flood and during it. As root the game and the
                sender run in a loopback-only network namespace of their own.

Usage: peer_load.py --binary build/starhold --scenario garbage --seconds 60
       peer_load.py --binary build/starhold --probe build/frame_probe.so --scenario datagrams --seconds 10"""

import argparse
import os
import random
import shutil
import socket
import struct
import subprocess
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


DISCOVERY_PORT = 1337


def random_datagram(rng):
    """Random bytes, something close to an announcement, or a good one from one of many games."""
    kind = rng.randrange(4)
    if kind == 0:
        return bytes(rng.getrandbits(8) for _ in range(rng.randrange(700)))
    if kind == 1:
        return b"starhold/1|%d|waiting|" % rng.randrange(70000) + bytes(rng.getrandbits(8) for _ in range(20))
    if kind == 2:
        return b"starhold/%d|1337|waiting|x" % rng.randrange(3)
    return b"starhold/1|%d|waiting|g%d" % (rng.randrange(1, 65536), rng.randrange(1000))


def send_datagrams(count, seconds):
    """Sends `count` datagrams to 127.0.0.1 at the discovery port, evenly over `seconds`."""
    rng = random.Random(2)
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    start = time.monotonic()
    for n in range(count):
        time.sleep(max(0.0, start + n * seconds / count - time.monotonic()))
        sender.sendto(random_datagram(rng), ("127.0.0.1", DISCOVERY_PORT))
    sender.close()


def frames_per_second(log, start_ns, end_ns):
    with open(log) as f:
        swaps = [int(line.split()[1]) for line in f if line.startswith("swap ")]
    return sum(1 for t in swaps if start_ns <= t < end_ns) * 1e9 / (end_ns - start_ns)


def datagrams(port, until, samples, game, args):
    seconds = until - time.monotonic()
    before_start = time.monotonic_ns()
    cpu_before = cpu_seconds(game)
    watch(game, samples, before_start / 1e9 + seconds)  # the prompt open, nothing arriving
    flood_start = time.monotonic_ns()
    cpu_at_start = cpu_seconds(game)
    at_start = rss_kib(game)
    calm_samples = len(samples)
    sender = subprocess.Popen([*args.inside, sys.executable, os.path.abspath(__file__), "--send-datagrams",
                               str(args.datagrams), "--seconds", str(seconds)])
    watch(game, samples, flood_start / 1e9 + seconds)
    sender.wait(timeout=60)
    flood_end = time.monotonic_ns()
    cpu = (cpu_seconds(game) - cpu_at_start) * 1e9 / (flood_end - flood_start)
    calm_cpu = (cpu_at_start - cpu_before) * 1e9 / (flood_start - before_start)
    calm = frames_per_second(args.log, before_start, flood_start)
    flooded = frames_per_second(args.log, flood_start, flood_end)
    peak = max(samples[calm_samples:] + [rss_kib(game)])
    return "%d datagrams; %.1f frames/s before, %.1f during (%+.1f%%); the game's CPU %.0f%% before, %.0f%% " \
        "during; RSS at the flood's start %.1f MiB, " \
        "its peak during it %+.2f MiB" % (args.datagrams, calm, flooded, (flooded - calm) * 100 / calm if calm else 0,
                                           calm_cpu * 100, cpu * 100,
                                           at_start / 1024, (peak - at_start) / 1024)


def cpu_seconds(game):
    with open("/proc/%d/stat" % game.proc.pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def watch(game, samples, until):
    while time.monotonic() < until:
        samples.append(rss_kib(game))
        time.sleep(1.0)


SCENARIOS = {"slow-reader": slow_reader, "garbage": garbage, "list-reset": list_reset, "datagrams": datagrams}


class LoopbackOnly:
    """A network namespace with only its loopback interface, as root; else nothing."""

    def __init__(self):
        self.name = None
        if os.geteuid() != 0:
            print("not root: the datagrams go to this machine's own 127.0.0.1:%d" % DISCOVERY_PORT)
            return
        self.name = "starhold-flood-%d" % os.getpid()
        subprocess.run(["ip", "netns", "add", self.name], check=True)
        subprocess.run(["ip", "-n", self.name, "link", "set", "lo", "up"], check=True)

    def prefix(self):
        return ["ip", "netns", "exec", self.name] if self.name else []

    def close(self):
        if self.name:
            subprocess.run(["ip", "netns", "del", self.name])


def main():
    if sys.argv[1:2] == ["--send-datagrams"]:  # the sender, run inside the game's namespace
        send_datagrams(int(sys.argv[2]), float(sys.argv[4]))
        return
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--data", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data"))
    parser.add_argument("--scenario", choices=sorted(SCENARIOS), required=True)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--window", type=int, default=40, help="slow-reader: star lists kept asked for")
    parser.add_argument("--rate", type=float, default=8e6, help="slow-reader: bytes read a second")
    parser.add_argument("--probe", help="datagrams: bench/frame_probe.c built as a shared library")
    parser.add_argument("--datagrams", type=int, default=10000, help="datagrams: how many are sent")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="starhold-peers-")
    port = free_port()
    game = None
    namespace = LoopbackOnly() if args.scenario == "datagrams" else None
    try:
        prefix = []
        if namespace:
            if not args.probe:
                parser.error("datagrams needs --probe")
            args.inside = namespace.prefix()
            args.log = os.path.join(work, "probe.log")
            prefix = args.inside + ["env", "LD_PRELOAD=" + os.path.abspath(args.probe), "STARHOLD_BENCH_LOG=" + args.log]
        game = Game(os.path.join(work, "host"), os.path.abspath(args.binary), data=os.path.abspath(args.data),
                    config="" if namespace else "minstars 8191\nmaxstars 8192\nmapdimensions 1000\n", connection="%d 127.0.0.1\n" % port,
                    prefix=prefix)
        press(game, ["j" if namespace else "l"], [0.1])
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
        if namespace:
            namespace.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
