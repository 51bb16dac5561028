// Our platform's own addition to the IOKit calls, for other platform
// services rather than for the application: when the application's callback
// starts and ends handling each power notification, so that a service the
// callback uses can tell what it is asked to do for a sleep or a wake. Main
// thread only, like the deliveries themselves.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/iokit/IOPMLib.h"

// Told just before a notification reaches its callback (handled false) and
// again once the callback has returned (handled true); not when the callback
// ends the process instead. Called on the main thread, from the port's
// run-loop source, in the order the observers were added; an observer must
// not post or acknowledge notifications itself. Add and remove on the main
// thread; removing one from inside an observer is allowed.
using IOPMHandlingObserver = std::function<void(natural_t messageType, bool handled)>;
using IOPMHandlingObserverID = uint64_t;
IOPMHandlingObserverID IOPMAddHandlingObserver(IOPMHandlingObserver observer);
void IOPMRemoveHandlingObserver(IOPMHandlingObserverID id);
