'''The installation the Debian packages hold, on a laptop made of the real
systemd-logind: /usr/bin/hushmoor holds the sleep back around a night, starts
the System Events beside it and lists its own bundle, with TryExec. Exits 77
(skipped) where the real logind cannot run; under CI=true that is a failure.'''

import glob
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'linux', 'support'))
from real_logind import Machine, main  # noqa: E402

ROOT = os.environ['HUSHMOOR_INSTALLED_ROOT']
APPS = os.path.join(ROOT, 'usr/lib/hushmoor/Applications')


class PackagedApplication(unittest.TestCase):
    def test_runs_from_the_installed_tree_and_registers_its_own_bundle(self):
        self.assertFalse(os.path.exists(os.path.join(ROOT, 'etc')), 'the drop-in is an example')
        self.assertTrue(os.path.exists(APPS + '/Hushmoor.app/Contents/Frameworks/'
                                       'libhushmoor-gtk-panels.so'))
        m = self.enterContext(Machine(app=os.path.join(ROOT, 'usr/bin/hushmoor')))
        m.launch('-SleepDelay', '1')
        self.assertTrue(m.until(lambda: len(m.locks()) == 1), m.text())
        m.suspend(writes=2)
        self.assertTrue(m.until(lambda: len(m.locks()) == 1), m.text())
        # Started as "hushmoor", named "Hushmoor" like the login item's copy.
        with open('/proc/%d/comm' % m.app.pid) as comm:
            self.assertEqual(comm.read().strip(), 'Hushmoor')
        self.assertIn(' Hushmoor[%d:' % m.app.pid, m.text())

        exes = {os.path.realpath('/proc/%d/exe' % pid) for pid in m._pids_of_ours()}
        self.assertIn(os.path.realpath(APPS + '/System Events.app/Contents/MacOS/System Events'),
                      exes)
        entries = ''.join(open(f).read() for f in
                          glob.glob(m.path('home/.config/autostart/*.desktop')))
        bundle = os.path.realpath(APPS + '/Hushmoor.app')
        self.assertIn('X-Hushmoor-Path=%s\n' % bundle, entries)
        self.assertIn('TryExec=%s/Contents/MacOS/Hushmoor\n' % bundle, entries)


if __name__ == '__main__':
    main()
