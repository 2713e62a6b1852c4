#!/usr/bin/env python3
"""End to end: the real game binary under Xvfb, keys typed by xdotool, and a
protocol peer on the loopback. Each game gets its own X server and data folder."""

import argparse
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from Xlib import X, display, protocol

import peer

ARGS = None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class XServer:
    def __init__(self):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            self.name = ":" + f.readline().strip()

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


class Game:
    """One running instance with its own data folder and display."""

    def __init__(self, workdir, config=None, port=None, host="127.0.0.1", binary=None):
        """With a binary of its own the game starts in an empty folder and finds its data itself."""
        self.workdir = workdir
        if binary:
            os.makedirs(workdir)
        else:
            shutil.copytree(ARGS.data, workdir)
        if config:
            with open(os.path.join(workdir, "config.txt"), "w") as f:
                f.write(config)
        if port:
            with open(os.path.join(workdir, "connection.txt"), "w") as f:
                f.write("%d %s\n" % (port, host))
        self.x = XServer()
        self.env = dict(os.environ, DISPLAY=self.x.name, SDL_AUDIODRIVER="dummy",
                        XDG_CONFIG_HOME=os.path.join(workdir, "settings"))
        self.errors = open(workdir + ".stderr", "w+")
        self.proc = subprocess.Popen([binary or ARGS.binary], cwd=workdir, env=self.env, stderr=self.errors)
        self.window = int(self.xdotool("search", "--sync", "--name", "^starhold$").split()[0])
        time.sleep(0.5)

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, check=True, timeout=20,
                              capture_output=True, text=True).stdout

    def key(self, *keys):
        self.xdotool("windowfocus", "--sync", str(self.window))
        self.xdotool("key", "--delay", "60", *keys)

    def press(self, keys, seconds):
        """Holds the keys down together and lets each go after its own time."""
        self.xdotool("windowfocus", "--sync", str(self.window))
        self.xdotool("keydown", *keys)
        start = time.monotonic()
        for key, hold in sorted(zip(keys, seconds), key=lambda pair: pair[1]):
            time.sleep(max(0.0, start + hold - time.monotonic()))
            self.xdotool("keyup", key)

    def screenshot(self, path=None):
        """The window as (width, height, rgb bytes); also saved as PNG when a path is given.

        The window itself, not the screen: sdl12-compat centres a window that
        the original SDL 1.2 puts at the top left."""
        ppm = subprocess.run(["import", "-window", str(self.window), "-depth", "8", "ppm:-"], env=self.env,
                             check=True, capture_output=True).stdout
        if path:
            subprocess.run(["convert", "ppm:-", path], input=ppm, check=True)
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
        return int(header.group(1)), int(header.group(2)), ppm[header.end():]

    def close(self):
        """Closes the window as a window manager would; the exit status.

        Under heavy load the X server now and then loses the first close
        request, so it is sent again every few seconds."""
        try:
            for _ in range(12):
                self._send_close()
                try:
                    return self.proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    pass
            raise AssertionError("the game did not close")
        finally:
            self.x.stop()

    def _send_close(self):
        d = display.Display(self.x.name)
        w = d.create_resource_object("window", self.window)
        event = protocol.event.ClientMessage(
            window=w, client_type=d.intern_atom("WM_PROTOCOLS"),
            data=(32, [d.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        w.send_event(event)
        d.flush()
        d.close()

    def stderr(self):
        self.errors.flush()
        self.errors.seek(0)
        return self.errors.read()

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.x.stop()
        self.errors.close()


def count_pixels(shot, test, box=None):
    width, height, data = shot
    x0, y0, x1, y1 = box or (0, 0, width, height)
    n = 0
    for y in range(y0, y1):
        row = y * width * 3
        for x in range(x0, x1):
            i = row + x * 3
            if test(data[i], data[i + 1], data[i + 2]):
                n += 1
    return n


def yellow(r, g, b):
    return r > 200 and g > 200 and b < 80


def green(r, g, b):
    return g > 200 and r < 80 and b < 80


def textured_ship(r, g, b):
    return g > 150 and r < 120  # the green cockpit lights: an untextured ship is plain white


def star_list(text):
    fields = text[2:].split(",")
    size, count = int(fields[0]), int(fields[1])
    stars = [tuple(float(v) for v in fields[2 + 4 * i:6 + 4 * i]) for i in range(count)]
    return size, stars


class E2E(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="starhold-e2e-")
        self.games = []

    def tearDown(self):
        for g in self.games:
            g.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def start(self, name, **kw):
        game = Game(os.path.join(self.tmp, name), **kw)
        self.games.append(game)
        return game

    def shot_path(self, name):
        return os.path.join(ARGS.shots, name) if ARGS.shots else None

    def test_solo_game_draws_and_closes_cleanly(self):
        game = self.start("solo")
        time.sleep(1.0)
        first = game.screenshot(self.shot_path("solo.png"))
        self.assertGreater(count_pixels(first, yellow), 100, "arena edges drawn")
        self.assertGreater(count_pixels(first, green, (0, 0, 800, 120)), 5, "star count shown")
        self.assertEqual(game.close(), 0)
        self.assertEqual(game.stderr(), "")

    def test_one_line_and_failure_without_a_display_or_data(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "SDL_VIDEODRIVER")}
        alone = os.path.join(self.tmp, "alone", "bin")
        os.makedirs(alone)
        shutil.copy(ARGS.binary, alone)
        cases = [(ARGS.binary, env, "starhold needs a graphical session"),
                 (os.path.join(alone, "starhold"), dict(env, DISPLAY=":0"), "starhold: no game data")]
        for binary, environment, line in cases:
            result = subprocess.run([binary], cwd=self.tmp, env=environment, capture_output=True, text=True,
                                    timeout=20)
            self.assertNotEqual(result.returncode, 0)
            self.assertEqual(result.stdout, "")
            self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
            self.assertTrue(result.stderr.startswith(line), result.stderr)

    def test_runs_from_any_folder_from_the_build_tree_and_installed(self):
        prefix = os.path.join(self.tmp, "prefix")
        subprocess.run(["cmake", "--install", os.path.dirname(ARGS.binary), "--prefix", prefix], check=True,
                       capture_output=True, timeout=60)
        for name, binary in [("build", ARGS.binary), ("installed", os.path.join(prefix, "bin", "starhold"))]:
            game = self.start(name, binary=binary)
            time.sleep(1.0)
            shot = game.screenshot()
            self.assertGreater(count_pixels(shot, green, (0, 0, 200, 30)), 5, name + ": heads-up line")
            self.assertGreater(count_pixels(shot, textured_ship, (360, 285, 440, 315)), 5, name + ": textured ship")
            self.assertEqual(game.close(), 0)
            self.assertEqual(game.stderr(), "")

    def test_protocol_peer_plays_against_a_listening_game(self):
        port = free_port()
        game = self.start("server", port=port)
        game.key("l")
        p = peer.Peer("127.0.0.1", port)
        try:
            p.send("2|!")
            size, stars = star_list(p.wait_for("2|")[0])
            self.assertEqual(size, 20)
            self.assertEqual(len(stars) % 2, 0)
            self.assertEqual(sum(1 for s in stars if s[3] == 1), len(stars) // 2)

            start = time.monotonic()
            time.sleep(2.0)
            frames = len(p.wait_for("0|", after=start))
            velocities = len(p.wait_for("1|", after=start))
            scores = p.wait_for("5|", after=start)
            self.assertTrue(6 <= frames <= 12, frames)
            self.assertTrue(25 <= velocities <= 42, velocities)
            self.assertTrue(2 <= len(scores) <= 5, len(scores))
            held = int(scores[-1][2:].split(",")[0])
            self.assertEqual(held, len(stars) // 2)

            # Hostile bytes: garbage, absurd lengths, bad payloads; then one good capture behind them.
            for raw in [b"zz~\x01\x02\0", b"99999999999~abc\0", b"5~abcdX", b"~~~~", b"\0\0\0"]:
                p.send_raw(raw)
            for text in ["3|999999", "3|-1", "3|x", "2|-5,99999999", "4|9,9,9", "abc", "9|x", "1|nan,inf,1e99",
                         "0|1,2", "2|20,1000000000"]:
                p.send(text)
            p.send("3|%d" % next(i for i, s in enumerate(stars) if s[3] == 1))
            deadline = time.monotonic() + 5
            while int(p.messages("5|")[-1][1][2:].split(",")[0]) != held - 1 and time.monotonic() < deadline:
                time.sleep(0.1)
            self.assertEqual(int(p.messages("5|")[-1][1][2:].split(",")[0]), held - 1)
            self.assertIsNone(game.proc.poll())
            p.wait_for("4|", timeout=12.0)
        finally:
            p.close()
        self.assertEqual(game.close(), 0)

    def test_two_instances_play_a_match(self):
        config = "minstars 900\nmaxstars 1000\nmapdimensions 10\n"
        server_port = free_port()
        server = self.start("a", port=server_port, config=config)
        server.key("l")
        relay = peer.Relay(server_port)
        client = self.start("b", port=relay.port, config=config)
        client.key("c")
        deadline = time.monotonic() + 10
        while not (relay.messages("s>c", "2|") and relay.messages("s>c", "5|")) and time.monotonic() < deadline:
            time.sleep(0.1)
        size, stars = star_list(relay.messages("s>c", "2|")[0])
        self.assertEqual(size, 10)
        half = len(stars) // 2
        # Ships parked on the same star take it from each other, so counts near the
        # centre may wobble by a star or two; a flight through the field takes dozens.
        before = int(relay.messages("s>c", "5|")[-1][2:].split(",")[0])
        self.assertLessEqual(abs(before - half), 5)
        notices = len(relay.messages("c>s", "3|"))
        # Thrust forward, right and up for different times: the flight then wraps
        # through the arena on ever new lines instead of retracing one.
        client.press(["Up", "Right", "w"], [2.0, 1.0, 0.5])
        time.sleep(2.0)
        contested = set(relay.messages("s>c", "3|"))  # the stars the server's parked ship takes back
        taken = set(relay.messages("c>s", "3|")[notices:]) - contested
        self.assertGreater(len(taken), 4, "the client captured stars in flight")
        after = int(relay.messages("s>c", "5|")[-1][2:].split(",")[0])
        self.assertLessEqual(abs(after - (before - len(taken))), 2, "the captures reached the server")
        server_shot = server.screenshot(self.shot_path("server.png"))
        client_shot = client.screenshot(self.shot_path("client.png"))
        for shot in (server_shot, client_shot):
            self.assertGreater(count_pixels(shot, green, (400, 0, 800, 120)), 5, "energies shown")
        self.assertEqual(client.close(), 0)
        self.assertEqual(server.close(), 0)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--shots", help="folder to keep screenshots in")
    ARGS, rest = parser.parse_known_args()
    ARGS.binary = os.path.abspath(ARGS.binary)
    ARGS.data = os.path.abspath(ARGS.data)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
