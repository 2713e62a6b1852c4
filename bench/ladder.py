#!/usr/bin/env python3
"""The computer's ladder: how its levels fare against each other and against a
random flier, how fast each clears a field alone, and what it costs in CPU.

Runs starhold-ladder (whole matches headless and in lockstep, each side hosting
half of them, then time trials alone), then two real starhold-bot processes
playing one match over 127.0.0.1 in real time while their CPU time is read from
/proc. Prints the tables and checks the targets, and writes to the output
folder: matches.csv and trials.csv (the ladder's rows), cpu.csv, ladder.png,
summary.txt, about.txt and runs/ with the bots' standard error."""

import argparse
import csv
import os
import socket
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ beside the sources: a run leaves the tree as it was

from output import OutputFolder  # noqa: E402
from plots import draw_ladder  # noqa: E402

# Each pairing's stronger side first, then the side a target is set for and the
# share of the matches it should win, from low to high. The beginner is there to
# be beaten by a newcomer: the random flier should beat it about half the time.
PAIRINGS = [("hard", "normal", "hard", 0.75, 1.0), ("normal", "easy", "normal", 0.75, 1.0),
            ("easy", "beginner", "easy", 0.75, 1.0), ("easy", "random", "easy", 0.90, 1.0),
            ("beginner", "random", "random", 0.30, 0.70)]
LEVELS = ["beginner", "easy", "normal", "hard"]
# Alone, each of these clears a field faster than the one before. The beginner
# is left out: its aim is so poor that it takes a field's last stars by chance.
TRIAL_ORDER = ["easy", "normal", "hard"]
CPU_TARGET_PCT = 2.0
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def read_rows(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def seconds_summary(values_ms):
    """Mean, min and max in seconds; NaN for no values."""
    if not values_ms:
        return float("nan"), float("nan"), float("nan")
    return statistics.mean(values_ms) / 1000.0, min(values_ms) / 1000.0, max(values_ms) / 1000.0


def pairing_figures(rows, first, second):
    played = [r for r in rows if {r["host"], r["guest"]} == {first, second}]
    return {
        "first": first, "second": second, "matches": len(played),
        "first_wins": sum(r["winner"] == first for r in played),
        "first_wins_hosting": sum(r["winner"] == first and r["host"] == first for r in played),
        "first_hosted": sum(r["host"] == first for r in played),
        "second_wins": sum(r["winner"] == second for r in played),
        "undecided": sum(r["winner"] == "none" for r in played),
        "won_ms": [int(r["length_ms"]) for r in played if r["winner"] == first],
        "lost_ms": [int(r["length_ms"]) for r in played if r["winner"] == second],
    }


def trial_figures(rows, level):
    times = [int(r["time_ms"]) for r in rows if r["level"] == level]
    return {"level": level, "trials": len(times), "cleared_ms": [t for t in times if t >= 0]}


# --- CPU share of two real bots -------------------------------------------------

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listening(port):
    """Whether a socket listens on the port, read from the kernel's table: a test
    connection would be taken by the bot as its opponent."""
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                next(f)
                for line in f:
                    fields = line.split()
                    if int(fields[1].rsplit(":", 1)[1], 16) == port and fields[3] == "0A":
                        return True
        except OSError:
            continue
    return False


def stat_fields(path):
    """The fields of a /proc stat file after the command name, or None once gone."""
    try:
        with open(path) as f:
            return f.read().rsplit(")", 1)[1].split()
    except (OSError, IndexError):
        return None


class CpuWatch:
    """One bot process: its CPU time (utime + stime) from /proc against wall time,
    for the whole process and per thread. The last reading is taken while the
    process is a zombie, before it is reaped, so it holds every thread's time."""

    def __init__(self, role, level, args, log_path):
        self.role, self.level = role, level
        self.log = open(log_path, "w")
        self.started = time.monotonic()
        self.proc = subprocess.Popen(args, stdout=self.log, stderr=subprocess.STDOUT)
        self.cpu = 0.0
        self.wall = 0.0
        self.threads = {}  # tid -> CPU seconds at its last reading
        self.done = False

    def read(self):
        if self.done:
            return
        fields = stat_fields("/proc/%d/stat" % self.proc.pid)
        if fields is None:
            self.done = True
            return
        self.wall = time.monotonic() - self.started
        self.cpu = (int(fields[11]) + int(fields[12])) / CLOCK_TICKS
        if fields[0] == "Z":
            self.done = True
            return
        try:
            tids = os.listdir("/proc/%d/task" % self.proc.pid)
        except OSError:
            return
        for tid in tids:
            thread = stat_fields("/proc/%d/task/%s/stat" % (self.proc.pid, tid))
            if thread is not None:
                self.threads[int(tid)] = (int(thread[11]) + int(thread[12])) / CLOCK_TICKS

    def row(self):
        main = self.threads.get(self.proc.pid, float("nan"))
        others = sum(cpu for tid, cpu in self.threads.items() if tid != self.proc.pid)
        share = lambda cpu: 100.0 * cpu / self.wall if self.wall > 0 else float("nan")  # noqa: E731
        return {"process": self.role, "level": self.level, "wall_s": self.wall, "cpu_s": self.cpu,
                "cpu_pct": share(self.cpu), "main_thread_pct": share(main),
                "other_threads_pct": share(others), "threads": len(self.threads),
                "exit": self.proc.returncode}

    def stop(self, grace):
        """Waits for the process, ending it if it outlives the grace period."""
        try:
            self.proc.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=3)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()


def measure_cpu(bot, levels, cap_seconds, runs):
    """One whole match between two bots over loopback, host --matches 1.
    Returns the two processes' rows and whether the match finished in time."""
    port = free_port()
    host = CpuWatch("host", levels[0], [bot, "--level", levels[0], "--matches", "1", "--listen", str(port)],
                    os.path.join(runs, "host.txt"))
    watches = [host]
    finished = False
    try:
        deadline = time.monotonic() + 10
        while not listening(port) and host.proc.poll() is None and time.monotonic() < deadline:
            time.sleep(0.05)
        if not listening(port):
            return [], False
        watches.append(CpuWatch("guest", levels[1], [bot, "--level", levels[1], "127.0.0.1", str(port)],
                                os.path.join(runs, "guest.txt")))
        deadline = time.monotonic() + cap_seconds
        while time.monotonic() < deadline and not all(w.done for w in watches):
            for w in watches:
                w.read()
            time.sleep(0.25)
        finished = all(w.done for w in watches)
    finally:
        for w in watches:
            w.read()
            w.stop(grace=0 if not finished else 5)
    return [w.row() for w in watches], finished and all(w.proc.returncode == 0 for w in watches)


# --- Printing ------------------------------------------------------------------

def pct(part, whole):
    return 100.0 * part / whole if whole else float("nan")


def fmt(value, digits=1):
    return "-" if value != value else "%.*f" % (digits, value)


def say_tables(out, pairings, trials, cpu_rows, cpu_finished, cap):
    out.say("Matches (each side hosts half; lengths of decided matches, in seconds)")
    out.say("%-18s %7s  %-16s %-16s %-12s %9s  %s" % ("pairing", "matches", "first side wins", "won as host",
                                                     "second wins", "undecided", "length mean / min / max (s)"))
    for p in pairings:
        out.say("%-18s %7d  %-16s %-16s %-12s %9d  %s / %s / %s" % (
            "%s vs %s" % (p["first"], p["second"]), p["matches"],
            "%d (%.0f%%)" % (p["first_wins"], pct(p["first_wins"], p["matches"])),
            "%d of %d" % (p["first_wins_hosting"], p["first_hosted"]),
            "%d (%.0f%%)" % (p["second_wins"], pct(p["second_wins"], p["matches"])), p["undecided"],
            *(fmt(v) for v in seconds_summary(p["won_ms"] + p["lost_ms"]))))
    out.say("")
    out.say("Time trials alone on the default field (time to take every star, in seconds)")
    out.say("%-8s %7s %8s  %s" % ("level", "trials", "cleared", "mean / min / max (s)"))
    for t in trials:
        out.say("%-8s %7d %8d  %s / %s / %s" % (t["level"], t["trials"], len(t["cleared_ms"]),
                                                *(fmt(v) for v in seconds_summary(t["cleared_ms"]))))
    out.say("")
    out.say("CPU share of two starhold-bot processes playing one match over 127.0.0.1 in real time"
            " (% of one core, utime + stime from /proc)")
    if not cpu_rows:
        out.say("  not measured: the host bot did not start listening")
        return
    if not cpu_finished:
        out.say("  the match did not finish cleanly within %d s; the figures cover what was played" % cap)
    out.say("%-6s %-7s %7s %6s %6s  %-14s %-16s %s" % ("bot", "level", "wall s", "CPU s", "CPU %", "main thread %",
                                                     "other threads %", "other threads"))
    for r in cpu_rows:
        out.say("%-6s %-7s %7.1f %6.2f %6.2f  %-14s %-16s %d" % (
            r["process"], r["level"], r["wall_s"], r["cpu_s"], r["cpu_pct"], fmt(r["main_thread_pct"], 2),
            fmt(r["other_threads_pct"], 2), r["threads"] - 1))


def check_targets(out, pairings, trials, cpu_rows):
    """One line per target, saying plainly whether it is met."""
    results = []
    for p, (_, _, side, low, high) in zip(pairings, PAIRINGS):
        wins = p["first_wins"] if side == p["first"] else p["second_wins"]
        beaten = p["second"] if side == p["first"] else p["first"]
        got = pct(wins, p["matches"]) / 100.0
        share = "at least %.0f%%" % (low * 100) if high >= 1.0 else "%.0f%% to %.0f%%" % (low * 100, high * 100)
        results.append(("%s beats %s in %s of matches" % (side, beaten, share),
                        p["matches"] > 0 and low <= got <= high,
                        "%d of %d (%.0f%%)" % (wins, p["matches"], got * 100)))
    means = {t["level"]: seconds_summary(t["cleared_ms"])[0] for t in trials}
    ordered = [t for t in trials if t["level"] in TRIAL_ORDER]
    complete = all(len(t["cleared_ms"]) == t["trials"] > 0 for t in ordered)
    fastest_last = all(means[a] > means[b] for a, b in zip(TRIAL_ORDER, TRIAL_ORDER[1:]))
    results.append(("alone, hard clears faster than normal, normal faster than easy (mean time)",
                    complete and fastest_last,
                    "hard %s s, normal %s s, easy %s s%s" % (fmt(means["hard"]), fmt(means["normal"]),
                                                             fmt(means["easy"]),
                                                             "" if complete else "; not every trial cleared")))
    shares = [r["cpu_pct"] for r in cpu_rows]
    results.append(("the computer uses at most %g%% of a core while it plays" % CPU_TARGET_PCT,
                    bool(shares) and max(shares) <= CPU_TARGET_PCT,
                    ", ".join("%s %.2f%%" % (r["process"], r["cpu_pct"]) for r in cpu_rows) or "not measured"))
    return out.say_targets(results)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--ladder", required=True, help="the starhold-ladder program")
    parser.add_argument("--bot", required=True, help="the starhold-bot program")
    parser.add_argument("--out", required=True, help="output folder, under the build folder")
    parser.add_argument("--matches", type=int, default=int(os.environ.get("LADDER_MATCHES", "20")),
                        help="matches per pairing")
    parser.add_argument("--trials", type=int, default=int(os.environ.get("LADDER_TRIALS", "20")),
                        help="time trials per level")
    parser.add_argument("--cpu-levels", default="hard,normal", help="the two bots' levels, host first")
    parser.add_argument("--cpu-cap", type=float, default=300.0, help="longest wait for the real-time match (s)")
    args = parser.parse_args()
    levels = args.cpu_levels.split(",")
    if len(levels) != 2:
        parser.error("--cpu-levels takes two levels, host first")

    out = OutputFolder(args.out, ["matches.csv", "trials.csv", "cpu.csv", "ladder.png"])
    out.write_about("make ladder LADDER_MATCHES=%d LADDER_TRIALS=%d" % (args.matches, args.trials),
                    ["real-time match: host %s, guest %s" % tuple(levels)])
    started = time.monotonic()
    ladder = subprocess.run([os.path.abspath(args.ladder), str(args.matches), str(args.trials),
                             out.file("matches.csv"), out.file("trials.csv")])
    if ladder.returncode != 0:
        out.say("starhold-ladder failed (exit status %d); its rows so far are in %s" % (ladder.returncode, out.path))
        out.close()
        return 1
    out.say("starhold-ladder: %d matches per pairing and %d trials per level in %.0f s" % (
        args.matches, args.trials, time.monotonic() - started))
    out.say("")
    matches, trial_rows = read_rows(out.file("matches.csv")), read_rows(out.file("trials.csv"))
    pairings = [pairing_figures(matches, first, second) for first, second, *_ in PAIRINGS]
    trials = [trial_figures(trial_rows, level) for level in LEVELS]

    cpu_rows, cpu_finished = measure_cpu(os.path.abspath(args.bot), levels, args.cpu_cap, out.runs)
    out.write_csv("cpu.csv", ["process", "level", "wall_s", "cpu_s", "cpu_pct", "main_thread_pct",
                              "other_threads_pct", "threads", "exit"], cpu_rows)
    say_tables(out, pairings, trials, cpu_rows, cpu_finished, args.cpu_cap)
    check_targets(out, pairings, trials, cpu_rows)
    draw_ladder(pairings, trials, cpu_rows, CPU_TARGET_PCT, out.file("ladder.png"))
    out.say("")
    out.say("wrote matches.csv, trials.csv, cpu.csv, ladder.png and the bots' output (runs/) to " +
            os.path.relpath(out.path))
    out.close()
    return 0 if cpu_rows else 1


if __name__ == "__main__":
    sys.exit(main())
