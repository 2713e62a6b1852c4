#!/usr/bin/env python3
"""The measuring targets' plots, drawn with matplotlib: the benchmark's frame
times, the ladder's match lengths, trial times and CPU shares, and the network
benchmark's owners, ship errors, capture delays and silent links.

Run on its own it redraws the frame-time plot of an earlier bench run from that
run's frames.csv:
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


def draw_frame_gaps(results, path, references=None):
    """One panel per scenario: how many frames came each gap after the one
    before, every build in its own colour. The count axis is logarithmic and
    the gap axis runs to the longest gap, so single long frames stay visible.
    references maps a scenario to another whose first build is drawn beneath it
    in grey, for comparison."""
    references = references or {}
    scenarios = _in_order(name for _, name, _ in results)
    builds = _in_order(build for build, _, _ in results)
    columns = 2 if len(scenarios) > 1 else 1
    rows = math.ceil(len(scenarios) / columns)
    figure, axes = plt.subplots(rows, columns, figsize=(6.4 * columns, 4.2 * rows), squeeze=False)
    for panel, name in zip(axes.flat, scenarios):
        runs = [(build, gaps) for build in builds for b, n, gaps in results if b == build and n == name]
        beneath = [(b, gaps) for b, n, gaps in results if n == references.get(name) and b == builds[0] and gaps]
        longest = max((max(gaps) for _, gaps in runs + beneath if gaps), default=0.0)
        top = max(30.0, BIN_MS * math.ceil(longest * 1.04 / BIN_MS + 1))
        edges = [BIN_MS * i for i in range(int(round(top / BIN_MS)) + 1)]
        for build, gaps in beneath:
            label = "%s, %s: %d frames\np50 %.1f, p99 %.1f, max %.1f ms" % (
                references[name], build, len(gaps) + 1, percentile(gaps, 50), percentile(gaps, 99), max(gaps))
            panel.hist(gaps, bins=edges, histtype="stepfilled", color="#bbbbbb", alpha=0.6, label=label)
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
    figure.tight_layout(rect=(0, 0, 1, 1 - 0.3 / figure.get_figheight()))  # room for the title above the panels
    figure.savefig(path, dpi=100)
    plt.close(figure)


def _spread(count, width=0.22):
    """Fixed sideways offsets that keep a strip of points from hiding each other."""
    return [width * (((i * 0.618034) % 1.0) * 2.0 - 1.0) for i in range(count)]


def _strip(panel, groups, labels, colours):
    """A box per group with every value drawn over it as a point; colours holds
    one colour per group, or per value as a list."""
    positions = list(range(1, len(groups) + 1))
    filled = [(x, g) for x, g in zip(positions, groups) if g]
    if filled:
        panel.boxplot([g for _, g in filled], positions=[x for x, _ in filled], widths=0.55, whis=(0, 100),
                      medianprops={"color": "black"}, boxprops={"color": "#555555"})
    for x, values, colour in zip(positions, groups, colours):
        panel.scatter([x + dx for dx in _spread(len(values))], values, s=14, c=colour, alpha=0.75, zorder=3)
    panel.set_xticks(positions)
    panel.set_xticklabels(labels)
    panel.set_xlim(0.4, len(groups) + 0.6)
    panel.set_ylim(bottom=0)
    panel.grid(True, axis="y", alpha=0.3)


def draw_ladder(pairings, trials, cpu_rows, cpu_target, path):
    """Three panels: the length of every decided match per pairing, coloured by
    its winner; every time trial's time per level; and each bot process's CPU
    share against the target."""
    figure, (matches, alone, cpu) = plt.subplots(1, 3, figsize=(18, 5.4),
                                                 gridspec_kw={"width_ratios": [5, 3, 2]})
    _strip(matches, [[ms / 1000.0 for ms in p["won_ms"] + p["lost_ms"]] for p in pairings],
           ["%s vs %s\n%s won %d of %d%s" % (p["first"], p["second"], p["first"], p["first_wins"], p["matches"],
                                              "\n%d undecided" % p["undecided"] if p["undecided"] else "")
            for p in pairings],
           [[COLOURS[0]] * len(p["won_ms"]) + [COLOURS[1]] * len(p["lost_ms"]) for p in pairings])
    matches.scatter([], [], s=14, color=COLOURS[0], label="won by the first named")
    matches.scatter([], [], s=14, color=COLOURS[1], label="won by the second named")
    matches.legend(loc="lower right", fontsize="small")
    matches.set_title("Matches between levels (each side hosting half)")
    matches.set_ylabel("match length (s)")
    matches.set_xlabel("pairing: who won how many")

    _strip(alone, [[ms / 1000.0 for ms in t["cleared_ms"]] for t in trials],
           ["%s\nmean %.0f s" % (t["level"], sum(t["cleared_ms"]) / 1000.0 / len(t["cleared_ms"]))
            if t["cleared_ms"] else t["level"] + "\nnone cleared" for t in trials], [COLOURS[2]] * len(trials))
    alone.set_title("Time trials alone on the default field")
    alone.set_ylabel("time to take every star (s)")
    alone.set_xlabel("level")

    names = ["%s bot\n(%s)" % (r["process"], r["level"]) for r in cpu_rows]
    main = [r["main_thread_pct"] for r in cpu_rows]
    others = [r["other_threads_pct"] for r in cpu_rows]
    cpu.bar(names, main, color=COLOURS[0], width=0.5, label="main thread")
    cpu.bar(names, others, bottom=main, color=COLOURS[1], width=0.5, label="other threads")
    for x, r in enumerate(cpu_rows):
        cpu.annotate("%.2f%%" % r["cpu_pct"], (x, r["cpu_pct"]), textcoords="offset points", xytext=(0, 4),
                     ha="center")
    cpu.axhline(cpu_target, color="#c02020", linestyle="--", linewidth=1.2, label="target: %g%%" % cpu_target)
    cpu.set_ylim(0, max([cpu_target] + [r["cpu_pct"] for r in cpu_rows]) * 1.3)
    cpu.set_xlim(-0.6, max(1, len(cpu_rows)) - 0.4)
    cpu.set_title("CPU of two bots in a real-time match")
    cpu.set_ylabel("share of one core (%)")
    cpu.set_xlabel("process (level)")
    cpu.grid(True, axis="y", alpha=0.3)
    cpu.legend(loc="upper right", fontsize="small")

    figure.suptitle("The computer's ladder")
    figure.tight_layout()
    figure.savefig(path, dpi=100)
    plt.close(figure)


def _cdf(panel, values, percent, **style):
    """A distribution given as its percentiles: the share of samples at or below each value."""
    panel.plot(values, [p / 100.0 for p in percent], **style)


def _cdf_axes(panel, title, xlabel, ylabel, legend):
    panel.set_xscale("log")
    panel.set_title(title)
    panel.set_xlabel(xlabel)
    panel.set_ylabel(ylabel)
    panel.grid(True, which="both", alpha=0.3)
    panel.legend(**legend)


def draw_netbench(rows, spread, timeline, silence_limits, ship_limits, path):
    """Four panels: owner disagreement per scenario (all of it, and the part
    beyond the allowance after a capture); where each side draws the other ship
    against where it is; how long a capture takes to show on the other screen;
    and, around each outage, how long each side has heard nothing."""
    figure, ((owners, ships), (captures, silence)) = plt.subplots(2, 2, figsize=(14, 10))
    palette = COLOURS + ["#c02020", "#666666"]
    names = [r["scenario"] for r in rows]
    xs = list(range(len(names)))
    raw = [float(r["disagree_star_s_per_min"]) for r in rows]
    beyond = [float(r["beyond_star_s_per_min"]) for r in rows]
    owners.bar([x - 0.2 for x in xs], raw, width=0.4, color=COLOURS[0], label="all disagreement")
    owners.bar([x + 0.2 for x in xs], beyond, width=0.4, color=COLOURS[1],
               label="beyond a round trip + 100 ms after the star's last capture")
    for x, value in zip(xs, beyond):
        owners.annotate("%.2f" % value, (x + 0.2, value), textcoords="offset points", xytext=(0, 3), ha="center",
                        fontsize="small")
    owners.set_xticks(xs)
    owners.set_xticklabels([n.replace(" + ", "\n+ ") for n in names], fontsize="small")
    owners.set_title("Stars shown with different owners on the two screens")
    owners.set_xlabel("link (delay each way)")
    owners.set_ylabel("star-seconds per minute of play")
    owners.set_ylim(0, max(raw + [0.1]) * 1.35)
    owners.grid(True, axis="y", alpha=0.3)
    owners.legend(loc="upper left", fontsize="small")

    def distribution(scenario, measure):
        points = [(float(r["percentile"]), float(r["value"])) for r in spread
                  if r["scenario"] == scenario and r["measure"] == measure]
        return [v for _, v in points], [p for p, _ in points]

    for i, name in enumerate(names):
        colour = palette[i % len(palette)]
        for measure, dash, whose in (("guest_view", "-", "the guest's screen"), ("host_view", ":", "the host's")):
            values, percent = distribution(name, measure)
            if values:
                _cdf(ships, values, percent, color=colour, linestyle=dash, label="%s: %s" % (name, whose))
        values, percent = distribution(name, "capture_delay")
        if values:
            _cdf(captures, values, percent, color=colour, label=name)
    for limit, text in zip(ship_limits, ("median target", "99th percentile target")):
        ships.axvline(limit, color="#c02020", linestyle="--", linewidth=1)
        ships.annotate(text, (limit, 0.02), rotation=90, fontsize="x-small", color="#c02020",
                       textcoords="offset points", xytext=(3, 0))
    _cdf_axes(ships, "Where each side draws the other ship, against where it is",
              "distance, the shortest way across the faces (units, log scale)", "share of frames at or below",
              {"loc": "upper left", "fontsize": "x-small"})
    _cdf_axes(captures, "From a capture to the other screen showing it", "delay (ms, log scale)",
              "share of captures at or below", {"loc": "lower right", "fontsize": "small"})

    scenarios = _in_order(r["scenario"] for r in timeline)
    for i, name in enumerate(scenarios):
        points = [r for r in timeline if r["scenario"] == name]
        t = [float(r["ms_after_outage_start"]) / 1000.0 for r in points]
        for side, dash in (("host", "-"), ("guest", ":")):
            heard = [float(r[side + "_silent_ms"]) / 1000.0 for r in points]
            silence.plot(t, [h if h >= 0 else float("nan") for h in heard], color=palette[(i + 4) % len(palette)],
                         linestyle=dash, label="%s: %s" % (name, side))
    for limit, text in zip(silence_limits, ("shown by", "given up by")):
        silence.axhline(limit / 1000.0, color="#c02020", linestyle="--", linewidth=1)
        silence.annotate("%s %.1f s" % (text, limit / 1000.0), (0, limit / 1000.0), fontsize="x-small",
                         color="#c02020", textcoords="offset points", xytext=(2, 3))
    silence.set_title("Outages: silence on each side (a line ends when the link is given up)")
    silence.set_xlabel("time since the outage began (s)")
    silence.set_ylabel("time since the other side was last heard (s)")
    silence.grid(True, alpha=0.3)
    if scenarios:
        silence.legend(loc="center right", fontsize="small")

    figure.suptitle("One match on two screens over a slow link (hard hosting, normal joining)")
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
    draw_frame_gaps(read_frames(os.path.join(folder, "frames.csv")), os.path.join(folder, "frame_times.png"),
                    {"against the computer": "pair over loopback"})  # as run_bench.py draws it
    return 0


if __name__ == "__main__":
    sys.exit(main())
