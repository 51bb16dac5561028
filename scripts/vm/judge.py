#!/usr/bin/env python3
"""Judges the real-kernel test's nights from what no part of Hushmoor wrote:
out/rfkill (the kernel's rfkill events, CLOCK_MONOTONIC), out/journal (logind,
systemd-sleep and the kernel, as journalctl -o json) and out/marks (what the
driver did, and when). Prints each night's figures; exits 1 on any fault.

Kernel lines carry the kernel's own clock; the driver's "vmtest-sync" lines
(CLOCK_MONOTONIC written into the kernel log) give its offset, taken from the
sync before a night for the suspend entry and from the one after for the exit.
"""
import json
import statistics
import sys
from pathlib import Path

out = Path(sys.argv[1])
faults = []


def check(ok, what):
    if not ok:
        faults.append(what)
    return ok


marks = []
for line in (out / "marks").read_text().splitlines():
    t, text = line.split(" ", 1)
    marks.append((float(t), text))


def mark(prefix):
    return next(((t, text) for t, text in marks if text.startswith(prefix)), (None, None))


radio = mark("radio wlan0 rfkill ")[1].split()[-1]
changes = []  # (time, soft) of the laptop's radio
for line in (out / "rfkill").read_text().splitlines():
    t, idx, _type, op, soft, _hard = line.split()
    if idx == radio and op == "2":
        changes.append((float(t), soft == "1"))

user, kernel, syncs = [], [], []
for line in (out / "journal").read_text().splitlines():
    entry = json.loads(line)
    message = entry.get("MESSAGE")
    if not isinstance(message, str):
        continue
    if entry.get("_TRANSPORT") == "kernel":
        source = int(entry["_SOURCE_MONOTONIC_TIMESTAMP"]) / 1e6
        if message.startswith("vmtest-sync "):
            syncs.append((int(message.split()[1]) / 1e9, source - int(message.split()[1]) / 1e9))
        kernel.append((source, message))
    else:
        user.append((int(entry["__MONOTONIC_TIMESTAMP"]) / 1e6, entry.get("SYSLOG_IDENTIFIER"), message))


def sync_at(t):
    """The last sync written at or before monotonic time t: (its time, offset)."""
    return max((s for s in syncs if s[0] <= t + 1e-6), default=None)


def night(name):
    t0 = mark(f"night {name} start")[0]
    t1 = mark(f"night {name} end")[0]
    if not check(t0 is not None and t1 is not None, f"{name}: the night did not run to its end"):
        return None
    before, after = sync_at(t0), sync_at(t1)
    k0, k1 = before[0] + before[1], after[0] + after[1]  # the window in kernel time
    n = {"name": name, "t0": t0, "t1": t1}
    for key, text in (("entry", "PM: suspend entry"), ("exit", "PM: suspend exit")):
        hits = [s for s, m in kernel if k0 <= s <= k1 and m.startswith(text)]
        offset = before[1] if key == "entry" else after[1]
        n[key] = hits[0] - offset if hits else None
    found = lambda ident, text: next((t for t, i, m in user if t0 <= t <= t1 and i == ident and text in m), None)
    n["announce"] = found("systemd-logind", "The system will suspend now!")
    n["returned"] = found("systemd-sleep", "System returned from sleep state")
    n["timeout"] = next((m for t, i, m in user if t0 <= t <= t1 and i == "systemd-logind" and "timeout" in m), None)
    inside = [(t, soft) for t, soft in changes if t0 <= t <= t1]
    n["changes"] = inside
    n["block"] = next((t for t, soft in inside if soft), None)
    n["unblock"] = next((t for t, soft in inside if not soft and n["block"] and t > n["block"]), None)
    check(n["announce"] is not None, f"{name}: logind never announced the suspend")
    check(n["entry"] is not None and n["exit"] is not None, f"{name}: no S3 entry and exit in the kernel log")
    return n


def ms(a, b):
    return None if a is None or b is None else (b - a) * 1000


def show(n, *pairs):
    figures = ", ".join(f"{label} {ms(n[a], n[b]):.0f} ms" for label, a, b in pairs if ms(n[a], n[b]) is not None)
    print(f"  {n['name']:14} {figures}")


def held_night(n, delay):
    """A night with the radio on: off after the announcement and before S3,
    S3 at least SleepDelay later, back on after the wake."""
    if n is None or n["entry"] is None:
        return
    name = n["name"]
    if check(n["block"] is not None, f"{name}: the radio was never switched off"):
        check(n["announce"] <= n["block"] <= n["entry"], f"{name}: switched off outside announcement..S3 entry")
        check(n["entry"] - n["block"] >= delay, f"{name}: S3 entry {ms(n['block'], n['entry']):.0f} ms after the block, under SleepDelay {delay} s")
    check(n["unblock"] is not None and n["unblock"] > n["exit"], f"{name}: the radio did not come back after S3 exit")
    show(n, ("announce→block", "announce", "block"), ("block→S3 entry", "block", "entry"),
         ("S3 exit→unblock", "exit", "unblock"), ("returned→unblock", "returned", "unblock"))


print("The seat session:")
for prefix in ("session ", "user /dev/rfkill ", "inhibitor "):
    print("  " + (mark(prefix)[1] or f"no '{prefix.strip()}' mark"))
check("Seat=seat0" in (mark("session ")[1] or "") and "Remote=no" in mark("session ")[1], "not a local seat session")
check(mark("user /dev/rfkill ")[1] == "user /dev/rfkill writable", "the seat user cannot write /dev/rfkill")
check('"delay" 1000 ' in (mark("inhibitor ")[1] or ""), "logind listed no delay lock of uid 1000")
aborted = mark("abort ")[1]
if aborted:
    print(f"FAILED: the driver gave up: {aborted[6:]}")
    print((out / "hushmoor.log").read_text() if (out / "hushmoor.log").exists() else "no log of Hushmoor")
    sys.exit(1)

print("Nights (CLOCK_MONOTONIC):")
n = night("default-limit")
if n:
    # SleepDelay 5 against logind's 5 s: logind sleeps without waiting for
    # the wait's end; the radio must still come back after the wake.
    held_night(n, 0)
    print(f"    logind: {n['timeout'] or 'no time-out message'}")
held_night(night("radio-on"), 2)
n = night("radio-off")
if n:
    check(not n["changes"], f"radio-off: the radio that was off was touched: {n['changes']}")
    print(f"  {'radio-off':14} rfkill events during the night: {len(n['changes'])}")
n = night("killed")
if n:
    killed = mark("killed")[0]
    check(n["block"] is not None and killed is not None and n["entry"] is not None and n["entry"] > killed,
          "killed: the machine did not sleep after Hushmoor was killed in its wait")
    check(n["unblock"] is None and mark("radio after kill soft 1")[0] is not None,
          "killed: the radio came back without Hushmoor")
    relaunch = mark("radio after kill")[0]
    back = next((t for t, soft in changes if t > relaunch and not soft), None)
    check(back is not None and mark("radio after relaunch soft 0")[0] is not None,
          "killed: the next launch did not switch the radio back on")
    print(f"  {'killed':14} S3 entry {ms(killed, n['entry']):.0f} ms after SIGKILL; radio back on "
          f"{ms(relaunch, back) or 0:.0f} ms after the relaunch was asked for")

series = [night(f"n{i:02d}") for i in range(1, 21)]
for n in series:
    held_night(n, 1)
done = [n for n in series if n and n["block"] and n["entry"] and n["unblock"] and n["exit"]]
if done:
    print("Twenty nights, SleepDelay 1 (median / worst):")
    for label, a, b in (("block → S3 entry", "block", "entry"), ("S3 exit → unblock", "exit", "unblock"),
                        ("announce → block", "announce", "block")):
        values = [ms(n[a], n[b]) for n in done]
        print(f"  {label:20} {statistics.median(values):7.0f} ms / {max(values):7.0f} ms")
stats = {text.split()[1]: text.split() for _, text in marks if text.startswith("proc ")}
if check("n05" in stats and "n20" in stats, "no fd and memory counts for the twenty nights"):
    fds = (int(stats["n05"][3]), int(stats["n20"][3]))
    rss = (int(stats["n05"][5]), int(stats["n20"][5]))
    print(f"  open fds after night 5 / 20: {fds[0]} / {fds[1]}; VmRSS {rss[0]} / {rss[1]} kB")
    check(fds[1] <= fds[0], f"open fds grew from {fds[0]} to {fds[1]}")
    check(rss[1] - rss[0] <= 1024, f"VmRSS grew by {rss[1] - rss[0]} kB over 15 nights")
exits = [text for _, text in marks if text.startswith("exit ")]
check(exits and all(text == "exit 0" for text in exits), f"Hushmoor quit on SIGTERM with {exits}")
check(mark("done")[0] is not None, "the driver did not finish")

if faults:
    print("FAILED:")
    for fault in faults:
        print("  " + fault)
    log = out / "hushmoor.log"
    if log.exists():
        print("Hushmoor's log (last lines):")
        print("".join(log.read_text().splitlines(True)[-15:]))
    sys.exit(1)
print("all nights as they should be")
