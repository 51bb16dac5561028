#!/usr/bin/env python3
"""The real-kernel nights' figures from a results folder of scripts/vm-test,
which keeps its last run's in ${HUSHMOOR_VM_CACHE:-~/.cache/hushmoor-vm}/last-run:
each night's times (CLOCK_MONOTONIC), their median and worst, the open fds and
VmRSS of the one Hushmoor after night 5 and the last, and the reconnection
after the wake with Hushmoor and with NetworkManager alone, side by side. The
results are read by the judge's own functions (scripts/vm/judge.py); this
judges nothing.
    python3 bench/vm/figures.py RESULTS"""
import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts" / "vm"))
import judge  # noqa: E402

FIGURES = [("announce → block", "announce", "block"), ("block → S3 entry", "block", "entry"),
           ("S3 exit → unblock", "exit", "unblock"), ("logind's wake → unblock", "finished", "unblock")]
LINK = [("S3 exit → associated", "exit", "associated"), ("S3 exit → first packet", "exit", "reply")]


def line(label, values):
    return f"    {label:28} {statistics.median(values):7.0f} ms / {max(values):7.0f} ms"


def report(title, kind, with_link, hushmoor=True):
    """Each night's times and their median / worst; returns the nights with all of them."""
    nights = judge.series(kind, with_link)
    figures = (FIGURES if hushmoor else []) + (LINK if with_link else [])
    print(f"{title} ({len(nights)} nights{', SleepDelay 1' if hushmoor else ''}):")
    done = []
    for n in nights:
        if n is None or n["entry"] is None:
            continue
        print(f"  {n['name']:14} " + ", ".join(f"{label} {judge.ms(n[a], n[b]):.0f} ms" for label, a, b in figures
                                              if judge.ms(n[a], n[b]) is not None))
        if all(judge.ms(n[a], n[b]) is not None for _, a, b in figures):
            done.append(n)
    if done and hushmoor and all(n["thawed"] is not None for n in done):
        figures += [("S3 exit → user.slice thawed", "exit", "thawed"), ("thawed → logind's wake", "thawed", "finished")]
    if done:
        print(f"  median / worst over {len(done)}:")
        for label, a, b in figures:
            print(line(label, [judge.ms(n[a], n[b]) for n in done]))
    counts = judge.proc_counts() if hushmoor and not with_link else None
    if counts:
        (a, fds_a, rss_a), (b, fds_b, rss_b) = counts
        print(f"  open fds after {a} / {b}: {fds_a} / {fds_b}; VmRSS {rss_a} / {rss_b} kB")
    return done


def side_by_side(hushmoor, alone):
    """The reconnection with Hushmoor against NetworkManager alone, and the goal:
    Hushmoor adds at most 10 % or 300 ms, whichever is larger (on the medians)."""
    if not hushmoor or not alone:
        return print("The reconnection: not enough nights of both kinds")
    print(f"The reconnection after the wake, median / worst ({len(hushmoor)} nights with Hushmoor, {len(alone)} alone):")
    print(f"    {'':24} {'with Hushmoor':>17} {'NetworkManager alone':>22} {'Hushmoor adds':>19}")
    for label, a, b in LINK:
        h, m = ([judge.ms(n[a], n[b]) for n in nights] for nights in (hushmoor, alone))
        added = statistics.median(h) - statistics.median(m), max(h) - max(m)
        allowed = max(0.1 * statistics.median(m), 300)
        print(f"    {label:24} {statistics.median(h):7.0f} / {max(h):5.0f} ms {statistics.median(m):10.0f} / {max(m):5.0f} ms"
              f" {added[0]:+7.0f} / {added[1]:+5.0f} ms   goal: at most {allowed:.0f} ms on the median,"
              f" {'met' if added[0] <= allowed else 'NOT met'}")


if __name__ == "__main__":
    results = Path(sys.argv[1])
    judge.load(results / "nights")
    report("A row of nights, one Hushmoor", "n", False)
    judge.load(results / "link")
    with_hushmoor = report("Connected nights with Hushmoor (NetworkManager on wlan0, hostapd on wlan1)", "with", True)
    alone = report("Connected nights with NetworkManager alone (Hushmoor not running)", "alone", True, hushmoor=False)
    side_by_side(with_hushmoor, alone)
