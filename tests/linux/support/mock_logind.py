'''logind for Hushmoor's tests: python-dbusmock's template plus InhibitDelayMaxUSec, an
Inhibit that fails (as with OperationInProgress around a sleep) or answers late, and a
ListInhibitors that shows the locks whose fd is open at the moment it is called.'''

import os
import select

import dbus

from dbusmock import MOCK_IFACE, mockobject
from dbusmock.templates import logind as _logind
from dbusmock.templates.logind import *  # noqa: F401,F403  (the template's methods)

BUS_NAME = _logind.BUS_NAME
MAIN_OBJ = _logind.MAIN_OBJ
MAIN_IFACE = _logind.MAIN_IFACE
SYSTEM_BUS = True


def load(mock, parameters):
    _logind.load(mock, parameters)
    mock.AddProperty(MAIN_IFACE, 'InhibitDelayMaxUSec',
                     dbus.UInt64(parameters.get('InhibitDelayMaxUSec', 5000000)))
    mockobject.inhibit_failures = []
    mockobject.held = None  # the held Inhibit calls while answers are held back
    mockobject.locks = []  # (the read end of the lock's pipe, the inhibitor)


@dbus.service.method(MAIN_IFACE, in_signature='ssss', out_signature='h',
                     async_callbacks=('reply', 'fail'))
def Inhibit(self, what, who, why, mode, reply, fail):
    if mockobject.inhibit_failures:
        name = mockobject.inhibit_failures.pop(0)
        fail(dbus.exceptions.DBusException('refused by the test', name=name))
        return

    def grant():
        fd_r, fd_w = os.pipe()
        mockobject.locks.append((fd_r, (what, who, why, mode, 1000, 123456)))
        reply(fd_w)  # the reply holds a copy: the caller's is the only one left
        os.close(fd_w)
    mockobject.held.append(grant) if mockobject.held is not None else grant()


@dbus.service.method(MAIN_IFACE, in_signature='', out_signature='a(ssssuu)')
def ListInhibitors(self):
    return [inhibitor for fd, inhibitor in mockobject.locks
            if not select.select([fd], [], [], 0)[0]]  # readable: end of file


@dbus.service.method(MOCK_IFACE, in_signature='su', out_signature='')
def FailInhibit(self, error_name, times):
    '''The next `times` Inhibit calls fail with the D-Bus error `error_name`.'''
    mockobject.inhibit_failures = [str(error_name)] * int(times)


@dbus.service.method(MOCK_IFACE, in_signature='b', out_signature='u')
def HoldInhibit(self, hold):
    '''While held, Inhibit answers nothing; releasing answers the held calls.'''
    held = mockobject.held or []
    mockobject.held = held if hold else None
    if not hold:
        for answer in held:
            answer()
    return len(held)
