// NSLog's plumbing: each message goes to the sink of the installed platform
// services (standard error when none is installed).
#include "platform/foundation/NSLog.h"

#include "platform/foundation/PlatformServices.h"

void NSLogMessage(std::string_view message) { NSCurrentLogSink()->writeLogMessage(message); }
