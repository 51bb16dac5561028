#!/usr/bin/env python3
"""Judges the real-kernel test's nights from what no part of Hushmoor wrote:
out/rfkill (the kernel's rfkill events), out/journal (journalctl -o json) and
out/marks (what the driver did), all on CLOCK_MONOTONIC; the kernel's own
clock is put on it by the driver's "vmtest-sync" lines in the kernel log.
Prints each fault and exits 1 on any. bench/vm/figures.py reads the nights'
times through load(), names() and series()."""
import json
import sys
from pathlib import Path

faults = []


def check(ok, what):
    if not ok:
        faults.append(what)
    return ok


def fail(text):
    print(text, flush=True)
    sys.exit(1)


def read(folder, name):
    path = folder / name
    return path.read_text(errors="replace") if path.exists() else ""


def load(folder):
    """Reads one boot's results; the functions below answer from them."""
    global marks, changes, user, kernel, syncs
    marks, changes, user, kernel, syncs = [], [], [], [], []
    if not (folder / "marks").exists():
        fail(f"FAILED: no results from the {folder.name} boot (see the console above)")
    marks = [(float(t), text) for t, text in (l.split(" ", 1) for l in read(folder, "marks").splitlines())]
    radio = mark("radio wlan0 rfkill ")[1].split()[-1]
    for t, idx, _type, op, soft, _hard in (l.split() for l in read(folder, "rfkill").splitlines()):
        if idx == radio and op == "2":
            changes.append((float(t), soft == "1"))
    for entry in map(json.loads, read(folder, "journal").splitlines()):
        message = entry.get("MESSAGE")
        if not isinstance(message, str):
            continue
        if entry.get("_TRANSPORT") == "kernel":
            source = int(entry["_SOURCE_MONOTONIC_TIMESTAMP"]) / 1e6
            if message.startswith("vmtest-sync "):
                written = int(message.split()[1]) / 1e9
                syncs.append((written, source - written))
            kernel.append((source, message))
        else:
            user.append((int(entry["__MONOTONIC_TIMESTAMP"]) / 1e6, entry.get("SYSLOG_IDENTIFIER"), message))
    if mark("abort ")[1]:  # the driver gave up: why, and Hushmoor's log
        fail(f"FAILED: the driver gave up: {mark('abort ')[1][6:]}\n{read(folder, 'hushmoor.log')}")


def mark(prefix):
    return next(((t, text) for t, text in marks if text.startswith(prefix)), (None, None))


def sync_at(t):  # the last sync written at or before t: (its time, the kernel clock's offset)
    return max((s for s in syncs if s[0] <= t + 1e-6), default=None)


def night(name):
    """One night's times, None for a night that did not run to its end."""
    t0, t1 = mark(f"night {name} start")[0], mark(f"night {name} end")[0]
    if t0 is None or t1 is None:
        return None
    before, after = sync_at(t0), sync_at(t1)
    n = {"name": name, "t0": t0, "t1": t1}
    for key, text, sync in (("entry", "PM: suspend entry", before), ("exit", "PM: suspend exit", after)):
        hits = [s for s, m in kernel if before[0] + before[1] <= s <= after[0] + after[1] and m.startswith(text)]
        n[key] = hits[0] - sync[1] if hits else None
    logged = lambda ident, test: next((t for t, i, m in user if t0 <= t <= t1 and i == ident and test(m)), None)
    n["announce"] = logged("systemd-logind", lambda m: "The system will suspend now!" in m)
    # Logged as logind sends PrepareForSleep(false), the wake Hushmoor hears ("Operation
    # 'sleep' finished." up to systemd 252, 'suspend' from 257 on).
    n["finished"] = logged("systemd-logind", lambda m: m.startswith("Operation '") and m.endswith("' finished."))
    # From systemd 256 on, systemd-sleep freezes user.slice (Hushmoor with it) for the sleep.
    n["thawed"] = logged("systemd-sleep", lambda m: "Successfully thawed unit 'user.slice'" in m)
    n["changes"] = [(t, soft) for t, soft in changes if t0 <= t <= t1]
    n["block"] = next((t for t, soft in n["changes"] if soft), None)
    n["unblock"] = next((t for t, soft in n["changes"] if not soft and n["block"] and t > n["block"]), None)
    return n


def names(kind):
    """The nights of one kind in the boot read: "n" (n01, n02, ...), "with" or "alone"."""
    return [text.split()[1] for _, text in marks if text.startswith(f"night {kind}") and text.endswith(" start")]


def series(kind, with_link):
    """The nights of one kind; on the connected disk each with the time wlan0
    associated again after the wake and the first ping reply through it."""
    nights = [night(name) for name in names(kind)]
    for n in nights:
        if with_link and n and n["exit"] is not None:
            offset = sync_at(n["t1"])[1]
            n["associated"] = next((s - offset for s, m in kernel if m == "wlan0: associated" and s - offset > n["exit"]), None)
            n["reply"] = next((t for t, text in marks if n["exit"] < t <= n["t1"] and text.startswith("first reply")), None)
    return nights


def proc_counts():
    """(night, open fds, VmRSS kB) after a few nights of warm-up and after the last."""
    stats = [text.split() for _, text in marks if text.startswith("proc ")]
    return [(s[1], int(s[3]), int(s[5])) for s in (stats[min(4, len(stats) - 2)], stats[-1])] if len(stats) >= 2 else None


def ms(a, b):
    return None if a is None or b is None else (b - a) * 1000


def ran(n, name):
    """The night ran to its end: logind announced it, the kernel entered and left S3."""
    if not check(n is not None, f"{name}: the night did not run to its end"):
        return False
    return all([check(n["announce"] is not None, f"{name}: logind never announced the suspend"),
                check(n["entry"] is not None and n["exit"] is not None, f"{name}: no S3 entry and exit in the kernel log")])


def held(n, name, delay):
    """Radio off between the announcement and S3, S3 SleepDelay later, on after."""
    if not ran(n, name):
        return False
    if check(n["block"] is not None, f"{name}: the radio was never switched off"):
        check(n["announce"] <= n["block"] <= n["entry"], f"{name}: switched off outside announcement..S3 entry")
        check(n["entry"] - n["block"] >= delay, f"{name}: S3 entry {ms(n['block'], n['entry']):.0f} ms after the block, under SleepDelay {delay} s")
    check(n["unblock"] is not None and n["unblock"] > n["exit"], f"{name}: the radio did not come back after S3 exit")
    return True


def held_series(title):
    """The row of nights: each held, no fd or memory growth."""
    nights = series("n", False)
    for i, n in enumerate(nights, 1):
        held(n, f"{title} n{i:02d}", 1)
    counts = proc_counts()
    if check(counts is not None, f"{title}: no fd and memory counts"):
        (a, fds_a, rss_a), (b, fds_b, rss_b) = counts
        check(fds_b <= fds_a, f"{title}: open fds grew from {fds_a} after {a} to {fds_b} after {b}")
        check(rss_b - rss_a <= 1024, f"{title}: VmRSS grew by {rss_b - rss_a} kB from {a} to {b}")
    return len(nights)


def connected_series(kind):
    """Each night associated again after the wake and a packet through after that,
    NetworkManager's switch still on; with Hushmoor also each night held and the
    link down at S3 entry, without it no rfkill event."""
    for name, n in zip(names(kind), series(kind, True)):
        if not (held(n, name, 1) if kind == "with" else ran(n, name)):
            continue
        if kind == "with":  # the sleep hook's note, taken as the machine is about to enter S3
            at_entry = next((text for t, text in marks if n["t0"] <= t <= n["t1"] and text.startswith("link at S3")), "")
            check("Not connected" in at_entry, f"{name}: wlan0 still associated at S3 entry ({at_entry})")
        else:
            check(not n["changes"], f"{name}: the radio was switched in a night without Hushmoor")
        if check(n["associated"] is not None, f"{name}: wlan0 never associated again after the wake"):
            check(n["reply"] is not None and n["reply"] > n["associated"], f"{name}: no packet through wlan0 after it associated again")
        again = mark(f"associated again after {name};")[1] or ""
        check(again.endswith("nmcli radio wifi enabled"), f"{name}: NetworkManager's Wi-Fi switch is off: {again}")
    return len(names(kind))


def main(out):
    nights = out / "nights"
    load(nights)
    print("The seat session:")
    for prefix in ("session ", "user /dev/rfkill ", "inhibitor "):
        print("  " + (mark(prefix)[1] or f"no '{prefix.strip()}' mark"))
    check("Seat=seat0" in (mark("session ")[1] or "") and "Remote=no" in mark("session ")[1], "not a local seat session")
    check(mark("user /dev/rfkill ")[1] == "user /dev/rfkill writable", "the seat user cannot write /dev/rfkill")
    check('"delay" 1000 ' in (mark("inhibitor ")[1] or ""), "logind listed no delay lock of uid 1000")

    # What Hushmoor tells a user whom logind refused the lock (polkit masked for that launch).
    refused = read(nights, "refused.log")
    panel = "Failed to register for sleep notifications. Hushmoor cannot run."
    said = [line for line in refused.splitlines() if "polkitd" in line]
    beside = refused[refused.find(panel):][:600] if panel in refused else ""
    print(f"  without polkit: {mark('refused exit')[1]}; the log: {said[0].split('): ', 1)[-1][:90] if said else '-'}...")
    print(f"    the panel: {' '.join(beside.split())[:150]}...")
    check("polkitd" in beside and "seat session" in beside and any("WARN" in line for line in said),
          "refused: the panel and the log do not name the likely causes")
    # That first launch starts the packaged System Events beside it and lists itself.
    check("INFO: added self to login items" in refused, "the package's Hushmoor did not add itself to the login items")

    row = held_series("in a row")
    check(row == 20, "not twenty nights in a row")
    n = night("away")
    if ran(n, "away"):
        warned = next((l.split("): ", 1)[-1] for l in read(nights, "away.log").splitlines() if "turn airport off" in l), None)
        print(f"Another user away from any seat ({mark('away session')[1]}):")
        print(f"  rfkill events during the night: {len(n['changes'])}; Hushmoor: {warned or 'no warning'}")
        check(not n["changes"] and warned is not None, "away: the night away from the seat is not as the README says")
    exits = [text for _, text in marks if text.startswith("exit ")]
    check(exits and all(text == "exit 0" for text in exits), f"Hushmoor quit on SIGTERM with {exits}")
    check(mark("done")[0] is not None, "the driver did not finish")

    # The connected nights: NetworkManager on wlan0, hostapd's access point on wlan1,
    # in turn with Hushmoor and alone.
    load(out / "link")
    print("The connected disk: " + (mark("associated before the nights")[1] or "never associated"))
    linked, alone = connected_series("with"), connected_series("alone")
    check(linked > 0 and alone == linked, f"connected: {linked} nights with Hushmoor, {alone} alone")
    print(f"Nights judged: {row} in a row, one away from the seat, {linked} connected with Hushmoor, {alone} alone")
    exits = [text for _, text in marks if text.startswith("exit ")]
    check(len(exits) == linked and all(text == "exit 0" for text in exits), f"connected: Hushmoor quit on SIGTERM with {exits}")
    check(mark("done")[0] is not None, "the driver did not finish the connected nights")

    if faults:
        fail("FAILED:\n" + "\n".join("  " + fault for fault in faults))
    print("all nights as they should be")


if __name__ == "__main__":
    main(Path(sys.argv[1]))
