#!/usr/bin/env python3
"""Benchmark of the real game: frame pacing, cost per frame, CPU, memory and
network latency, each game under its own Xvfb with SDL's dummy audio driver.
Scenarios: the game alone on three fields, two copies playing each other over
the loopback, and one copy playing the computer (the b key) on the same field,
all in an 800x600 window; the game full screen on a 1920x1080 screen alone
(defaults, 1000 stars) and playing the computer; and the empty frame of each
size, a program that only clears and swaps at the game's pace, whose CPU per
frame every scenario of that size is set against. Last, the game is switched
between window and full screen 50 times and resized 50 times, and its resident
memory is compared with where it started.

The game binary is run unchanged with bench/frame_probe.so preloaded; the probe
writes the buffer swaps, the main thread's sleeps and the sounds started to the
file named by STARHOLD_BENCH_LOG. A small protocol peer times "2|!" answers.
Prints one row per scenario and writes, into the output folder, results.csv,
frames.csv (every gap between frames), frame_times.png, summary.txt, about.txt
and each game's folder with its logs under runs/."""

import argparse
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # no __pycache__ beside the sources: a run leaves the tree as it was

from Xlib import X, display, protocol  # noqa: E402

from output import OutputFolder  # noqa: E402
from plots import draw_frame_gaps, percentile, write_frames  # noqa: E402

ALONE = [
    ("alone, defaults", ""),
    ("alone, 1000 stars", "minstars 999\nmaxstars 1000\n"),
    ("alone, mapdimensions 200", "mapdimensions 200\n"),
]
PAIR = ("pair over loopback", "mapdimensions 10\nminstars 300\nmaxstars 301\n")
# The pair's field, so that the two scenarios' frame figures compare.
COMPUTER = ("against the computer", PAIR[1] + "botlevel normal\n")
SMALL, LARGE = "800x600", "1920x1080"
FULL = "fullscreen 1\n"
LARGE_ALONE = [
    ("full screen 1920x1080, defaults", FULL),
    ("full screen 1920x1080, 1000 stars", FULL + ALONE[1][1]),
]
LARGE_COMPUTER = ("full screen 1920x1080, against the computer", COMPUTER[1] + FULL)
# The empty frame of each screen size: its name and the floor program's arguments.
FLOORS = {SMALL: ("empty frame, 800x600 window", []), LARGE: ("empty frame, full screen 1920x1080", ["--full-screen"])}
SWITCHES = 50
COLUMNS = ["build", "scenario", "fps", "work_p50_ms", "work_p99_ms", "work_max_ms", "gap_p50_ms", "gap_p99_ms",
           "cpu_pct", "peak_rss_mb", "peer_cpu_pct", "request_p50_ms", "request_p99_ms", "capture_p50_ms",
           "capture_p99_ms", "requests", "captures", "cpu_ms_per_frame", "x_floor", "gap_p99_p50", "floor_gap_p99_p50"]
SWITCH_COLUMNS = ["build", "phase", "rss_mb", "rss_change_mb", "textured_ship"]
# The figures compared between the pair and the game against the computer.
COMPARED = [("fps", "frames/s"), ("work_p50_ms", "work p50"), ("work_p99_ms", "work p99"),
            ("gap_p50_ms", "gap p50"), ("gap_p99_ms", "gap p99"), ("cpu_pct", "CPU")]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def cpu_seconds(pid):
    """utime + stime of the whole process."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def running_seconds(pid):
    """The time the process's threads have run, to the nanosecond (their schedstat),
    where its stat counts in ticks of 10 ms."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
        except OSError:
            pass  # a thread that ended meanwhile
    return total / 1e9


def memory_mb(pid, field="VmHWM"):
    """A line of the process's status in MB: the peak resident memory, or with VmRSS the present one."""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


def peak_rss_mb(pid):
    return memory_mb(pid)


def child_named(parent, name):
    """The pid of the parent's child process with that command name, or None."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                head, tail = f.read().rsplit(")", 1)
        except OSError:
            continue
        if head.split("(", 1)[1] == name and int(tail.split()[1]) == parent:
            return int(entry)
    return None


class XServer:
    def __init__(self, size=SMALL):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", size + "x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            self.name = ":" + f.readline().strip()

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)


class Game:
    """One copy of the game in its own folder and display, probe preloaded; or,
    given a command, that program in the game's place."""

    def __init__(self, args, workdir, config, port=None, size=SMALL, command=None):
        shutil.copytree(args.data, workdir)
        with open(os.path.join(workdir, "config.txt"), "a") as f:
            f.write(config + "\nannounce 0\n")  # a hosting copy tells nobody on the machine's network
        if port:
            with open(os.path.join(workdir, "connection.txt"), "w") as f:
                f.write("%d 127.0.0.1\n" % port)
        self.log = os.path.join(workdir, "bench.log")
        self.x = XServer(size)
        # Only the game gets the probe: in xdotool it would truncate the game's log.
        # The player's own folders stay out: the copy reads only the config.txt above, and
        # its window size, records and recent hosts go to a state folder of its own.
        self.env = dict(os.environ, DISPLAY=self.x.name, XDG_CONFIG_HOME=os.path.join(workdir, "no-settings"),
                        XDG_STATE_HOME=os.path.join(workdir, "state"))
        game_env = dict(self.env, SDL_AUDIODRIVER="dummy", LD_PRELOAD=args.probe, STARHOLD_BENCH_LOG=self.log)
        self.errors = open(os.path.join(workdir, "stderr.txt"), "w")
        command = command or [args.binary]
        self.proc = subprocess.Popen(command, cwd=workdir, env=game_env, stderr=self.errors)
        self.pid = self.proc.pid
        title = "^%s$" % os.path.basename(command[0])
        self.window = int(self.xdotool("search", "--sync", "--name", title).split()[0])

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, check=True, timeout=20,
                              capture_output=True, text=True).stdout

    def keys(self, action, *keys):
        self.xdotool("windowfocus", "--sync", str(self.window))
        self.xdotool(action, "--delay", "40", *keys)

    def cpu_seconds(self):
        return cpu_seconds(self.proc.pid)

    def peak_rss_mb(self):
        return peak_rss_mb(self.proc.pid)

    def size(self):
        """The window's width and height as the X server has them."""
        info = subprocess.run(["xwininfo", "-id", str(self.window)], env=self.env, check=True, timeout=20,
                              capture_output=True, text=True).stdout
        return tuple(int(line.split(":")[1]) for line in info.splitlines() if line.strip().startswith(("Width:",
                                                                                                       "Height:")))

    def wait_for_size(self, size, seconds=5.0):
        """Until the window has the size and the game has set its video mode to it.
        The next resize waits for both, as a player's hand does: a resize sent while
        the game still sets the one before is undone by it, and the newer size may
        then never reach the game."""
        deadline = time.monotonic() + seconds
        while not self.has_size(size) and time.monotonic() < deadline:
            time.sleep(0.05)
        return self.has_size(size)

    def has_size(self, size):
        return self.size() == size and self.video_mode() == size

    def video_mode(self):
        modes = [event[2] for event in self.events() if event[0] == "mode" and len(event) == 3]
        return tuple(map(int, modes[-1].split("x"))) if modes else None

    def textured_ship(self):
        """Whether the ship at the window's centre shows its green lights: an
        untextured one is plain white."""
        ppm = subprocess.run(["import", "-window", str(self.window), "-depth", "8", "ppm:-"], env=self.env,
                             check=True, capture_output=True, timeout=20).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
        width, height, pixels = int(header.group(1)), int(header.group(2)), ppm[header.end():]
        lights = 0
        for y in range(height // 2 - 10, height // 2 + 10):
            for x in range(width // 2 - 40, width // 2 + 40):
                r, g = pixels[(y * width + x) * 3], pixels[(y * width + x) * 3 + 1]
                lights += g > 150 and r < 120
        return lights > 20

    def close(self):
        try:
            for _ in range(6):
                d = display.Display(self.x.name)
                w = d.create_resource_object("window", self.window)
                w.send_event(protocol.event.ClientMessage(
                    window=w, client_type=d.intern_atom("WM_PROTOCOLS"),
                    data=(32, [d.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0])))
                d.flush()
                d.close()
                try:
                    self.proc.wait(timeout=3)
                    break
                except subprocess.TimeoutExpired:
                    pass
        finally:
            if self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait()
            self.errors.close()
            self.x.stop()

    def events(self):
        # The computer the game starts inherits the probe, which empties the log as
        # it loads: what the game wrote before then reads back as zero bytes.
        with open(self.log, errors="replace") as f:
            return [line.split() for line in f if line.strip() and "\0" not in line]


class Peer:
    """The other player's process, measured like a game: the second copy or the computer."""

    def __init__(self, pid):
        self.pid = pid

    def cpu_seconds(self):
        return cpu_seconds(self.pid)

    def peak_rss_mb(self):
        return peak_rss_mb(self.pid)


class Measure:
    """CPU and wall time of one game over the measured window, and its CPU at
    each half second of it, read by a thread of its own."""

    SLICE = 0.5

    def __init__(self, game):
        self.game = game
        self.start_cpu = game.cpu_seconds()
        self.start = time.monotonic_ns()
        self.samples = [(self.start, running_seconds(self.game.pid))]
        self.done = threading.Event()
        self.sampler = threading.Thread(target=self._sample, daemon=True)
        self.sampler.start()

    def _sample(self):
        while not self.done.wait(self.SLICE):
            self.samples.append((time.monotonic_ns(), running_seconds(self.game.pid)))

    def finish(self):
        self.done.set()
        self.sampler.join()
        self.end = time.monotonic_ns()
        self.cpu = self.game.cpu_seconds() - self.start_cpu
        self.rss = self.game.peak_rss_mb()

    def cpu_ms_per_frame(self, swaps):
        """The CPU each frame took in the quietest quarter of the window's half
        seconds (their 25th percentile). On a shared virtual machine the same
        frames take two or three times the CPU for seconds at a time while other
        work runs beside them; that only ever adds, so the quiet quarter is the
        figure that compares from run to run and with the empty frame."""
        slices = []
        for (t0, c0), (t1, c1) in zip(self.samples, self.samples[1:]):
            frames = sum(1 for t in swaps if t0 < t <= t1)
            if frames:
                slices.append(1000.0 * (c1 - c0) / frames)
        return percentile(slices, 25)

    def share(self):
        """CPU as a percentage of one core over the window."""
        return 100.0 * self.cpu / ((self.end - self.start) / 1e9)


def frame_figures(game, measure):
    swaps = [(int(e[1]), int(e[2])) for e in game.events() if e[0] == "swap"]
    inside = [s for s in swaps if measure.start <= s[0] <= measure.end]
    gaps, work = [], []
    for (t0, _), (t1, slept) in zip(inside, inside[1:]):
        gaps.append((t1 - t0) / 1e6)
        work.append(max(0.0, (t1 - t0 - slept) / 1e6))
    seconds = (measure.end - measure.start) / 1e9
    return {
        "fps": len(inside) / seconds,
        "cpu_ms_per_frame": measure.cpu_ms_per_frame([t for t, _ in inside]),
        "gap_p99_p50": percentile(gaps, 99) / percentile(gaps, 50) if gaps else float("nan"),
        "work_p50_ms": percentile(work, 50), "work_p99_ms": percentile(work, 99),
        "work_max_ms": max(work) if work else float("nan"),
        "gap_p50_ms": percentile(gaps, 50), "gap_p99_ms": percentile(gaps, 99),
        "cpu_pct": measure.share(), "peak_rss_mb": measure.rss,
    }, gaps


def run_alone(args, build, name, config, folder, size=SMALL, command=None):
    game = Game(args, os.path.join(folder, "game"), config, size=size, command=command)
    try:
        time.sleep(args.warmup)
        measure = Measure(game)
        time.sleep(args.seconds)
        measure.finish()
    finally:
        game.close()
    row, gaps = frame_figures(game, measure)
    row.update(build=build, scenario=name)
    return row, gaps


def encode(text):
    body = text.encode("latin-1")
    return str(len(body) + 1).encode() + b"~" + body + b"\0"


class RequestProbe:
    """A peer of the listening game that asks for the star list again and again
    and times each answer."""

    def __init__(self, port):
        deadline = time.monotonic() + 10
        while True:
            try:
                self.sock = socket.create_connection(("127.0.0.1", port), timeout=1.0)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)
        self.latencies = []
        self.stop = threading.Event()
        self.answered = threading.Event()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        pending = b""
        while not self.stop.is_set():
            try:
                data = self.sock.recv(65536)
            except socket.timeout:
                continue
            except OSError:
                return
            if not data:
                return
            pending += data
            while True:
                sep = pending.find(b"~")
                if sep < 0:
                    break
                end = sep + 1 + int(pending[:sep] or b"0")
                if len(pending) < end:
                    break
                if pending[sep + 1:sep + 3] == b"2|":
                    self.answered.set()
                pending = pending[end:]

    def run(self, seconds, interval=0.1):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.answered.clear()
            sent = time.monotonic()
            self.sock.sendall(encode("2|!"))
            if self.answered.wait(1.0):
                self.latencies.append((time.monotonic() - sent) * 1000.0)
            time.sleep(max(0.0, sent + interval - time.monotonic()))

    def close(self):
        self.stop.set()
        self.sock.close()
        self.reader.join(timeout=2)


def capture_latencies(sender, receiver, start, end):
    """From each capture on one side to the peer's capture sound on the other."""
    captures = [int(e[1]) for e in sender.events() if e[0] == "play" and e[2] == "pop.ogg"]
    arrivals = [int(e[1]) for e in receiver.events() if e[0] == "play" and e[2] == "enemyPop.ogg"]
    latencies, j = [], 0
    for t in (c for c in captures if start <= c <= end):
        while j < len(arrivals) and arrivals[j] < t:
            j += 1
        if j < len(arrivals) and arrivals[j] - t < 1e9:
            latencies.append((arrivals[j] - t) / 1e6)
            j += 1
    return latencies


def fly(game, keys, holds):
    """Holds the keys together and lets each go after its own time."""
    game.keys("keydown", *keys)
    start = time.monotonic()
    for key, hold in sorted(zip(keys, holds), key=lambda pair: pair[1]):
        time.sleep(max(0.0, start + hold - time.monotonic()))
        game.keys("keyup", key)


def run_pair(args, build, folder):
    name, config = PAIR
    port = free_port()
    server = Game(args, os.path.join(folder, "server"), config, port)
    client = None
    probe = None
    try:
        time.sleep(0.5)
        server.keys("key", "l")
        time.sleep(0.3)
        client = Game(args, os.path.join(folder, "client"), config, port)
        time.sleep(0.5)
        client.keys("key", "c")
        time.sleep(0.5)
        fly(server, ["Up", "Right", "w"], [2.0, 0.7, 0.4])
        fly(client, ["Down", "Left", "s"], [1.8, 0.5, 0.3])
        probe = RequestProbe(port)
        time.sleep(args.warmup)
        measure = Measure(server)
        client_measure = Measure(client)
        probe.run(args.seconds)
        measure.finish()
        client_measure.finish()
    finally:
        if probe:
            probe.close()
        if client:
            client.close()
        server.close()
    row, gaps = frame_figures(server, measure)
    captures = (capture_latencies(server, client, measure.start, measure.end) +
                capture_latencies(client, server, measure.start, measure.end))
    row.update(build=build, scenario=name, peer_cpu_pct=client_measure.share(),
               request_p50_ms=percentile(probe.latencies, 50), request_p99_ms=percentile(probe.latencies, 99),
               capture_p50_ms=percentile(captures, 50), capture_p99_ms=percentile(captures, 99),
               requests=len(probe.latencies), captures=len(captures))
    return row, gaps


def computer_beside(binary):
    path = os.path.join(os.path.dirname(binary), "starhold-bot")
    return path if os.access(path, os.X_OK) else None


def run_computer(args, build, folder, scenario=COMPUTER, size=SMALL):
    """The game hosts and plays the computer that b starts, flying as the pair's host does."""
    name, config = scenario
    game = Game(args, os.path.join(folder, "game"), config, size=size)
    bot = None
    try:
        time.sleep(0.5)
        game.keys("key", "b")
        deadline = time.monotonic() + 10
        while bot is None and time.monotonic() < deadline:
            time.sleep(0.1)
            bot = child_named(game.proc.pid, "starhold-bot")
        if bot is None:
            raise RuntimeError("b started no starhold-bot beside " + args.binary)
        time.sleep(1.0)
        fly(game, ["Up", "Right", "w"], [2.0, 0.7, 0.4])
        time.sleep(args.warmup)
        measure = Measure(game)
        bot_measure = Measure(Peer(bot))
        time.sleep(args.seconds)
        measure.finish()
        bot_measure.finish()
        if child_named(game.proc.pid, "starhold-bot") != bot:
            raise RuntimeError("the computer left during the measured window")
    finally:
        game.close()
        if bot is not None and child_named(game.proc.pid, "starhold-bot") == bot:
            os.kill(bot, signal.SIGKILL)  # never reached: the game takes its computer with it
    row, gaps = frame_figures(game, measure)
    window = [e for e in game.events() if e[0] == "play" and measure.start <= int(e[1]) <= measure.end]
    row.update(build=build, scenario=name, peer_cpu_pct=bot_measure.share(),
               own_captures=sum(e[2] == "pop.ogg" for e in window),
               computer_captures=sum(e[2] == "enemyPop.ogg" for e in window))
    return row, gaps


def compare(rows, build):
    """The game against the computer beside the two-copy pair, figure by figure."""
    pair = [r for r in rows if r["build"] == build and r["scenario"] == PAIR[0]]
    computer = [r for r in rows if r["build"] == build and r["scenario"] == COMPUTER[0]]
    if not pair or not computer:
        return None
    parts = []
    for key, label in COMPARED:
        before, after = pair[0][key], computer[0][key]
        change = 100.0 * (after - before) / before if before else float("nan")
        parts.append("%s %s -> %s (%+.0f%%)" % (label, cell(before), cell(after), change))
    return "%s: against the computer vs pair over loopback: %s" % (build, ", ".join(parts))


def cell(value, digits=1):
    if isinstance(value, float):
        return "-" if value != value else "%.*f" % (digits, value)
    return str(value)


def row_line(row):
    latency = ""
    if "peer_cpu_pct" in row:
        latency += " | peer CPU %s%%" % cell(row["peer_cpu_pct"])
    if "computer_captures" in row:
        latency += " | captures in the window: own %d, computer's %d" % (row["own_captures"],
                                                                         row["computer_captures"])
    if "requests" in row:
        latency += " | request %s / %s ms (%d) | capture %s / %s ms (%d)" % (
            cell(row["request_p50_ms"]), cell(row["request_p99_ms"]), row["requests"],
            cell(row["capture_p50_ms"]), cell(row["capture_p99_ms"]), row["captures"])
    floor = ""
    if "x_floor" in row:
        floor = " (%s x floor; gap p99/p50 %s, floor's %s)" % (cell(row["x_floor"], 2), cell(row["gap_p99_p50"], 2),
                                                               cell(row["floor_gap_p99_p50"], 2))
    return ("%-8s | %-44s | %5.0f fps | work %s / %s / %s ms | gap %s / %s ms | CPU %s%% | CPU/frame %s ms%s | "
            "RSS %s MB%s") % (
        row["build"], row["scenario"], row["fps"], cell(row["work_p50_ms"], 2), cell(row["work_p99_ms"], 2),
        cell(row["work_max_ms"], 2), cell(row["gap_p50_ms"]), cell(row["gap_p99_ms"]), cell(row["cpu_pct"]),
        cell(row["cpu_ms_per_frame"], 2), floor, cell(row["peak_rss_mb"], 0), latency)


def run_switches(args, build, folder):
    """The game on a 1920x1080 screen, switched between its window and full screen
    SWITCHES times with F11, then resized SWITCHES times back to its first size:
    its resident memory after each, and whether the ship still shows its picture."""
    game = Game(args, os.path.join(folder, "game"), "", size=LARGE)
    rows = []

    def note(phase):
        rss = memory_mb(game.proc.pid, "VmRSS")
        rows.append({"build": build, "phase": phase, "rss_mb": rss,
                     "rss_change_mb": rss - rows[0]["rss_mb"] if rows else 0.0,
                     "textured_ship": "yes" if game.textured_ship() else "no"})

    try:
        time.sleep(args.warmup + 3.0)  # the first seconds still take memory of their own
        note("start")
        window = game.size()
        for i in range(SWITCHES):
            game.keys("key", "F11")
            if not game.wait_for_size(tuple(map(int, LARGE.split("x"))) if i % 2 == 0 else window):
                raise RuntimeError("F11 number %d left the window at %s, the game at %s" % (i + 1, game.size(),
                                                                                        game.video_mode()))
        time.sleep(0.5)
        note("after %d switches" % SWITCHES)
        for i in range(SWITCHES):  # sizes up to 1799x1002, the last the one it started at
            size = window if i == SWITCHES - 1 else (640 + 61 * (i % 20), 480 + 29 * (i % 19))
            game.xdotool("windowsize", str(game.window), *map(str, size))
            if not game.wait_for_size(size):
                raise RuntimeError("resize number %d left the window at %s, the game at %s" % (i + 1, game.size(),
                                                                                           game.video_mode()))
        time.sleep(0.5)
        note("after %d resizes" % SWITCHES)
    finally:
        game.close()
    return rows


def set_against_floors(rows):
    """Each scenario's CPU per frame and gap spread beside the empty frame's of its size."""
    floors = {row["size"]: row for row in rows if row["build"] == "floor"}
    for row in rows:
        floor = floors.get(row["size"])
        if floor and row is not floor:
            row["x_floor"] = row["cpu_ms_per_frame"] / floor["cpu_ms_per_frame"]
            row["floor_gap_p99_p50"] = floor["gap_p99_p50"]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--binary", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--floor", required=True, help="the empty-frame program")
    parser.add_argument("--out", required=True, help="output folder, under the build folder")
    parser.add_argument("--seconds", type=float, default=float(os.environ.get("BENCH_SECONDS", "6")))
    parser.add_argument("--warmup", type=float, default=1.0)
    parser.add_argument("--baseline", help="another game binary measured in the same run, for comparison")
    args = parser.parse_args()
    args.probe = os.path.abspath(args.probe)
    args.floor = os.path.abspath(args.floor)

    builds = [("current", args.binary)] + ([("baseline", args.baseline)] if args.baseline else [])
    out = OutputFolder(args.out, ["results.csv", "frames.csv", "frame_times.png", "switches.csv"])
    out.write_about(" ".join(["make bench", "BENCH_SECONDS=%g" % args.seconds] +
                             (["BENCH_BASELINE=" + args.baseline] if args.baseline else [])),
                    ["builds:    " + ", ".join("%s = %s" % b for b in builds)])
    builds = [(build, os.path.abspath(binary)) for build, binary in builds]
    rows, results = [], []
    for size, (name, arguments) in FLOORS.items():
        row, gaps = run_alone(args, "floor", name, "", os.path.join(out.runs, "floor-" + size), size,
                              [args.floor] + arguments)
        row.update(build="floor", scenario=name, size=size)
        out.say(row_line(row))
        rows.append(row)
        results.append(("floor", name, gaps))
    scenarios = [(scenario, SMALL) for scenario in ALONE + [PAIR, COMPUTER]]
    scenarios += [(scenario, LARGE) for scenario in LARGE_ALONE + [LARGE_COMPUTER]]
    for n, ((name, config), size) in enumerate(scenarios):
        for build, binary in builds if size == SMALL else builds[:1]:  # a baseline may know no full screen
            args.binary = binary
            here = os.path.join(out.runs, "%d-%s" % (n, build))
            if (name, config) == PAIR:
                row, gaps = run_pair(args, build, here)
            elif (name, config) in (COMPUTER, LARGE_COMPUTER):
                if not computer_beside(binary):
                    out.say("%-8s | %-44s | skipped: no starhold-bot beside %s" % (build, name, binary))
                    continue
                row, gaps = run_computer(args, build, here, (name, config), size)
            else:
                row, gaps = run_alone(args, build, name, config, here, size)
            row["size"] = size
            set_against_floors(rows + [row])
            out.say(row_line(row))
            rows.append(row)
            results.append((build, name, gaps))
    for build, _ in builds:
        line = compare(rows, build)
        if line:
            out.say(line)
    switches = run_switches(args, "current", os.path.join(out.runs, "switches"))
    for row in switches:
        out.say("%-8s | %-44s | RSS %.1f MB (%+.2f MB) | ship textured: %s" % (
            row["build"], row["phase"], row["rss_mb"], row["rss_change_mb"], row["textured_ship"]))
    out.write_csv("results.csv", COLUMNS, rows)
    out.write_csv("switches.csv", SWITCH_COLUMNS, switches)
    write_frames(out.file("frames.csv"), results)
    draw_frame_gaps(results, out.file("frame_times.png"), {COMPUTER[0]: PAIR[0]})
    out.say("wrote results.csv, switches.csv, frames.csv, frame_times.png and the games' logs (runs/) to " +
            out.path)
    out.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
