#!/usr/bin/env python3
'''The wake on the logind power source while logind is slow: from sending
PrepareForSleep(false) to the has-powered-on notice reaching the probe's
handler and its line reaching here through a file, with the tests' own
logind holding every Inhibit answer back until the notice has come. The
line's way is part of the figure; the answer's delay is not, since the wake
does not wait for it.
    bench/linux/wake_path.py build/default/tests/linux/logind_probe [WAKES]
Prints the median and the worst over WAKES (default 30) wakes.'''
import os
import statistics
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(here, '../../tests/linux'), os.path.join(here, '../../tests/linux/support')]
os.environ['HUSHMOOR_LOGIND_PROBE'] = os.path.abspath(sys.argv[1])
from LogindClientTest import LogindClient  # noqa: E402


class Bench(LogindClient):
    def runTest(self):
        probe = self.start()
        probe.expect('registered')
        samples = []
        for _ in range(int(sys.argv[2]) if len(sys.argv) > 2 else 30):
            self.sleep(probe)
            self.logind.hold(True)
            seen = len(probe.lines())
            sent = time.monotonic()
            self.logind.announce(False)
            # Read as fast as it comes (the tests' expect() looks every 20 ms).
            while not any(l.startswith('has-powered-on') for l in probe.lines()[seen:]):
                pass
            samples.append((time.monotonic() - sent) * 1000)
            probe.expect('has-powered-on')
            self.logind.hold(False)  # the late answer: the lock for the next sleep
            assert self.locks(1)
        print('wake with a slow logind: median %.2f ms, worst %.2f ms over %d wakes'
              % (statistics.median(samples), max(samples), len(samples)))


if __name__ == '__main__':
    result = Bench().run()
    sys.exit(0 if result.wasSuccessful() else 1)
