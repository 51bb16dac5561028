'''A logind of the tests' own, for what the real one cannot be made to do on
cue: refuse an Inhibit, answer it late, or answer it after another instance
has taken its name over. It serves logind's Manager as far as Hushmoor uses
it, on this process's main context, over a bus made by real_logind.start_bus.'''

import os
import select

from gi.repository import Gio, GLib

from real_logind import LOGIN1, connect

MANAGER = Gio.DBusNodeInfo.new_for_xml('''<node><interface name="org.freedesktop.login1.Manager">
 <method name="Inhibit"><arg type="s"/><arg type="s"/><arg type="s"/><arg type="s"/>
  <arg type="h" direction="out"/></method>
 <method name="ListInhibitors"><arg type="a(ssssuu)" direction="out"/></method>
 <property name="InhibitDelayMaxUSec" type="t" access="read"/>
 <signal name="PrepareForSleep"><arg type="b"/></signal></interface></node>''').interfaces[0]


class FakeLogind:
    def __init__(self, address, delay_max_usec):
        self.failures = []  # D-Bus error names, one per Inhibit to refuse
        self.held = None  # Inhibit calls waiting for their answer, while held
        self.locks = []  # (the read end of a granted lock's pipe, its inhibitor)
        self.calls = 0  # Inhibit calls received
        self.conn = connect(address)
        self.conn.register_object(LOGIN1[1], MANAGER, self._method,
                                  lambda *a: GLib.Variant('t', delay_max_usec), None)
        # Replacing whoever owns the name, as a restarted logind does.
        self.conn.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                            'RequestName', GLib.Variant('(su)', (LOGIN1[0], 3)), None, 0, -1, None)

    def _method(self, conn, sender, path, iface, method, args, invocation):
        if method == 'ListInhibitors':
            return invocation.return_value(GLib.Variant('(a(ssssuu))', (self.inhibitors(),)))
        self.calls += 1
        if self.failures:
            invocation.return_dbus_error(self.failures.pop(0), 'refused by the test')
        elif self.held is not None:
            self.held.append((args, invocation))
        else:
            self._grant(args, invocation)

    def _grant(self, args, invocation):
        read_end, write_end = os.pipe()
        self.locks.append((read_end, args.unpack() + (1000, 4242)))
        # The list takes the write end: once the reply is sent, the caller's copy is the only one.
        invocation.return_value_with_unix_fd_list(GLib.Variant('(h)', (0,)),
                                                  Gio.UnixFDList.new_from_array([write_end]))

    def inhibitors(self):
        '''The granted locks whose fd is still open (a closed one reads as end of file).'''
        return [inhibitor for fd, inhibitor in self.locks if not select.select([fd], [], [], 0)[0]]

    def lock_fd(self):
        '''The read end of the one open lock's pipe.'''
        return next(fd for fd, _ in self.locks if not select.select([fd], [], [], 0)[0])

    def hold(self, on):
        '''While held, Inhibit answers nothing; letting go answers what waits. Returns how many wait.'''
        held = self.held or []
        self.held = held if on else None
        for args, invocation in ([] if on else held):
            self._grant(args, invocation)
        return len(held)

    def announce(self, going_to_sleep):
        self.conn.emit_signal(None, LOGIN1[1], LOGIN1[2], 'PrepareForSleep',
                              GLib.Variant('(b)', (going_to_sleep,)))

    def stop(self):
        if not self.conn.is_closed():
            self.conn.close_sync(None)
        for fd, _ in self.locks:
            os.close(fd)
        self.locks = []
