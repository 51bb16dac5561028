'''The real machine's power source and its logind client (PowerSourceLogind,
LogindSleepInhibitor), in tests/linux/logind_probe, against a logind of the
tests' own (support/fake_logind.py) on a private bus: the answers the real
logind gives only by chance (busy, late, from a replaced instance).'''

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), 'support'))
from fake_logind import FakeLogind  # noqa: E402
from real_logind import start_bus, until  # noqa: E402

BUSY = 'org.freedesktop.login1.OperationInProgress'
DENIED = 'org.freedesktop.DBus.Error.AccessDenied'
LIMIT = 30000000  # not logind's default: it must be read
OURS = ('sleep', 'Hushmoor', 'Switching the wireless radio off before the system sleeps', 'delay')


class Probe:
    def __init__(self, address, *arguments):
        self.out = tempfile.NamedTemporaryFile(mode='w')  # its lines and its log
        self.proc = subprocess.Popen([os.environ['HUSHMOOR_LOGIND_PROBE'], address, *arguments],
                                     stdin=subprocess.PIPE, stdout=self.out, stderr=self.out, text=True)
        self.read = 0

    def lines(self):  # the whole ones
        with open(self.out.name) as f:
            return f.read().split('\n')[:-1]

    def close(self):
        self.proc.kill()
        self.proc.wait()
        self.proc.stdin.close()
        self.out.close()

    def expect(self, prefix):
        '''The next line starting with `prefix` (as words), the lines before it passed over.'''
        found = lambda: next((i for i, l in enumerate(self.lines()) if i >= self.read and l.startswith(prefix)), None)
        assert until(lambda: found() is not None, 10), (prefix, self.lines()[self.read:])
        self.read = found() + 1
        words = self.lines()[self.read - 1].split()
        return [int(w) if w.isdigit() else w for w in words[len(prefix.split()):]]

    def ask(self, command, answer=None):
        self.proc.stdin.write(command + '\n')
        self.proc.stdin.flush()
        return answer and self.expect(answer)

    def end(self):
        '''Its exit status and everything it wrote.'''
        self.ask('quit')
        return self.proc.wait(30), '\n'.join(self.lines())


class LogindClient(unittest.TestCase):
    def setUp(self):
        folder = tempfile.mkdtemp(prefix='hm-fake-logind-')
        self.addCleanup(shutil.rmtree, folder)
        bus, self.address = start_bus(folder)
        self.addCleanup(bus.stdout.close)
        self.addCleanup(bus.wait)
        self.addCleanup(bus.kill)
        self.logind = self.new_logind()

    def new_logind(self):
        logind = FakeLogind(self.address, LIMIT)
        self.addCleanup(logind.stop)
        return logind

    def start(self, *arguments):
        probe = Probe(self.address, *map(str, arguments))
        self.addCleanup(probe.close)
        # Its registration has ended, one way or the other: logind's signals reach it.
        self.assertTrue(until(lambda: any(l.startswith(('registered', 'refused')) for l in probe.lines()), 10))
        return probe

    def locks(self, count, logind=None):
        '''`count` locks open at logind, all ours.'''
        logind = logind or self.logind
        return until(lambda: len(logind.inhibitors()) == count, 10) and \
            all(i[:4] == OURS for i in logind.inhibitors())

    def sleep(self, probe, acknowledge=True):
        self.logind.announce(True)
        r, sleep = probe.expect('will-sleep')
        if acknowledge:
            self.assertEqual(probe.ask('ack %d %d' % (r, sleep), 'ack'), ['true'])
        return r, sleep

    def wake(self, probe, held=0):
        '''A wake reported, `held` Inhibit calls then waiting at logind.'''
        self.logind.announce(False)
        probe.expect('has-powered-on')
        self.assertTrue(until(lambda: len(self.logind.held or []) == held, 10))

    def test_a_refusal_for_lack_of_rights_fails_the_registration_with_its_likely_causes(self):
        self.logind.failures = [DENIED]  # one only: a retry would have succeeded and left a lock
        probe = self.start()
        self.assertEqual(probe.expect('refused')[:5], ['logind', 'gives', 'a', 'user', 'the'])
        status, log = probe.end()
        self.assertIn('no sleep notifications from systemd-logind: no sleep lock from logind: '
                      'refused by the test (logind gives a user', log)
        self.assertTrue(self.locks(0))

    def test_a_busy_or_refusing_logind_is_asked_again_until_it_grants_a_close_on_exec_lock(self):
        self.logind.failures = [BUSY] * 3
        probe = self.start(5)  # a busy logind is not a refusal; others are asked again in 5 ms
        self.assertTrue(self.locks(1))
        for answer in (BUSY, DENIED):  # after a wake
            self.sleep(probe)
            self.logind.failures = [answer] * 3
            self.wake(probe)
            self.assertTrue(self.locks(1), answer)
        # The lock's fd in the probe, once it has left the socket it came by.
        pipe, proc = 'pipe:[%d]' % os.fstat(self.logind.lock_fd()).st_ino, '/proc/%d/' % probe.proc.pid
        def held():
            links = {}
            for fd in os.listdir(proc + 'fd'):
                try:
                    links[os.readlink(proc + 'fd/' + fd)] = fd
                except FileNotFoundError:  # closed meanwhile
                    pass
            return [links[pipe]] if pipe in links else []
        self.assertTrue(until(held, 10))
        with open(proc + 'fdinfo/' + held()[0]) as info:
            flags = int(next(l for l in info if l.startswith('flags:')).split()[1], 8)
        self.assertTrue(flags & os.O_CLOEXEC)

    def test_the_wake_comes_while_a_slow_logind_has_not_answered_and_the_lock_follows(self):
        probe = self.start()
        self.sleep(probe)
        self.logind.hold(True)
        self.wake(probe, held=1)
        self.wake(probe, held=2)  # a second wake replaces the pending request
        self.assertEqual(self.logind.hold(False), 2)
        calls = self.logind.calls
        until(lambda: False, 0.3)
        self.assertTrue(self.locks(1), 'the replaced request\'s lock is closed, not kept')
        self.assertEqual(self.logind.calls, calls, 'nothing left to ask for')
        # Still waiting when the next sleep is announced, the request is dropped:
        # a lock granted then would only hold that sleep back.
        self.sleep(probe)
        self.logind.hold(True)
        self.wake(probe, held=1)
        self.sleep(probe, acknowledge=False)
        self.logind.hold(False)
        self.assertTrue(self.locks(0))

    def test_a_new_logind_gets_a_new_lock_and_the_old_ones_late_answer_is_dropped(self):
        probe = self.start()
        self.logind.stop()  # gone, and its lock with it
        self.logind = self.new_logind()
        self.assertTrue(self.locks(1))
        # Taken over while our request waits at the old instance, which answers late.
        self.sleep(probe)
        self.logind.hold(True)
        self.wake(probe, held=1)
        old, self.logind = self.logind, self.new_logind()
        self.assertTrue(self.locks(1))
        self.assertEqual(old.hold(False), 1)
        self.assertTrue(self.locks(0, old), 'the old instance\'s late lock is closed')
        self.assertTrue(self.locks(1))

    def test_teardown_leaves_no_lock_and_no_callback_behind(self):
        for what in ('held', 'pending', 'retrying'):
            with self.subTest(what):
                probe = self.start()
                if what != 'held':
                    self.sleep(probe)
                    self.logind.hold(what == 'pending')
                    self.logind.failures = [BUSY] * 1000 if what == 'retrying' else []
                    self.wake(probe, held=int(what == 'pending'))
                probe.ask('drop', 'dropped')
                self.logind.hold(False)  # a late reply, or a retry, must not reach the freed client
                self.logind.failures = []
                self.assertTrue(self.locks(0))
                self.assertEqual(probe.end()[0], 0)

    def test_each_sleep_is_acknowledged_once_and_only_before_its_wake(self):
        probe = self.start()
        self.assertEqual(probe.expect('limit'), [LIMIT])
        self.assertEqual(probe.expect('registered'), [1, 'wait', LIMIT // 1000 - 200])
        r, first = self.sleep(probe, acknowledge=False)
        for unknown in ((r, first + 1000), (r + 1, first)):  # the sleep, the registration
            self.assertEqual(probe.ask('ack %d %d' % unknown, 'ack'), ['false'])
        self.assertTrue(self.locks(1), 'held until the sleep\'s own acknowledgement')
        self.logind.announce(False)  # the sleep failed before it was acknowledged
        r, woke = probe.expect('has-powered-on')
        for late in (first, woke):  # stale after the wake; a wake needs no answer
            self.assertEqual(probe.ask('ack %d %d' % (r, late), 'ack'), ['false'])
        self.assertTrue(self.locks(1), 'the lock for the next sleep stays')
        r, second = self.sleep(probe)
        self.assertNotEqual(second, first)
        self.assertEqual(probe.ask('ack %d %d' % (r, second), 'ack'), ['false'], 'only once')
        self.assertTrue(self.locks(0))
        self.wake(probe)
        self.assertTrue(self.locks(1))
        probe.ask('deregister %d' % r)
        self.assertTrue(self.locks(0))
        self.assertEqual(probe.ask('register', 'registered')[0], 2)
        self.sleep(probe, acknowledge=False)
        self.assertEqual([l for l in probe.lines() if l.startswith('will-sleep')],
                         ['will-sleep 1 1', 'will-sleep 1 3', 'will-sleep 2 5'],
                         'nothing for the registration that is gone')


if __name__ == '__main__':
    unittest.main()
