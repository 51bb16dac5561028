// NSLog: one log line from a printf-style format checked at compile time
// (%s, %d, %i, %u, %@, %%; a missing object prints "(null)"), written to the
// installed LogSink.
#pragma once

#include "platform/foundation/FormatString.h"
#include "platform/foundation/LogSink.h"
#include "platform/foundation/NSString.h"

void NSLogMessage(std::string_view message);

template <class... Args>
void NSLog(FormatString<std::type_identity_t<Args>...> format, const Args&... args) {
  NSLogMessage(formatToUTF8(format, args...));
}
