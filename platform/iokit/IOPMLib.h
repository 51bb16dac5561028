// Power management: registration for system power notifications, their
// acknowledgement and the port that delivers them on the run loop. Forwards to
// the installed PowerSource.
#pragma once

#include <cstdint>
#include <string>

#include "platform/corefoundation/CFRunLoop.h"
#include "platform/iokit/IOMessage.h"

typedef uint32_t io_object_t;
typedef io_object_t io_service_t;
typedef uint32_t io_connect_t;
typedef uint32_t natural_t;
typedef int32_t kern_return_t;
typedef kern_return_t IOReturn;
typedef struct IONotificationPort* IONotificationPortRef;

inline constexpr IOReturn kIOReturnSuccess = 0;
inline constexpr IOReturn kIOReturnBadArgument = static_cast<IOReturn>(0xE00002C2);
inline constexpr io_connect_t MACH_PORT_NULL = 0;

typedef void (*IOServiceInterestCallback)(void* refcon, io_service_t service, natural_t messageType,
                                          void* messageArgument);

// Registers `callback` for system power notifications. On success returns a
// nonzero connection, fills *thePortRef with a new notification port and
// *notifier with the registration's handle; on failure returns 0 and sets both
// to none. Notifications reach `callback` through the port's run-loop source.
// Blocks while the power service answers: on Linux, logind's grant of the
// first lock and its delay limit, up to about 30 s (25 s for the lock, which
// may wait for polkit to start, 5 s for the limit) when logind is slow; so
// call it at start-up on the main thread, never from a notification callback.
io_connect_t IORegisterForSystemPower(void* refcon, IONotificationPortRef* thePortRef,
                                      IOServiceInterestCallback callback, io_object_t* notifier);
// What most likely made the last failed IORegisterForSystemPower fail, for
// the panel that says so (on Linux: logind refused the lock for lack of
// rights); empty when nothing more than the failure is known. Never blocks.
std::string IORegistrationFailureCauses();
// Lets the notification with this identifier (the callback's messageArgument)
// go on. kIOReturnBadArgument for an unknown connection or notification.
IOReturn IOAllowPowerChange(io_connect_t kernelPort, intptr_t notificationID);
// Ends the registration named by *notifier and sets it to 0.
IOReturn IODeregisterForSystemPower(io_object_t* notifier);
kern_return_t IOServiceClose(io_connect_t connect);
CFRunLoopSourceRef IONotificationPortGetRunLoopSource(IONotificationPortRef notify);
// Destroys the port and its run-loop source (detaching it); notifications still
// queued on it are dropped.
void IONotificationPortDestroy(IONotificationPortRef notify);
