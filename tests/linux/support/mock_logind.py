'''logind for Hushmoor's tests

python-dbusmock's logind template (Inhibit hands out a real fd, ListInhibitors
shows the live ones), plus the InhibitDelayMaxUSec property and a way to make
the next Inhibit calls fail with a given D-Bus error, as logind does with
org.freedesktop.login1.OperationInProgress right around a sleep.
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


@dbus.service.method(MAIN_IFACE, in_signature='ssss', out_signature='h')
def Inhibit(self, what, who, why, mode):
    failures = getattr(mockobject, 'inhibit_failures', [])
    if failures:
        name = failures.pop(0)
        raise dbus.exceptions.DBusException('refused by the test', name=name)
    return _logind.Inhibit(self, what, who, why, mode)


@dbus.service.method(MOCK_IFACE, in_signature='su', out_signature='')
def FailInhibit(self, error_name, times):
    '''The next `times` Inhibit calls fail with the D-Bus error `error_name`.'''
    mockobject.inhibit_failures = [str(error_name)] * int(times)
