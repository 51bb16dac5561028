'''A laptop for the shipped executable, made of the real systemd-logind.

A private system bus; logind in a mount namespace of its own (a sleep state
offered through /sys/power/state, its own /run/systemd with a drop-in); this
process standing in for the parts of systemd that logind calls, answering
StartUnit("suspend.target") without sleeping; and a fake sysfs tree whose
/dev/rfkill is a FIFO this process reads as the kernel would. Everything runs
on this process's GLib main context: wait with Machine.until().

    with Machine(delay_max=5) as m:
        m.launch('-SleepDelay', '1')
        night = m.suspend(writes=2)   # announced, started, writes: (time, value)
'''

import os
import shutil
import sys
import unittest
import signal
import struct
import subprocess
import tempfile
import time
from types import SimpleNamespace

from gi.repository import Gio, GLib

LOGIND = '/usr/lib/systemd/systemd-logind'
LOGIN1 = ('org.freedesktop.login1', '/org/freedesktop/login1', 'org.freedesktop.login1.Manager')
SYSTEMD1 = Gio.DBusNodeInfo.new_for_xml('''<node>
 <interface name="org.freedesktop.systemd1.Manager">
  <method name="Subscribe"/><method name="Unsubscribe"/>
  <method name="StartUnit"><arg type="s"/><arg type="s"/><arg type="o" direction="out"/></method>
  <signal name="JobRemoved"><arg type="u"/><arg type="o"/><arg type="s"/><arg type="s"/></signal>
 </interface>
 <interface name="org.freedesktop.systemd1.Unit">
  <property name="LoadState" type="s" access="read"/></interface></node>''').interfaces
PHY = 'sys/devices/pci0000:00/0000:00:14.3/ieee80211/phy0'


def until(condition, limit=30):
    '''Runs the main context until condition() holds; False after `limit`
    seconds (a hang guard, never a timing check).'''
    end = time.monotonic() + limit
    tick = GLib.timeout_add(20, lambda: True)  # wakes the iteration to look again
    try:
        while not condition():
            if time.monotonic() > end:
                return False
            GLib.MainContext.default().iteration(True)
        return True
    finally:
        GLib.source_remove(tick)


def start_bus(folder):
    '''A private system bus with its socket in `folder`, where anyone may own
    any name and call anything, as root may on a real one: (its dbus-daemon, its address).'''
    with open(os.path.join(folder, 'bus.conf'), 'w') as f:
        f.write('<busconfig><type>system</type><listen>unix:path=%s/bus</listen><auth>EXTERNAL</auth>'
                '<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>'
                '<allow receive_sender="*"/></policy></busconfig>' % folder)
    # Its only complaint, when not really root, is that it cannot raise its fd limit.
    daemon = subprocess.Popen(['dbus-daemon', '--nofork', '--print-address=1',
                               '--config-file=' + os.path.join(folder, 'bus.conf')],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return daemon, daemon.stdout.readline().strip()


def connect(address):
    return Gio.DBusConnection.new_for_address_sync(
        address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
        Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)


def unavailable():
    '''Why the real logind cannot run here, or None.'''
    missing = [tool for tool in ('unshare', 'dbus-daemon', LOGIND) if not shutil.which(tool)]
    if os.geteuid() != 0 or missing:
        return 'not root' if not missing else 'not installed: ' + ' '.join(missing)
    if subprocess.run(['unshare', '-m', 'true'], stderr=subprocess.DEVNULL).returncode != 0:
        return 'unshare -m is refused (no CAP_SYS_ADMIN in this container)'
    return None


def main():
    '''Runs the calling module's tests, or exits 77 (skipped) saying why the
    real logind cannot run here; under CI=true that is a failure.'''
    why = unavailable()
    if why:
        print('SKIPPED: the real systemd-logind cannot run here:', why)
        sys.exit(1 if os.environ.get('CI') == 'true' else 77)
    unittest.main(module='__main__')


class Machine:
    def __init__(self, delay_max=5, app=os.environ.get('HUSHMOOR_EXECUTABLE')):
        self.delay_max, self.app_path, self.app = delay_max, app, None
        self.dir = tempfile.mkdtemp(prefix='hm-logind-')
        self.announced, self.started, self.writes = [], [], []  # (monotonic time, value)

    def __enter__(self):
        # A set-up that fails half way stops what it had started.
        self.bus = self.logind = self.fifo = None
        try:
            self._start_bus()
            self._start_kernel()
            self.start_logind()
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *exc):
        for pid in self._pids_of_ours():  # the application and what it started
            os.kill(pid, signal.SIGKILL)
        for proc in (self.app, self.logind, self.bus):
            if proc and proc.poll() is None:
                proc.kill()
            proc and proc.wait()
        if self.fifo is not None:
            os.close(self.fifo)
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def text(self, name='app.log'):  # what the application logged
        with open(self.path(name), errors='replace') as f:
            return f.read()

    until = staticmethod(until)

    def _start_bus(self):
        self.bus, self.address = start_bus(self.dir)
        self.conn = connect(self.address)
        self.conn.register_object('/org/freedesktop/systemd1', SYSTEMD1[0], self._systemd, None, None)
        self.conn.register_object('/org/freedesktop/systemd1/unit/suspend_2etarget', SYSTEMD1[1],
                                  None, lambda *a: GLib.Variant('s', 'loaded'), None)
        self._call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                   'RequestName', ('(su)', ('org.freedesktop.systemd1', 4)))
        self.conn.signal_subscribe(None, LOGIN1[2], 'PrepareForSleep', LOGIN1[1], None, 0,
                                   lambda *a: self.announced.append((time.monotonic(), a[5][0])))

    def _systemd(self, conn, sender, path, iface, method, args, invocation):
        if method == 'StartUnit':
            self.started.append((time.monotonic(), args.unpack()))
            job = '/org/freedesktop/systemd1/job/%d' % len(self.started)
            invocation.return_value(GLib.Variant('(o)', (job,)))
            # The job is over at once: the "machine" has slept and woken.
            conn.emit_signal(None, path, iface, 'JobRemoved',
                             GLib.Variant('(uoss)', (len(self.started), job, args[0], 'done')))
        else:
            invocation.return_value(None)

    def _call(self, name, path, iface, method, args=None):
        return self.conn.call_sync(name, path, iface, method, args and GLib.Variant(*args),
                                   None, 0, -1, None).unpack()

    def login1(self, method, args=None):
        '''Calls logind as root (no polkit), waiting for the answer.'''
        return self._call(*LOGIN1, method, args)

    def start_logind(self):
        self._write('state', 'freeze mem disk\n')
        self._write('logind.conf', '[Login]\nNAutoVTs=0\nInhibitDelayMaxSec=%s\n' % self.delay_max +
                    ''.join('Handle%s=ignore\n' % key for key in (
                        'PowerKey', 'SuspendKey', 'HibernateKey', 'LidSwitch',
                        'LidSwitchExternalPower', 'LidSwitchDocked', 'RebootKey')))
        # /run/systemd may be missing in a build chroot: made first, then covered.
        script = ('set -e; mount --bind {0}/state /sys/power/state; mkdir -p /run/systemd; '
                  'mount -t tmpfs tmpfs /run/systemd; mkdir /run/systemd/logind.conf.d; cp {0}/logind.conf '
                  '/run/systemd/logind.conf.d/; exec {1}').format(self.dir, LOGIND)
        with open(self.path('logind.log'), 'a') as log:
            self.logind = subprocess.Popen(
                ['unshare', '-m', '--propagation', 'private', 'sh', '-c', script], stderr=log,
                env=dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address, SYSTEMD_LOG_TARGET='console'))
        assert self.until(lambda: self._owned(LOGIN1[0])), self.text('logind.log')

    def stop_logind(self):
        self.logind.terminate()
        self.logind.wait()
        assert self.until(lambda: not self._owned(LOGIN1[0]))

    def _owned(self, name):
        return self._call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                          'NameHasOwner', ('(s)', (name,)))[0]

    def locks(self):
        '''The delay locks the application holds, as logind lists them.'''
        return [i for i in self.login1('ListInhibitors')[0] if self.app and i[5] == self.app.pid
                and i[:2] == ('sleep', 'Hushmoor') and i[3] == 'delay']

    # The radio: wlp2s0 on phy0, rfkill1 (not 0, as after a resume); /dev/rfkill is served here.
    def _start_kernel(self):
        for folder in (PHY + '/rfkill1', 'sys/class/net/wlp2s0', 'dev', 'run'):
            os.makedirs(self.path(folder), mode=0o700)
        os.symlink(self.path(PHY), self.path('sys/class/net/wlp2s0/phy80211'))
        for name, text in (('sys/class/net/wlp2s0/ifindex', '3'), (PHY + '/rfkill1/index', '1'),
                           (PHY + '/rfkill1/hard', '0')):
            self._write(name, text)
        self.set_radio(True)
        os.mkfifo(self.path('dev/rfkill'))
        # Opened for writing too, so the FIFO never reports a hang-up between writers.
        self.fifo = os.open(self.path('dev/rfkill'), os.O_RDWR | os.O_NONBLOCK)
        GLib.io_add_watch(self.fifo, GLib.PRIORITY_HIGH, GLib.IO_IN, self._kernel)

    def _kernel(self, fd, condition):
        data = os.read(fd, 4096)
        for idx, kind, op, soft, hard in struct.iter_unpack('=IBBBB', data[:len(data) // 8 * 8]):
            self.writes.append((time.monotonic(), (idx, kind, op, soft)))
            if op == 2 and idx == 1:  # RFKILL_OP_CHANGE of our radio
                self.set_radio(not soft)
        return True

    def set_radio(self, on):
        self.soft = not on
        self._write(PHY + '/rfkill1/soft', '0' if on else '1')

    def _write(self, name, text):
        with open(self.path(name), 'w') as f:
            f.write(text)

    def env(self):
        home = self.path('home')
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address, HUSHMOOR_TEST_ROOT=self.dir,
                   HOME=home, XDG_CONFIG_HOME=home + '/.config', XDG_DATA_HOME=home + '/.local',
                   XDG_STATE_HOME=home + '/.local/state',
                   XDG_RUNTIME_DIR=self.path('run'), HUSHMOOR_SYSTEM_EVENTS_IDLE_QUIT='30')
        env.pop('DISPLAY', None)  # panels go to the log
        env.pop('WAYLAND_DISPLAY', None)
        return env

    def launch(self, *arguments):
        with open(self.path('app.log'), 'a') as log:
            self.app = subprocess.Popen([self.app_path, *arguments], env=self.env(),
                                        stdout=subprocess.DEVNULL, stderr=log)

    def status(self):
        '''`hushmoor --status` as this machine's user: (its exit status, what it printed).'''
        done = subprocess.run([self.app_path, '--status'], env=self.env(), capture_output=True,
                              text=True, timeout=30)
        return done.returncode, done.stdout

    def _pids_of_ours(self):
        '''Processes with our folder in their environment.'''
        mark = ('HUSHMOOR_TEST_ROOT=' + self.dir).encode()
        for pid in filter(str.isdigit, os.listdir('/proc')):
            try:
                with open('/proc/%s/environ' % pid, 'rb') as f:
                    if mark in f.read().split(b'\0'):
                        yield int(pid)
            except OSError:
                pass

    def suspend(self, writes=0, wait=True):
        '''Asks logind to suspend; with `wait`, waits for the wake and for
        `writes` rfkill requests, and returns what happened meanwhile. Times
        are those seen here: `sent` (the request) is the only one never late.'''
        before = (len(self.announced), len(self.started), len(self.writes))
        replies, sent = [], time.monotonic()
        self.conn.call(*LOGIN1, 'Suspend', GLib.Variant('(b)', (False,)), None, 0, -1, None,
                       lambda conn, result: replies.append(conn.call_finish(result)))
        if not wait:
            return None
        assert self.until(lambda: replies and len(self.announced) >= before[0] + 2 and
                          len(self.writes) >= before[2] + writes), self.text()
        night = SimpleNamespace(sent=sent, announced=self.announced[before[0]:],
                                started=self.started[before[1]:], writes=self.writes[before[2]:])
        night.asleep, night.start_unit = night.announced[0][0], night.started[0][0]
        return night
