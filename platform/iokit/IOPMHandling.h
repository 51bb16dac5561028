// Our platform's own addition to the IOKit calls, for other platform
// services rather than for the application: which power notification the
// application's callback is handling now, so that a service the callback uses
// can tell what it is asked to do for a sleep or a wake. Main thread only,
// like the deliveries themselves.
#pragma once

#include <functional>

#include "platform/iokit/IOPMLib.h"

// The message type of the notification whose callback is running now; 0
// between notifications. Does not block.
natural_t IOPMMessageBeingHandled();

// Told just before a notification reaches its callback (handled false) and
// again once the callback has returned (handled true); not when the callback
// ends the process instead. One observer for the process; nullptr removes it.
// Called on the main thread, from the port's run-loop source; it must not
// post or acknowledge notifications itself.
using IOPMHandlingObserver = std::function<void(natural_t messageType, bool handled)>;
void IOPMSetHandlingObserver(IOPMHandlingObserver observer);
