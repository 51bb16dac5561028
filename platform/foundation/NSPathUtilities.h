// The platform's standard-folder search. On Linux the user's Library and
// Application Support folders both map to the XDG data home (UserFolders.h):
// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share.
#pragma once

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
