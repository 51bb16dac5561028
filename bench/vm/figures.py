#!/usr/bin/env python3
"""The real-kernel nights' figures from a results folder of scripts/vm-test,
which keeps its last run's in ${HUSHMOOR_VM_CACHE:-~/.cache/hushmoor-vm}/last-run:
each night's times (CLOCK_MONOTONIC), their median and worst, and the open fds
and VmRSS of the one Hushmoor after night 5 and the last. The results are read
by the judge's own functions (scripts/vm/judge.py); this judges nothing.
    python3 bench/vm/figures.py RESULTS"""
import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "scripts" / "vm"))
import judge  # noqa: E402

FIGURES = [("announce → block", "announce", "block"), ("block → S3 entry", "block", "entry"),
           ("S3 exit → unblock", "exit", "unblock"), ("logind's wake → unblock", "finished", "unblock")]


def report(title, with_link):
    nights = judge.series(with_link)
    print(f"{title} ({len(nights)} nights, SleepDelay 1):")
    done = []
    for n in nights:
        if n is None or n["entry"] is None:
            continue
        print(f"  {n['name']:14} " + ", ".join(f"{label} {judge.ms(n[a], n[b]):.0f} ms" for label, a, b in FIGURES
                                              if judge.ms(n[a], n[b]) is not None))
        if all(n.get(k) is not None for k in ("block", "entry", "exit", "unblock", "finished") + ("associated",) * with_link):
            done.append(n)
    figures = list(FIGURES)
    if done and all(n["thawed"] is not None for n in done):
        figures += [("S3 exit → user.slice thawed", "exit", "thawed"), ("thawed → logind's wake", "thawed", "finished")]
    if with_link:
        figures.append(("S3 exit → associated", "exit", "associated"))
    if done:
        print(f"  median / worst over {len(done)}:")
        for label, a, b in figures:
            values = [judge.ms(n[a], n[b]) for n in done]
            print(f"    {label:28} {statistics.median(values):7.0f} ms / {max(values):7.0f} ms")
    counts = judge.proc_counts()
    if counts:
        (a, fds_a, rss_a), (b, fds_b, rss_b) = counts
        print(f"  open fds after {a} / {b}: {fds_a} / {fds_b}; VmRSS {rss_a} / {rss_b} kB")


if __name__ == "__main__":
    results = Path(sys.argv[1])
    judge.load(results / "nights")
    report("A row of nights, one Hushmoor", False)
    judge.load(results / "link")
    report("Connected nights (NetworkManager on wlan0, hostapd on wlan1)", True)
