"""Where a measuring target puts what it makes.

Each target owns one folder under the build folder (build/bench for
`make bench`, build/ladder for the ladder) and never writes into the work tree:
  *.csv         the measured rows (the bench: results.csv, one per scenario;
                the ladder: matches.csv, trials.csv and cpu.csv)
  *.png         the plots
  summary.txt   the lines printed during the run
  about.txt     when, where and from which commit the run was made
  runs/         each case's working folder, with the game's logs, kept for a look
A copy meant to be committed is taken by hand from that folder into docs/<target>/.
"""

import csv
import datetime
import os
import platform
import shutil
import subprocess


def _command_output(args):
    try:
        return subprocess.run(args, capture_output=True, text=True, timeout=10).stdout.strip()
    except (OSError, subprocess.SubprocessError):
        return ""


def _cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


class OutputFolder:
    """One run's output folder. Opening it removes what the previous run left
    there under the given names, so a failed run leaves no stale figures."""

    def __init__(self, path, outputs):
        self.path = os.path.abspath(path)
        os.makedirs(path, exist_ok=True)
        for name in list(outputs) + ["summary.txt", "about.txt"]:
            if os.path.exists(self.file(name)):
                os.remove(self.file(name))
        self.runs = os.path.join(self.path, "runs")
        shutil.rmtree(self.runs, ignore_errors=True)
        os.makedirs(self.runs)
        self._summary = open(os.path.join(path, "summary.txt"), "w")

    def file(self, name):
        return os.path.join(self.path, name)

    def say(self, line):
        print(line, flush=True)
        self._summary.write(line + "\n")
        self._summary.flush()

    def say_targets(self, results):
        """Says for each target, given as (text, met, figures), plainly whether it is met; whether all are."""
        self.say("")
        self.say("Targets")
        for text, met, figures in results:
            self.say("  %-7s %s: %s" % ("met" if met else "NOT MET", text, figures))
        return all(met for _, met, _ in results)

    def write_csv(self, name, columns, rows):
        """Rows are dicts; floats are rounded to three places, missing cells left empty."""
        with open(self.file(name), "w", newline="") as f:
            writer = csv.DictWriter(f, fieldnames=columns, extrasaction="ignore")
            writer.writeheader()
            for row in rows:
                writer.writerow({k: (round(v, 3) if isinstance(v, float) else v) for k, v in row.items()})

    def write_about(self, command, notes=()):
        commit = _command_output(["git", "describe", "--always", "--dirty"]) or "unknown"
        with open("/proc/loadavg") as f:
            load = " ".join(f.read().split()[:3])
        mesa = _command_output(["dpkg-query", "-W", "-f=${Version}", "libgl1-mesa-dri"]) or "unknown"
        lines = [
            "made by:   " + command,
            "date:      " + datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z"),
            "commit:    " + commit,
            "machine:   %s, %d cores, %s" % (_cpu_model(), os.cpu_count() or 0, platform.platform()),
            "Mesa:      " + mesa,
            "load avg:  " + load + " (at the start)",
        ]
        with open(self.file("about.txt"), "w") as f:
            f.write("\n".join(lines + list(notes)) + "\n")

    def close(self):
        self._summary.close()
