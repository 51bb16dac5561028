// The command's own options, answered before the application starts:
// --help (or -h), --version and --status print and exit, any other "--"
// option is a mistake. The "-Key value" settings are left to the user defaults.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>

// Looks at the arguments main was given. Returns the exit status when they
// asked for help (0), for the version (0), for the status (what `status`
// returns after writing it to `out`) or held an unknown "--" option (2, the
// usage on `err`); 1 when the answer could not be written to `out`. None when
// the application should run. Call on the main thread before anything else
// starts; it blocks while writing to `out` and `err`, and in `status`.
std::optional<int> answerCommandLine(int argc, const char* const argv[], std::FILE* out,
                                     std::FILE* err,
                                     const std::function<int(std::FILE* out)>& status);
