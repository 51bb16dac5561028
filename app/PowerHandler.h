// The power event handler and the process-wide power registration state it
// shares with Controller.
#pragma once

#include "platform/iokit/IOPMLib.h"

// The radio's state when the last will-sleep arrived; false at process start.
extern bool airportWasOn;
// Filled in by Controller's power registration; 0 / none while unregistered.
extern io_connect_t powerConnection;
extern IONotificationPortRef powerNotificationPort;
extern io_object_t powerNotifier;

// Called on the main thread for every system power notification.
void MySleepCallBack(void* refCon, io_service_t service, natural_t messageType,
                     void* messageArgument);

// The seconds a will-sleep waits for a SleepDelay value.
unsigned int sleepDelaySeconds(long sleepDelay);
// The seconds a will-sleep waits with the SleepDelay set now (read afresh).
unsigned int configuredSleepWaitSeconds();

// Back to the values a new process starts with: for the simulated machine and
// the tests, whose launches share one host process.
void resetProcessWideStateForTesting();
