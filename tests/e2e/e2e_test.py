#!/usr/bin/env python3
"""End to end: what only the real binary shows. The game runs under its own Xvfb,
from a build tree and from an installed prefix, and fails cleanly without a display."""

import argparse
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from peers import Observer, Relay  # noqa: E402

ARGS = None


class Game:
    """One running instance in an empty folder of its own, on its own X server."""

    def __init__(self, workdir, binary, config=None, connection=None, data=None, prefix=(), screen="1024x768"):
        if data:
            shutil.copytree(data, workdir)  # started in its data folder: a binary from anywhere finds it
        else:
            os.makedirs(workdir)
        # The player's own environment: a home folder and no XDG_* variables.
        self.home = os.path.join(workdir, "home")
        settings = os.path.join(self.home, ".config", "starhold")
        os.makedirs(settings)
        # A game hosted by a test never announces itself on the machine's own network,
        # unless the test says otherwise (inside network namespaces of its own).
        config = (config or "") if "announce" in (config or "") else (config or "") + "\nannounce 0\n"
        for name, text in (("config.txt", config), ("connection.txt", connection)):
            if text:
                with open(os.path.join(settings, name), "w") as f:
                    f.write(text)
        home = self.home
        read_end, write_end = os.pipe()
        self.x = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen + "x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            display = ":" + f.readline().strip()
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        self.env.update(DISPLAY=display, SDL_AUDIODRIVER="dummy", HOME=home)
        self.errors = workdir + ".stderr"
        with open(self.errors, "w") as errors:
            self.proc = subprocess.Popen([*prefix, binary], cwd=workdir, env=self.env, stderr=errors)
        found = subprocess.run(["xdotool", "search", "--sync", "--name", "^starhold$"], env=self.env, check=True,
                               timeout=20, capture_output=True, text=True)
        self.window = int(found.stdout.split()[0])
        time.sleep(1.5)

    def screenshot(self, window=None):
        """The window (not the screen: sdl12-compat centres it) as (width, height, rgb bytes). A full screen is
        taken from the root window: the classic SDL 1.2 shows it in another window than the one it titles."""
        ppm = subprocess.run(["import", "-window", window or str(self.window), "-depth", "8", "ppm:-"], env=self.env,
                             check=True, capture_output=True).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
        return int(header.group(1)), int(header.group(2)), ppm[header.end():]

    def geometry(self):
        """The window's place and size as the X server has them: (x, y, width, height)."""
        info = subprocess.run(["xwininfo", "-id", str(self.window)], env=self.env, check=True, capture_output=True,
                              text=True, timeout=10).stdout
        fields = dict(line.strip().split(":", 1) for line in info.splitlines() if ":" in line)
        return tuple(int(fields[name]) for name in ("Absolute upper-left X", "Absolute upper-left Y", "Width",
                                                    "Height"))

    def key(self, name):
        subprocess.run(["xdotool", "key", "--window", str(self.window), name], env=self.env, check=True, timeout=10)

    def type(self, text):
        subprocess.run(["xdotool", "type", "--window", str(self.window), "--delay", "50", text], env=self.env,
                       check=True, timeout=30)

    def children(self):
        found = subprocess.run(["pgrep", "-P", str(self.proc.pid)], capture_output=True, text=True)
        return [int(pid) for pid in found.stdout.split()]

    def close(self):
        """Asks the game to quit as the session would (SDL turns SIGTERM into a quit event); the exit status."""
        self.proc.terminate()
        return self.proc.wait(timeout=30)

    def stderr(self):
        with open(self.errors) as errors:
            return errors.read()

    def kill(self):
        for proc in (self.proc, self.x):
            if proc.poll() is None:
                proc.kill()
                proc.wait()


def count_pixels(shot, test, box=None):
    width, height, data = shot
    x0, y0, x1, y1 = box or (0, 0, width, height)
    return sum(test(*data[(y * width + x) * 3:(y * width + x) * 3 + 3]) for y in range(y0, y1) for x in range(x0, x1))


def yellow(r, g, b):
    return r > 200 and g > 200 and b < 80


def green(r, g, b):
    return g > 200 and r < 80 and b < 80


def red(r, g, b):
    return r > 200 and g < 80 and b < 80


def drawn(shot):
    """Whether the arena's edges, the heads-up line's star count and the textured ship show."""
    width, height, _ = shot
    centre = (width // 2 - 40, height // 2 - 15, width // 2 + 40, height // 2 + 15)
    return {"arena edges": count_pixels(shot, yellow) > 100,
            "heads-up line": count_pixels(shot, green, (0, 0, 200, 30)) > 5,
            "textured ship": count_pixels(shot, textured_ship, centre) > 5}


def wait_for(condition, seconds):
    """True once `condition` holds, checked twice a second; False after `seconds`."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.5)
    return condition()


def running(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split()[2] != "Z"
    except OSError:
        return False


def grey(r, g, b):
    return 150 < r < 210 and r == g == b  # the result banner's last line


def textured_ship(r, g, b):
    return g > 150 and r < 120  # the green cockpit lights: an untextured ship is plain white


class E2E(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="starhold-e2e-")
        self.games = []

    def tearDown(self):
        for g in self.games:
            g.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def assertDrawn(self, game, what, window=None):
        """The arena's edges, the heads-up line's star count and the ship's own picture, not blank
        boxes, once the game has drawn at its new size: the X server has the size before that frame."""
        shots = []
        wait_for(lambda: shots.append(game.screenshot(window)) or all(drawn(shots[-1]).values()), 10)
        for part, shown in drawn(shots[-1]).items():
            self.assertTrue(shown, "%s: %s" % (what, part))
        return shots[-1]

    def test_one_line_and_failure_without_a_display_or_data(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "SDL_VIDEODRIVER")}
        alone = os.path.join(self.tmp, "alone", "bin")
        os.makedirs(alone)
        shutil.copy(ARGS.binary, alone)
        cases = [(ARGS.binary, env, "starhold needs a graphical session"),
                 (os.path.join(alone, "starhold"), dict(env, DISPLAY=":0"), "starhold: no game data"),
                 (ARGS.binary, dict(env, DISPLAY=":65011"), "Video initialization failed")]  # no X server there
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
            game = Game(os.path.join(self.tmp, name), binary)
            self.games.append(game)
            self.assertDrawn(game, name)
            self.assertEqual(game.close(), 0)
            self.assertEqual(game.stderr(), "")


    def test_f11_fills_the_screen_with_everything_drawn_and_back_and_a_dragged_corner_resizes(self):
        game = Game(os.path.join(self.tmp, "screen"), ARGS.binary, screen="1920x1080")
        self.games.append(game)
        x, y, _, _ = game.geometry()
        self.assertEqual(game.geometry(), (x, y, 800, 600))
        game.key("F11")
        self.assertTrue(wait_for(lambda: game.geometry() == (0, 0, 1920, 1080), 10), game.geometry())
        self.assertDrawn(game, "full screen", "root")
        game.key("alt+Return")
        self.assertTrue(wait_for(lambda: game.geometry() == (x, y, 800, 600), 10), game.geometry())
        subprocess.run(["xdotool", "windowsize", str(game.window), "1200", "700"], env=game.env, check=True,
                       timeout=10)
        self.assertTrue(wait_for(lambda: game.geometry() == (x, y, 1200, 700), 10), game.geometry())
        self.assertEqual(self.assertDrawn(game, "resized")[:2], (1200, 700))
        self.assertEqual(game.close(), 0)
        self.assertEqual(game.stderr(), "")

    def test_b_plays_the_computer_to_the_end_of_a_match_and_the_computer_goes_with_the_game(self):
        game = Game(os.path.join(self.tmp, "computer"), ARGS.binary,
                    config="minstars 4\nmaxstars 5\nmapdimensions 10\nbotlevel hard\n")
        self.games.append(game)
        game.key("b")
        # The match starts: both energies show at the right of the heads-up line.
        self.assertTrue(wait_for(lambda: count_pixels(game.screenshot(), green, (500, 0, 800, 30)) > 5, 30))
        computer = game.children()
        self.assertEqual(len(computer), 1)
        # The computer takes the field from a player who does nothing: YOU LOSE, in red.
        self.assertTrue(wait_for(lambda: count_pixels(game.screenshot(), red, (240, 140, 570, 190)) > 150, 120))
        game.proc.kill()  # however the game ends, the computer goes with it
        game.proc.wait(timeout=10)
        self.assertTrue(wait_for(lambda: not running(computer[0]), 10))


    def test_a_friend_joins_by_typing_the_hosts_address_with_no_file_edited(self):
        with socket.socket() as probe:
            probe.bind(("", 0))
            port = probe.getsockname()[1]
        host = Game(os.path.join(self.tmp, "host"), ARGS.binary, connection="%d localhost\n" % port)
        self.games.append(host)
        host.key("l")
        friend = Game(os.path.join(self.tmp, "friend"), ARGS.binary)
        self.games.append(friend)
        friend.key("j")
        friend.type("127.0.0.1:%d" % port)
        friend.key("Return")
        # Both play: each shows the two energies at the right of its heads-up line.
        for game in (host, friend):
            self.assertTrue(wait_for(lambda: count_pixels(game.screenshot(), green, (500, 0, 800, 30)) > 5, 30))
        with open(os.path.join(friend.home, ".local", "state", "starhold", "recent-hosts")) as f:
            self.assertEqual(f.read(), "127.0.0.1:%d\n" % port)
        for game in (host, friend):
            self.assertEqual(game.close(), 0)
            self.assertEqual(game.stderr(), "")


class ThroughASlowLink(unittest.TestCase):
    """Two copies of the game, the friend joined through a relay that holds every
    message 100 ms (give or take 20) each way. The relay also speaks for the
    friend: it takes the host's stars one by one, each notice sent twice as a
    notice crossing the host's owners would be, so that the match ends in
    seconds. An observer joined to the host reads every score and asks for the
    field four times a second: the host's count must never leave its field."""

    CONFIG = "minstars 4\nmaxstars 5\nmapdimensions 10\n"

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="starhold-e2e-relay-")
        self.games, self.observer = [], None

    def tearDown(self):
        if self.observer:
            self.observer.stop()
        for g in self.games:
            g.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def start(self, name, port, key):
        game = Game(os.path.join(self.tmp, name), ARGS.binary, config=self.CONFIG,
                    connection="%d 127.0.0.1\n" % port)
        self.games.append(game)
        game.key(key)
        return game

    RESULT = (240, 140, 570, 190)  # YOU WIN or YOU LOSE
    NEXT = (150, 218, 650, 242)  # the banner's last line: what starts the next match

    def shows(self, game, result):
        """Whether the game shows the result banner: its grey last line, and the result's colour above it."""
        shot = game.screenshot()
        return count_pixels(shot, grey, self.NEXT) > 150 and count_pixels(shot, result, self.RESULT) > 150

    def banner_gone(self, game):
        return count_pixels(game.screenshot(), grey, self.NEXT) < 20

    def star_lists_down(self, relay):
        return sum(1 for _, way, text in relay.messages() if way == "down" and text.startswith("2|") and text != "2|!")

    def take_the_hosts_stars(self, relay):
        """Every star the host holds, noticed twice each; waits until the host shows each one taken."""
        self.assertTrue(wait_for(lambda: 1 in self.observer.latest("list"), 20))  # a field where it holds some
        owners = self.observer.latest("list")
        for star in [i for i, owner in enumerate(owners) if owner == 1]:
            for _ in range(2):
                relay.inject("3|%d" % star)
            self.assertTrue(wait_for(lambda: self.observer.latest("list")[star] == 2, 20), "star %d" % star)

    def test_a_match_to_its_end_and_a_rematch_through_a_slow_link(self):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        host = self.start("host", port, "l")
        relay = Relay(port, delay=0.1, jitter=0.02)
        friend = self.start("friend", relay.port, "c")
        self.assertTrue(relay.joined.wait(20))
        self.assertTrue(wait_for(lambda: self.star_lists_down(relay) == 1, 20))
        self.observer = Observer(port, interval=0.25)  # the third peer: the friend already plays
        self.assertTrue(wait_for(lambda: self.observer.latest("list") and self.observer.latest("score"), 20))

        self.take_the_hosts_stars(relay)
        # Holding nothing, the host runs out of energy: it loses, the friend wins.
        self.assertTrue(wait_for(lambda: self.observer.latest("score")[1] == 0, 60))
        self.assertTrue(wait_for(lambda: self.shows(host, red), 20), "the host: YOU LOSE")
        self.assertTrue(wait_for(lambda: self.shows(friend, green), 20), "the friend: YOU WIN")
        self.assertEqual(self.observer.latest("score")[2], 500)

        host.key("BackSpace")  # the rematch: a new field on both screens, the banners gone
        self.assertTrue(wait_for(lambda: self.star_lists_down(relay) == 2, 20))
        self.assertTrue(wait_for(lambda: self.observer.latest("score")[1:] == [500, 500], 20))
        for game, name in ((host, "host"), (friend, "friend")):
            self.assertTrue(wait_for(lambda: self.banner_gone(game), 20), name + ": banner gone")
        self.take_the_hosts_stars(relay)

        self.assertEqual(self.observer.count_mismatches(), [])
        self.assertGreater(len(self.observer.lists), 20)
        for game in (host, friend):
            self.assertEqual(game.close(), 0)
            self.assertEqual(game.stderr(), "")


class Namespaces:
    """Two network namespaces joined by a veth pair, each with an address on
    10.77.0.0/24 and a default route through the other, so that a broadcast has a
    way out; removed again by close(). Nothing they send reaches the machine's own
    interfaces."""

    def __init__(self):
        tag = str(os.getpid())
        self.names = ["starhold-lan-a-" + tag, "starhold-lan-b-" + tag]
        self.created = []
        self.listeners = []
        for name in self.names:
            self.ip("netns", "add", name)
            self.created.append(name)
        a, b = self.names
        self.ip("-n", a, "link", "add", "shlan0", "type", "veth", "peer", "name", "shlan1", "netns", b)
        for name, device, address, other in ((a, "shlan0", "10.77.0.1", "10.77.0.2"),
                                             (b, "shlan1", "10.77.0.2", "10.77.0.1")):
            self.ip("-n", name, "addr", "add", address + "/24", "broadcast", "+", "dev", device)
            self.ip("-n", name, "link", "set", "lo", "up")
            self.ip("-n", name, "link", "set", device, "up")
            self.ip("-n", name, "route", "add", "default", "via", other)

    @staticmethod
    def ip(*args):
        subprocess.run(["ip", *args], check=True, capture_output=True, timeout=20)

    def prefix(self, index):
        return ("ip", "netns", "exec", self.names[index])

    def listen(self, index, port):
        """Every datagram that reaches UDP `port` inside namespace `index`, collected in a list as it comes."""
        heard = []
        proc = subprocess.Popen([*self.prefix(index), sys.executable, "-u", "-c", LISTENER, str(port)],
                                stdout=subprocess.PIPE, text=True)
        self.listeners.append(proc)
        threading.Thread(target=lambda: heard.extend(proc.stdout), daemon=True).start()
        return heard

    def close(self):
        for proc in self.listeners:
            proc.kill()
            proc.wait()
        for name in self.created:
            subprocess.run(["ip", "netns", "del", name], capture_output=True, timeout=20)


LISTENER = """import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("", int(sys.argv[1])))
while True:
    print(s.recv(1024))
"""


def white(r, g, b):
    return r > 200 and g > 200 and b > 200


# The join prompt's first row under its line, in the pixels of an 800 x 600
# window, whose centred panel starts at (80, 60): a game heard is white, the game
# chosen yellow; the note that no game is heard is grey.
FIRST_LISTED = (100, 203, 720, 224)


class LocalNetwork(unittest.TestCase):
    """Two copies in two network namespaces find each other through the join prompt."""

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to make network namespaces")
        self.tmp = tempfile.mkdtemp(prefix="starhold-lan-")
        self.games = []
        try:
            self.net = Namespaces()
        except (OSError, subprocess.CalledProcessError) as e:
            shutil.rmtree(self.tmp, ignore_errors=True)
            self.skipTest("cannot make network namespaces: %s" % e)

    def tearDown(self):
        for g in self.games:
            g.kill()
        self.net.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def listed(self, game, colour):
        return count_pixels(game.screenshot(), colour, FIRST_LISTED) > 40

    def test_a_friend_finds_the_host_in_the_join_prompt_and_joins_it_with_down_and_enter(self):
        host = Game(os.path.join(self.tmp, "host"), ARGS.binary, config="announce 1\nplayername alice\n",
                    connection="4000 localhost\n", prefix=self.net.prefix(0))
        self.games.append(host)
        friend = Game(os.path.join(self.tmp, "friend"), ARGS.binary, prefix=self.net.prefix(1))
        self.games.append(friend)
        announced = self.net.listen(0, 1337)  # what the host sends, heard beside it
        friend.key("j")
        self.assertFalse(self.listed(friend, white))
        pressed = time.monotonic()
        host.key("l")
        self.assertTrue(wait_for(lambda: self.listed(friend, white), 20), "the host is listed")
        listed_after = time.monotonic() - pressed
        self.assertTrue(wait_for(lambda: "b'starhold/1|4000|waiting|alice'\n" in announced, 20), announced)
        friend.key("Down")
        self.assertTrue(wait_for(lambda: self.listed(friend, yellow), 10), "the host is chosen")
        friend.key("Return")
        for game in (host, friend):
            self.assertTrue(wait_for(lambda: count_pixels(game.screenshot(), green, (500, 0, 800, 30)) > 5, 30))
        with open(os.path.join(friend.home, ".local", "state", "starhold", "recent-hosts")) as f:
            self.assertEqual(f.read(), "10.77.0.1:4000\n")  # joined as if typed

        sent = len(announced)  # the host has its friend: not one more in three periods
        self.assertFalse(wait_for(lambda: len(announced) > sent, 3.5), "a host with a friend announces")
        host.key("o")
        host.key("l")
        friend.key("j")
        self.assertTrue(wait_for(lambda: self.listed(friend, white), 20), "listening again is listed again")
        stopped = time.monotonic()
        host.key("o")
        self.assertTrue(wait_for(lambda: not self.listed(friend, white), 20), "a host that stops leaves the list")
        print("\nlisted %.1f s after l; gone %.1f s after o (checked twice a second)"
              % (listed_after, time.monotonic() - stopped), file=sys.stderr)
        for game in (host, friend):
            self.assertEqual(game.close(), 0)
            self.assertEqual(game.stderr(), "")


class Options(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="starhold-e2e-")
        self.game = None

    def tearDown(self):
        if self.game:
            self.game.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def test_escape_changes_the_sensitivity_and_the_players_file_keeps_its_own_lines(self):
        self.game = Game(os.path.join(self.tmp, "options"), ARGS.binary,
                         config="# my own settings\nmystery 1\nsensitivity 5\nannounce 0\n")
        self.game.key("Escape")
        # The screen's title, large and yellow, at the top of the centred panel (from (80, 60) in 800 x 600).
        self.assertTrue(wait_for(lambda: count_pixels(self.game.screenshot(), yellow, (250, 130, 550, 175)) > 300, 10))
        self.game.key("Right")
        self.game.key("Escape")
        path = os.path.join(self.game.home, ".config", "starhold", "config.txt")
        expected = "# my own settings\nmystery 1\nsensitivity 5.5\nannounce 0\n"
        def saved():
            with open(path) as f:
                return f.read() == expected
        self.assertTrue(wait_for(saved, 10))
        self.assertEqual(self.game.close(), 0)
        self.assertEqual(self.game.stderr(), path + ":2: unknown key mystery, skipped with its value\n")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.binary = os.path.abspath(ARGS.binary)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
