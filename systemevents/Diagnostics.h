// System Events' own diagnostics. It runs detached, with standard error
// pointing nowhere useful, so each line also goes to the journal, under the
// identifier "System Events", like the rest of Hushmoor's messages.
#pragma once

namespace systemevents {

[[gnu::format(printf, 1, 2)]] void reportProblem(const char* format, ...);

}  // namespace systemevents
