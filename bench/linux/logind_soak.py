'''Soak of the shipped executable against the real systemd-logind, on the
laptop of tests/linux/support/real_logind.py (root, unshare). Reports figures;
it fails only when a cycle goes wrong, never on a time.

  /usr/bin/python3 bench/linux/logind_soak.py [--quiet N] [--radio N] [--idle S] [EXECUTABLE]

  idle       after start-up: resident and private memory, context switches in S s
  radio off  N sleep/wake cycles (default 1000): no rfkill write, no wait
  radio on   N cycles (default 20) with SleepDelay 1: off before the sleep, on after
Each cycle is acknowledged: logind starts the sleep when the lock is released,
well before its InhibitDelayMaxSec (30 s here), and the lock is taken again
after the wake. Open fds and resident memory after the last cycle are
compared with those after the first 10.
'''

import argparse
import os
import statistics
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'linux', 'support'))
from real_logind import Machine, unavailable  # noqa: E402

LIMIT = 30  # InhibitDelayMaxSec: an unacknowledged sleep would show as a 30 s cycle


def status(pid, *fields):
    '''Fields of /proc/PID/status (kB or counts), summed over the threads for ctxt switches.'''
    total = 0
    for task in os.listdir('/proc/%d/task' % pid):
        with open('/proc/%d/task/%s/status' % (pid, task)) as f:
            total += sum(int(line.split()[1]) for line in f if line.split(':')[0] in fields)
    return total


def usage(pid):
    with open('/proc/%d/status' % pid) as f:
        rss = next(int(line.split()[1]) for line in f if line.startswith('VmRSS:'))
    return len(os.listdir('/proc/%d/fd' % pid)), rss


def cycles(m, count, radio_on, marks):
    '''count sleep/wake cycles; the announcement-to-StartUnit time of each.'''
    times = []
    for i in range(count):
        m.set_radio(radio_on)
        before = len(m.writes)
        night = m.suspend(writes=2 if radio_on else 0)
        assert m.until(lambda: len(m.locks()) == 1), 'cycle %d: the lock was not taken again' % i
        took = night.start_unit - night.asleep
        assert took < LIMIT - 1, 'cycle %d: not acknowledged (%.1f s)' % (i, took)
        writes = [w for _, w in m.writes[before:]]
        assert writes == ([(1, 1, 2, 1), (1, 1, 2, 0)] if radio_on else []), (i, writes)
        times.append(took)
        if i + 1 in marks:
            marks[i + 1] = usage(m.app.pid)
    return times


def report(name, times, marks):
    times = sorted(times)
    p99 = times[min(len(times) - 1, int(len(times) * 0.99))]
    print('%-10s %5d cycles  announce->StartUnit median %.1f ms, p99 %.1f ms, max %.1f ms'
          % (name, len(times), statistics.median(times) * 1e3, p99 * 1e3, times[-1] * 1e3))
    for n, (fds, rss) in sorted(marks.items()):
        print('%-10s after %4d: %d open fds, %d kB resident' % ('', n, fds, rss))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--quiet', type=int, default=1000)
    parser.add_argument('--radio', type=int, default=20)
    parser.add_argument('--idle', type=int, default=10)
    parser.add_argument('executable', nargs='?', default=os.path.join(
        ROOT, 'build/default/Applications/Hushmoor.app/Contents/MacOS/Hushmoor'))
    args = parser.parse_args()
    why = unavailable()
    if why:
        print('cannot run the real logind here:', why)
        sys.exit(1 if os.environ.get('CI') == 'true' else 77)
    with Machine(delay_max=LIMIT, app=args.executable) as m:
        m.launch('-SleepDelay', '1')
        assert m.until(lambda: len(m.locks()) == 1), m.text()
        m.until(lambda: False, 1)  # let the start-up settle (System Events, the journal)
        pid = m.app.pid
        switches = status(pid, 'voluntary_ctxt_switches', 'nonvoluntary_ctxt_switches')
        time.sleep(args.idle)
        switches = status(pid, 'voluntary_ctxt_switches', 'nonvoluntary_ctxt_switches') - switches
        with open('/proc/%d/smaps_rollup' % pid) as f:
            private = sum(int(line.split()[1]) for line in f if line.startswith('Private_'))
        fds, rss = usage(pid)
        print('idle       %d kB resident (%d kB private), %d open fds, %d context switches in %d s'
              % (rss, private, fds, switches, args.idle))

        quiet = dict.fromkeys([10, 100] + list(range(500, args.quiet + 1, 500)) + [args.quiet])
        quiet = {n: None for n in quiet if n <= args.quiet}
        report('radio off', cycles(m, args.quiet, False, quiet), quiet)
        radio = {args.radio: None}
        on = cycles(m, args.radio, True, radio)
        report('radio on', [t - 1 for t in on], radio)
        print('%-10s (the time beyond SleepDelay\'s 1 s)' % '')
        # logind lists a new lock before its reply has reached Hushmoor, so a
        # count taken at that moment may be one short: the idle count is a floor.
        first, last = (max(fds, quiet[10][0]), quiet[10][1]), radio[args.radio]
        print('open fds after 10 cycles %d, at the end %d; resident %d kB, at the end %d kB (%+d kB)'
              % (first[0], last[0], first[1], last[1], last[1] - first[1]))
        problems = [line for line in m.text().splitlines() if 'WARN' in line or 'ERROR' in line]
        print('warnings and errors logged: %d' % len(problems), *problems[:5], sep='\n  ')
        assert len(m.writes) == 2 * args.radio, 'the radio was switched outside the radio-on cycles'
        # A reply in flight holds an fd for a moment: look again before calling it a leak.
        if not m.until(lambda: usage(pid)[0] <= first[0], 2):
            sys.exit('open fds grew from %d to %d' % (first[0], usage(pid)[0]))


if __name__ == '__main__':
    main()
