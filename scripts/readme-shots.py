#!/usr/bin/env python3
"""Takes the README's screenshots from the real game, each copy under an X server
of its own and in a home folder of its own:
  docs/status-line.png    the host's status line, saying where to join
  docs/join-prompt.png    the join prompt, an address typed in
  docs/result-banner.png  the end of a match against the computer
Usage: scripts/readme-shots.py [BUILD_FOLDER] (default build)."""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def free_port():
    """The game's default port when it is free, so the pictures show what a player sees."""
    with socket.socket() as probe:
        try:
            probe.bind(("", 1337))
        except OSError:
            probe.bind(("", 0))
        return probe.getsockname()[1]


class Copy:
    """One game on its own Xvfb, in its own home folder."""

    def __init__(self, folder, binary, config="", connection=""):
        home = os.path.join(folder, "home")
        settings = os.path.join(home, ".config", "starhold")
        os.makedirs(settings)
        for name, text in (("config.txt", config), ("connection.txt", connection)):
            if text:
                with open(os.path.join(settings, name), "w") as f:
                    f.write(text)
        read_end, write_end = os.pipe()
        self.x = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "800x600x24",
                                   "-nolisten", "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            display = ":" + f.readline().strip()
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        self.env.update(DISPLAY=display, SDL_AUDIODRIVER="dummy", HOME=home)
        self.game = subprocess.Popen([binary], cwd=folder, env=self.env)
        found = subprocess.run(["xdotool", "search", "--sync", "--name", "^starhold$"], env=self.env,
                               capture_output=True, text=True, timeout=20, check=True)
        self.window = found.stdout.split()[0]
        time.sleep(7)  # past the start-up hint

    def keys(self, *names):
        for name in names:
            subprocess.run(["xdotool", "key", "--window", self.window, name], env=self.env, check=True)
            time.sleep(0.1)

    def type(self, text):
        subprocess.run(["xdotool", "type", "--window", self.window, "--delay", "80", text], env=self.env,
                       check=True)

    def shot(self, name):
        subprocess.run(["import", "-window", self.window, os.path.join(ROOT, "docs", name)], env=self.env,
                       check=True)

    def close(self):
        self.game.terminate()
        self.game.wait(timeout=20)
        self.x.terminate()
        self.x.wait(timeout=10)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    binary = os.path.abspath(os.path.join(build, "starhold"))
    work = tempfile.mkdtemp(prefix="starhold-shots-")
    port = free_port()
    try:
        host = Copy(os.path.join(work, "host"), binary, connection="%d localhost\n" % port)
        host.keys("l")
        time.sleep(1)
        host.shot("status-line.png")
        friend = Copy(os.path.join(work, "friend"), binary, connection="%d localhost\n" % port)
        friend.keys("j")
        friend.type("127.0.0.1:%d" % port)
        time.sleep(0.5)
        friend.shot("join-prompt.png")
        friend.close()
        host.close()

        small = "minstars 6\nmaxstars 7\nmapdimensions 12\nbotlevel hard\n"
        player = Copy(os.path.join(work, "player"), binary, config=small)
        player.keys("b")
        time.sleep(60)  # the computer takes the field and the player's energy runs out
        player.keys("Up")  # the camera on the ship, the arena behind the banner
        time.sleep(1)
        player.shot("result-banner.png")
        player.close()
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
