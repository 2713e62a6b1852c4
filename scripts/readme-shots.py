#!/usr/bin/env python3
"""Takes the README's screenshots from the real game, each copy under an X server
of its own and in a home folder of its own:
  docs/status-line.png    the host's status line, saying where to join
  docs/join-prompt.png    the join prompt, the host heard on the local network
                          chosen (as root: the two copies then run in two network
                          namespaces of their own; otherwise the address is typed)
  docs/result-banner.png  the end of a match against the computer
  docs/full-screen.png    the game full screen on a 1920x1080 display, playing the computer
Usage: scripts/readme-shots.py [BUILD_FOLDER] (default build)."""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from e2e_test import Game, Namespaces  # noqa: E402


def free_port():
    """The game's default port when it is free, so the pictures show what a player sees."""
    with socket.socket() as probe:
        try:
            probe.bind(("", 1337))
        except OSError:
            probe.bind(("", 0))
        return probe.getsockname()[1]


def start(folder, binary, config="", connection="", prefix=(), screen="1024x768"):
    game = Game(folder, binary, config, connection, prefix=prefix, screen=screen)
    time.sleep(5.5)  # past the start-up hint
    return game


def keys(game, *names):
    for name in names:
        game.key(name)
        time.sleep(0.1)


def shot(game, name, window=None):
    subprocess.run(["import", "-window", window or str(game.window), os.path.join(ROOT, "docs", name)],
                   env=game.env, check=True)


def close(game):
    game.close()
    game.kill()


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    binary = os.path.abspath(os.path.join(build, "starhold"))
    work = tempfile.mkdtemp(prefix="starhold-shots-")
    port = free_port()
    net = Namespaces() if os.geteuid() == 0 else None
    try:
        host = start(os.path.join(work, "host"), binary, connection="%d localhost\n" % port,
                     config="announce 1\nplayername alice\n" if net else "", prefix=net.prefix(0) if net else ())
        keys(host, "l")
        time.sleep(1)
        shot(host, "status-line.png")
        friend = start(os.path.join(work, "friend"), binary, connection="%d localhost\n" % port,
                       prefix=net.prefix(1) if net else ())
        keys(friend, "j")
        if net:
            time.sleep(1.5)
            keys(friend, "Down")
        else:
            friend.type("127.0.0.1:%d" % port)
        time.sleep(0.5)
        shot(friend, "join-prompt.png")
        close(friend)
        close(host)

        small = "minstars 6\nmaxstars 7\nmapdimensions 12\nbotlevel hard\n"
        player = start(os.path.join(work, "player"), binary, config=small)
        keys(player, "b")
        time.sleep(60)  # the computer takes the field and the player's energy runs out
        keys(player, "Up")  # the camera on the ship, the arena behind the banner
        time.sleep(1)
        shot(player, "result-banner.png")
        close(player)

        full = start(os.path.join(work, "full"), binary, config="fullscreen 1\nbotlevel easy\n", screen="1920x1080")
        keys(full, "b")
        time.sleep(6)  # a few stars taken on either side
        shot(full, "full-screen.png", "root")
        close(full)
    finally:
        if net:
            net.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
