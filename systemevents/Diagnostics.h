// System Events' own diagnostics. It runs detached, with standard error
// pointing nowhere useful, so each line also goes to the system log.
#pragma once

namespace systemevents {

[[gnu::format(printf, 1, 2)]] void reportProblem(const char* format, ...);

}  // namespace systemevents
