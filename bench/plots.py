#!/usr/bin/env python3
"""The benchmark's frame-time plot, drawn with matplotlib.

Run on its own it redraws the plot of an earlier run from that run's frames.csv:
    python3 bench/plots.py build/bench
"""

import csv
import math
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (the backend has to be chosen first)
from matplotlib.ticker import FuncFormatter  # noqa: E402

BIN_MS = 0.5
COLOURS = ["#1f6fd0", "#d06a1f", "#2a9d3a", "#8a2ad0"]


def percentile(values, p):
    """Nearest-rank percentile; NaN for no values."""
    if not values:
        return float("nan")
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100.0 * (len(ordered) - 1))))]


def _in_order(items):
    seen = []
    for item in items:
        if item not in seen:
            seen.append(item)
    return seen


def draw_frame_gaps(results, path):
    """One panel per scenario: how many frames came each gap after the one
    before, every build in its own colour. The count axis is logarithmic and
    the gap axis runs to the longest gap, so single long frames stay visible."""
    scenarios = _in_order(name for _, name, _ in results)
    builds = _in_order(build for build, _, _ in results)
    columns = 2 if len(scenarios) > 1 else 1
    rows = math.ceil(len(scenarios) / columns)
    figure, axes = plt.subplots(rows, columns, figsize=(6.4 * columns, 4.2 * rows), squeeze=False)
    for panel, name in zip(axes.flat, scenarios):
        runs = [(build, gaps) for build in builds for b, n, gaps in results if b == build and n == name]
        longest = max((max(gaps) for _, gaps in runs if gaps), default=0.0)
        top = max(30.0, BIN_MS * math.ceil(longest * 1.04 / BIN_MS + 1))
        edges = [BIN_MS * i for i in range(int(round(top / BIN_MS)) + 1)]
        for build, gaps in runs:
            if not gaps:
                continue
            colour = COLOURS[builds.index(build) % len(COLOURS)]
            label = "%s: %d frames\np50 %.1f, p99 %.1f, max %.1f ms" % (
                build, len(gaps) + 1, percentile(gaps, 50), percentile(gaps, 99), max(gaps))
            panel.hist(gaps, bins=edges, histtype="step", linewidth=1.4, color=colour, label=label)
            panel.axvline(max(gaps), color=colour, linestyle=":", linewidth=1)
        panel.set_yscale("log")
        panel.yaxis.set_major_formatter(FuncFormatter(lambda value, _: "%g" % value))
        panel.set_ylim(bottom=0.7)
        panel.set_xlim(0, top)
        panel.set_title(name)
        panel.set_xlabel("gap between consecutive frames (ms)")
        panel.set_ylabel("frames per %.1f ms bin (log scale)" % BIN_MS)
        panel.grid(True, which="major", alpha=0.3)
        panel.legend(loc="upper right", fontsize="small")
    for panel in list(axes.flat)[len(scenarios):]:
        panel.set_visible(False)
    figure.suptitle("Frame pacing: gaps between buffer swaps (dotted line: the longest gap)")
    figure.tight_layout()
    figure.savefig(path, dpi=100)
    plt.close(figure)


def write_frames(path, results):
    with open(path, "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["build", "scenario", "gap_ms"])
        for build, name, gaps in results:
            for gap in gaps:
                writer.writerow([build, name, "%.3f" % gap])


def read_frames(path):
    results = {}
    with open(path, newline="") as f:
        for row in csv.DictReader(f):
            results.setdefault((row["build"], row["scenario"]), []).append(float(row["gap_ms"]))
    return [(build, name, gaps) for (build, name), gaps in results.items()]


def main():
    if len(sys.argv) != 2:
        print("usage: plots.py OUTPUT_FOLDER  (redraws frame_times.png from frames.csv)", file=sys.stderr)
        return 2
    folder = sys.argv[1]
    draw_frame_gaps(read_frames(os.path.join(folder, "frames.csv")), os.path.join(folder, "frame_times.png"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
