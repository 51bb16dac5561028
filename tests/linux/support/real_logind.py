'''A laptop for the shipped executable, made of the real systemd-logind.

A private system bus; logind in a mount namespace of its own (a sleep state
offered through /sys/power/state, its own /run/systemd with a drop-in); this
process standing in for the parts of systemd that logind calls, answering
StartUnit("suspend.target") without sleeping; and a fake sysfs tree whose
/dev/rfkill is a FIFO this process reads as the kernel would. Everything runs
on this process's GLib main context: wait with Machine.until().
'''

import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time

from gi.repository import Gio, GLib

LOGIND = '/usr/lib/systemd/systemd-logind'
LOGIN1 = ('org.freedesktop.login1', '/org/freedesktop/login1', 'org.freedesktop.login1.Manager')
SYSTEMD1_XML = '''<node>
 <interface name="org.freedesktop.systemd1.Manager">
  <method name="Subscribe"/><method name="Unsubscribe"/>
  <method name="StartUnit"><arg type="s"/><arg type="s"/><arg type="o" direction="out"/></method>
  <signal name="JobRemoved"><arg type="u"/><arg type="o"/><arg type="s"/><arg type="s"/></signal>
 </interface>
 <interface name="org.freedesktop.systemd1.Unit">
  <property name="LoadState" type="s" access="read"/>
 </interface>
</node>'''
RFKILL_EVENT = struct.Struct('=IBBBB')  # idx, type, op, soft, hard
RFKILL_OP_CHANGE = 2


def unavailable():
    '''Why the real logind cannot run here, or None.'''
    if os.geteuid() != 0:
        return 'not root: logind needs root, and so do the mounts of its namespace'
    for tool in ('unshare', 'mount', 'dbus-daemon', LOGIND):
        if not shutil.which(tool):
            return tool + ' is missing'
    if subprocess.run(['unshare', '-m', '--propagation', 'private', 'true'],
                      stderr=subprocess.DEVNULL).returncode != 0:
        return 'unshare -m is refused (no CAP_SYS_ADMIN in this container)'
    return None


class Machine:
    '''One laptop: `with Machine(delay_max=5) as m: m.launch(...)`.'''

    def __init__(self, delay_max=5, app=os.environ.get('HUSHMOOR_EXECUTABLE')):
        self.delay_max, self.app_path = delay_max, app
        self.dir = tempfile.mkdtemp(prefix='hm-logind-')
        self.announced, self.started, self.writes = [], [], []  # (monotonic time, value)
        self.app = self.logind = self.bus = None
        self.soft = False

    def __enter__(self):
        self._start_bus()
        self._start_kernel()
        self.start_logind()
        return self

    def __exit__(self, *exc):
        for proc in self._strays() + [self.app, self.logind, self.bus]:
            if proc is not None and proc.poll() is None:
                proc.kill()
                proc.wait()
        for fd in self.fifo:
            os.close(fd)
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def until(self, condition, limit=15):
        '''Runs the main context until condition() holds; False after `limit`
        seconds (a hang guard, never a timing check).'''
        end = time.monotonic() + limit
        tick = GLib.timeout_add(20, lambda: True)  # wakes the blocking iteration to look again
        try:
            while not condition():
                if time.monotonic() > end:
                    return False
                GLib.MainContext.default().iteration(True)
            return True
        finally:
            GLib.source_remove(tick)

    # The bus, and systemd's part of it, served from this process.
    def _start_bus(self):
        with open(self.path('bus.conf'), 'w') as conf:
            conf.write('<busconfig><type>system</type><listen>unix:path=%s</listen>'
                       '<auth>EXTERNAL</auth><policy context="default"><allow user="*"/>'
                       '<allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>'
                       '</policy></busconfig>' % self.path('bus'))
        # Its only complaint, when not really root, is that it cannot raise its fd limit.
        self.bus = subprocess.Popen(['dbus-daemon', '--nofork', '--print-address=1',
                                     '--config-file=' + self.path('bus.conf')],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.address = self.bus.stdout.readline().strip()
        self.conn = Gio.DBusConnection.new_for_address_sync(
            self.address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
            Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
        info = Gio.DBusNodeInfo.new_for_xml(SYSTEMD1_XML)
        self.conn.register_object('/org/freedesktop/systemd1', info.interfaces[0],
                                  self._systemd_call, None, None)
        self.conn.register_object('/org/freedesktop/systemd1/unit/suspend_2etarget',
                                  info.interfaces[1], None,
                                  lambda *a: GLib.Variant('s', 'loaded'), None)
        self.conn.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                            'RequestName', GLib.Variant('(su)', ('org.freedesktop.systemd1', 4)),
                            None, 0, -1, None)
        self.conn.signal_subscribe(None, LOGIN1[2], 'PrepareForSleep', LOGIN1[1], None, 0,
                                   lambda *a: self.announced.append((time.monotonic(),
                                                                     a[5].unpack()[0])))

    def _systemd_call(self, conn, sender, path, iface, method, args, invocation):
        if method != 'StartUnit':
            return invocation.return_value(None)
        self.started.append((time.monotonic(), args.unpack()))
        job = '/org/freedesktop/systemd1/job/%d' % len(self.started)
        invocation.return_value(GLib.Variant('(o)', (job,)))
        # The job ends at once: the "machine" has slept and woken.
        conn.emit_signal(None, path, iface, 'JobRemoved',
                         GLib.Variant('(uoss)', (len(self.started), job, args[0], 'done')))

    # logind, in a namespace where the kernel offers a sleep state.
    def start_logind(self):
        with open(self.path('state'), 'w') as state:
            state.write('freeze mem disk\n')
        with open(self.path('logind.conf'), 'w') as dropin:
            dropin.write('[Login]\nNAutoVTs=0\nInhibitDelayMaxSec=%s\n' % self.delay_max +
                         ''.join('Handle%s=ignore\n' % key for key in (
                             'PowerKey', 'SuspendKey', 'HibernateKey', 'LidSwitch',
                             'LidSwitchExternalPower', 'LidSwitchDocked', 'RebootKey')))
        script = ('set -e; mount --bind {0}/state /sys/power/state; mount -t tmpfs tmpfs /run/systemd;'
                  'mkdir /run/systemd/logind.conf.d; cp {0}/logind.conf /run/systemd/logind.conf.d/;'
                  'exec {1}').format(self.dir, LOGIND)
        with open(self.path('logind.log'), 'a') as log:
            self.logind = subprocess.Popen(
                ['unshare', '-m', '--propagation', 'private', 'sh', '-c', script], stderr=log,
                env=dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address, SYSTEMD_LOG_TARGET='console'))
        assert self.until(lambda: self._has_owner(LOGIN1[0])), self.text('logind.log')

    def stop_logind(self):
        self.logind.terminate()
        self.logind.wait()
        assert self.until(lambda: not self._has_owner(LOGIN1[0]))

    def _has_owner(self, name):
        return self.conn.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus',
                                   'org.freedesktop.DBus', 'NameHasOwner', GLib.Variant('(s)', (name,)),
                                   None, 0, -1, None).unpack()[0]

    def login1(self, method, args=None, callback=None):
        '''Calls logind as root; with a callback the call does not wait.'''
        if callback:
            return self.conn.call(*LOGIN1, method, args, None, 0, -1, None, callback)
        return self.conn.call_sync(*LOGIN1, method, args, None, 0, -1, None).unpack()

    def locks(self):
        '''The delay locks the application holds, as logind lists them.'''
        return [i for i in self.login1('ListInhibitors')[0]
                if i[1] == 'Hushmoor' and i[3] == 'delay' and i[0] == 'sleep'
                and self.app and i[5] == self.app.pid]

    # The radio: wlp2s0 on phy0, rfkill0; /dev/rfkill is a FIFO served here.
    def _start_kernel(self):
        phy = self.path('sys/devices/pci0000:00/0000:00:14.3/ieee80211/phy0')
        os.makedirs(phy + '/rfkill0')
        os.makedirs(self.path('sys/class/net/wlp2s0'))
        os.makedirs(self.path('dev'))
        os.symlink(phy, self.path('sys/class/net/wlp2s0/phy80211'))
        for name, text in (('sys/class/net/wlp2s0/ifindex', '3'), (phy + '/name', 'phy0'),
                           (phy + '/rfkill0/index', '0')):
            self._write(name, text)
        self.set_radio(True)
        os.mkfifo(self.path('dev/rfkill'))
        reader = os.open(self.path('dev/rfkill'), os.O_RDONLY | os.O_NONBLOCK)
        # Our own writer keeps the FIFO from reporting a hang-up between writes.
        self.fifo = (reader, os.open(self.path('dev/rfkill'), os.O_WRONLY))
        GLib.io_add_watch(reader, GLib.PRIORITY_HIGH, GLib.IO_IN, self._kernel_read)

    def _kernel_read(self, fd, condition):
        data = os.read(fd, 4096)
        for at in range(0, len(data) - len(data) % 8, 8):
            idx, kind, op, soft, hard = RFKILL_EVENT.unpack_from(data, at)
            self.writes.append((time.monotonic(), (idx, kind, op, soft)))
            if op == RFKILL_OP_CHANGE and idx == 0:
                self.set_radio(not soft)
        return True

    def set_radio(self, on):
        self.soft = not on
        rfkill = self.path('sys/devices/pci0000:00/0000:00:14.3/ieee80211/phy0/rfkill0')
        self._write(rfkill + '/soft', '0' if on else '1')
        self._write(rfkill + '/hard', '0')

    def _write(self, name, text):
        with open(self.path(name), 'w') as f:
            f.write(text + '\n')

    # The application.
    def launch(self, *arguments):
        home = self.path('home')
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address, HUSHMOOR_TEST_ROOT=self.dir,
                   HOME=home, XDG_CONFIG_HOME=home + '/.config', XDG_DATA_HOME=home + '/.local',
                   XDG_RUNTIME_DIR=self.path('run'), HUSHMOOR_SYSTEM_EVENTS_IDLE_QUIT='30')
        for name in ('DISPLAY', 'WAYLAND_DISPLAY'):
            env.pop(name, None)
        os.makedirs(self.path('run'), mode=0o700, exist_ok=True)
        with open(self.path('app.log'), 'a') as log:
            self.app = subprocess.Popen([self.app_path, *arguments], env=env,
                                        stdout=subprocess.DEVNULL, stderr=log)

    def text(self, name='app.log'):
        with open(self.path(name), errors='replace') as f:
            return f.read()

    def _strays(self):
        '''What the application started (System Events), found by our folder in its environment.'''
        found = []
        for pid in filter(str.isdigit, os.listdir('/proc')):
            try:
                with open('/proc/%s/environ' % pid, 'rb') as f:
                    mine = ('HUSHMOOR_TEST_ROOT=' + self.dir).encode() in f.read().split(b'\0')
            except OSError:
                continue
            if mine and (not self.app or int(pid) != self.app.pid):
                found.append(_Pid(int(pid)))
        return found

    def suspend(self, writes=0, wait=True):
        '''Asks logind to suspend (as root: no polkit); with `wait`, waits for
        the wake and for `writes` rfkill requests and returns what happened
        meanwhile: the announcement, StartUnit, the rfkill requests and the
        wake, with their times.'''
        before = (len(self.announced), len(self.started), len(self.writes))
        replies = []
        self.login1('Suspend', GLib.Variant('(b)', (False,)),
                    lambda conn, result: replies.append(conn.call_finish(result)))
        if not wait:
            return None
        assert self.until(lambda: replies and len(self.announced) >= before[0] + 2 and
                          len(self.writes) >= before[2] + writes), self.text()
        return Night(self.announced[before[0]:], self.started[before[1]:], self.writes[before[2]:])

class Night:
    def __init__(self, announced, started, writes):
        self.announced, self.started, self.writes = announced, started, writes
        self.asleep, self.woken = announced[0][0], announced[1][0]
        self.start_unit = started[0][0]


class _Pid:
    def __init__(self, pid):
        self.pid = pid

    def poll(self):
        return None

    def kill(self):
        try:
            os.kill(self.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass

    def wait(self):
        pass
