// The command's own options, answered before the application starts:
// --help (or -h) and --version print and exit, any other "--" option is a
// mistake. The "-Key value" settings are left to the user defaults.
#pragma once

#include <cstdio>
#include <optional>

// Looks at the arguments main was given. Returns the exit status when they
// asked for help (0), for the version (0) or held an unknown "--" option (2,
// the usage on `err`); 1 when the answer could not be written to `out`. None
// when the application should run. Call on the main thread before anything
// else starts; it blocks only while writing to `out` and `err`.
std::optional<int> answerCommandLine(int argc, const char* const argv[], std::FILE* out,
                                     std::FILE* err);
