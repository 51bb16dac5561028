// The platform's standard-folder search. On Linux the user's Library and
// Application Support folders both map to the XDG data home:
// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NSString.h"

enum NSSearchPathDirectory : unsigned {
  NSLibraryDirectory = 5,
  NSApplicationSupportDirectory = 14,
};

enum NSSearchPathDomainMask : unsigned {
  NSUserDomainMask = 1,
};

// The folders for a directory in a domain; empty when none is known (no home
// folder, or a directory or domain this platform does not offer).
std::vector<NSString> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory,
                                                          NSSearchPathDomainMask domains,
                                                          bool expandTilde);

namespace foundation_detail {
// Reads one environment variable; nothing when it is unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
// The search with its environment and the account's home folder (asked only
// when HOME is unset) made explicit.
std::vector<NSString> searchPaths(NSSearchPathDirectory directory, NSSearchPathDomainMask domains,
                                  bool expandTilde, const EnvironmentLookup& environment,
                                  const std::function<std::optional<std::string>()>& accountHome);
}  // namespace foundation_detail
