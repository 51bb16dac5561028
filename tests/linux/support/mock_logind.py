'''logind for Hushmoor's tests

python-dbusmock's logind template (Inhibit hands out a real fd, ListInhibitors
shows the live ones), plus InhibitDelayMaxUSec and two ways for Inhibit to
misbehave: fail (as with OperationInProgress around a sleep) or answer late.
'''

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


@dbus.service.method(MAIN_IFACE, in_signature='ssss', out_signature='h',
                     async_callbacks=('reply', 'fail'))
def Inhibit(self, what, who, why, mode, reply, fail):
    if mockobject.inhibit_failures:
        name = mockobject.inhibit_failures.pop(0)
        fail(dbus.exceptions.DBusException('refused by the test', name=name))
    elif mockobject.held is not None:
        mockobject.held.append(lambda: reply(_logind.Inhibit(self, what, who, why, mode)))
    else:
        reply(_logind.Inhibit(self, what, who, why, mode))


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
