#!/usr/bin/env python3
"""The network benchmark: one match as both screens show it over a slow link.

Runs starhold-netbench, which has the computer's pilots (hard hosting, normal
joining) play whole matches in one process over the simulated link at 0, 50,
100 and 250 ms each way (jitter a fifth of the delay, 2% of segments held up)
and through a 10 s and a 20 s outage at 50 ms, measuring each step from outside.
Prints the tables, checks the targets, and writes to the output folder:
results.csv (one row per scenario), distributions.csv (percentiles of the ship
errors and capture delays), outages.csv (how long each side had heard nothing,
around each outage), netbench.png, summary.txt and about.txt."""

import argparse
import csv
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ beside the sources: a run leaves the tree as it was

from output import OutputFolder  # noqa: E402
from plots import draw_netbench  # noqa: E402

SHIP_DELAY_MS = 100  # the delay the ship targets are set at
SHIP_P50, SHIP_P99 = 0.3, 1.5  # units; the capture radius is 1.5
SILENT_SHOWN_MS, GIVEN_UP_MS = 2100, 15100


def read_rows(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def number(row, key):
    return float(row[key])


def delay_rows(rows):
    return [r for r in rows if int(r["outage_ms"]) == 0]


def outage_row(rows, length_ms):
    return next((r for r in rows if int(r["outage_ms"]) == length_ms), None)


def ms(value):
    """A time in ms, '-' for none (written as -1)."""
    return "-" if float(value) < 0 else "%d" % float(value)


def say_tables(out, rows):
    out.say("Owners on the two screens, the host's count and captures (per scenario; star-s per minute of play)")
    out.say("%-20s %6s %8s %9s %10s %8s %9s  %-18s %s" % (
        "scenario", "play s", "disagree", "beyond", "allowance", "longest", "host off", "capture p50/p99/max",
        "captures (unseen)"))
    for r in rows:
        out.say("%-20s %6.0f %8.2f %9.3f %8s ms %5s ms %7s ms  %-18s %s (%s)" % (
            r["scenario"], number(r, "play_s"), number(r, "disagree_star_s_per_min"),
            number(r, "beyond_star_s_per_min"), r["allowance_ms"], ms(r["longest_after_capture_ms"]),
            r["host_count_off_ms"], "%s / %s / %s" % (ms(r["capture_p50_ms"]), ms(r["capture_p99_ms"]),
                                                      ms(r["capture_max_ms"])),
            r["captures"], r["captures_unseen"]))
    out.say("")
    out.say("The other ship: where each side draws it against where it is (units; jumps beyond its speed + 0.2)")
    out.say("%-20s %-26s %-26s %s" % ("scenario", "host's view p50 / p99 (jumps)", "guest's view p50 / p99 (jumps)",
                                       "largest jump beyond speed"))
    for r in rows:
        out.say("%-20s %-29s %-30s %.2f" % (
            r["scenario"], "%.2f / %.2f (%s)" % (number(r, "host_view_p50"), number(r, "host_view_p99"),
                                                 r["host_view_jumps"]),
            "%.2f / %.2f (%s)" % (number(r, "guest_view_p50"), number(r, "guest_view_p99"), r["guest_view_jumps"]),
            number(r, "largest_jump_excess")))
    out.say("")
    out.say("Silent links (ms after each side last heard the other; '-' never)")
    out.say("%-20s %-22s %-22s %-8s %s" % ("scenario", "shown host / guest", "given up host / guest", "went on",
                                           "owners agree again after"))
    for r in rows:
        if int(r["outage_ms"]) == 0 and r["host_silent_notices"] == r["guest_silent_notices"] == "0":
            continue
        out.say("%-20s %-22s %-22s %-8s %s" % (
            r["scenario"], "%s / %s" % (ms(r["host_silent_shown_ms"]), ms(r["guest_silent_shown_ms"])),
            "%s / %s" % (ms(r["host_lost_ms"]), ms(r["guest_lost_ms"])), "yes" if r["went_on"] == "1" else "no",
            ms(r["recovered_ms"]) + " ms"))


def check_targets(out, rows):
    """One line per target, saying plainly whether it is met."""
    results = []
    off = [(r["scenario"], int(r["host_count_off_ms"])) for r in rows]
    results.append(("the host's count never differs from its field", all(v == 0 for _, v in off),
                    ", ".join("%s %d ms" % pair for pair in off)))
    beyond = [(r["scenario"], number(r, "beyond_star_s_per_min"), r["longest_after_capture_ms"],
               r["allowance_ms"]) for r in rows]
    results.append(("no star's owners differ beyond a round trip + 100 ms after its last capture",
                    all(b == 0 for _, b, _, _ in beyond),
                    "; ".join("%s %.3f star-s/min (longest %s of %s ms)" % row for row in beyond)))
    ship = next((r for r in delay_rows(rows) if int(r["delay_ms"]) == SHIP_DELAY_MS), None)
    if ship:
        views = [(view, number(ship, view + "_view_p50"), number(ship, view + "_view_p99"),
                  int(ship[view + "_view_jumps"])) for view in ("host", "guest")]
        results.append(("at %d ms the other ship's error: median <= %g, p99 <= %g units, no jump" % (
            SHIP_DELAY_MS, SHIP_P50, SHIP_P99),
            all(p50 <= SHIP_P50 and p99 <= SHIP_P99 and jumps == 0 for _, p50, p99, jumps in views),
            "; ".join("%s's view %.2f / %.2f, %d jumps" % view for view in views)))
    for length, gives_up in ((10000, False), (20000, True)):
        r = outage_row(rows, length)
        if not r:
            continue
        shown = [float(r[side + "_silent_shown_ms"]) for side in ("host", "guest")]
        lost = [float(r[side + "_lost_ms"]) for side in ("host", "guest")]
        met = all(0 <= s <= SILENT_SHOWN_MS for s in shown)
        met = met and (all(0 <= v <= GIVEN_UP_MS for v in lost) if gives_up else
                       r["went_on"] == "1" and float(r["recovered_ms"]) >= 0)
        what = "given up within %d ms" % GIVEN_UP_MS if gives_up else "the match goes on, the screens agree again"
        results.append(("a %d s outage: shown within %d ms, %s" % (length // 1000, SILENT_SHOWN_MS, what), met,
                        "shown %s / %s ms, given up %s / %s ms (host / guest), went on: %s, agree after %s ms" % (
                            ms(shown[0]), ms(shown[1]), ms(lost[0]), ms(lost[1]),
                            "yes" if r["went_on"] == "1" else "no", ms(r["recovered_ms"]))))
    return out.say_targets(results)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--netbench", required=True, help="the starhold-netbench program")
    parser.add_argument("--out", required=True, help="output folder, under the build folder")
    parser.add_argument("--matches", type=int, default=int(os.environ.get("NETBENCH_MATCHES", "3")),
                        help="matches per delay")
    args = parser.parse_args()

    out = OutputFolder(args.out, ["results.csv", "distributions.csv", "outages.csv", "netbench.png"])
    out.write_about("make netbench NETBENCH_MATCHES=%d" % args.matches,
                    ["pilots: hard hosting, normal joining; the simulated link, in lockstep on the match's clock"])
    started = time.monotonic()
    paths = [out.file(name) for name in ("results.csv", "distributions.csv", "outages.csv")]
    run = subprocess.run([os.path.abspath(args.netbench), str(args.matches)] + paths)
    if run.returncode != 0:
        out.say("starhold-netbench failed (exit status %d); its rows so far are in %s" % (run.returncode, out.path))
        out.close()
        return 1
    rows = read_rows(paths[0])
    out.say("starhold-netbench: %d scenarios, %.0f minutes of play in %.0f s" % (
        len(rows), sum(number(r, "play_s") for r in rows) / 60.0, time.monotonic() - started))
    out.say("")
    say_tables(out, rows)
    check_targets(out, rows)
    draw_netbench(rows, read_rows(paths[1]), read_rows(paths[2]), (SILENT_SHOWN_MS, GIVEN_UP_MS),
                  (SHIP_P50, SHIP_P99), out.file("netbench.png"))
    out.say("")
    out.say("wrote results.csv, distributions.csv, outages.csv and netbench.png to " + os.path.relpath(out.path))
    out.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
