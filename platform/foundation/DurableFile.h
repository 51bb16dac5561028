// Files that a crash or a power cut leaves whole or not at all: the data goes
// to a temporary file beside the target, reaches the disk, is renamed into
// place, and the folder is synced so that the new name lasts too.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/SystemError.h"

// Used by every part that keeps a file of its own: the login-item store, the
// radio record.
namespace DurableFile {

// Replaces `file` with `data`, with permissions `mode` whatever the umask,
// through a temporary file made from `temporaryTemplate` (a path in the same
// folder ending in "XXXXXX"). Without `durable` nothing is synced (for tests
// that write many files). The temporary file never stays behind. Blocks on
// the file system; any thread. Returns the problem, if any: then `file` is as
// it was. A folder that cannot be synced once the file is in place is no
// failure: that warning goes to `*warning`, or to NSLog without one.
std::optional<SystemError> replace(const std::string& file, std::string temporaryTemplate,
                                   std::string_view data, mode_t mode, bool durable = true,
                                   std::string* warning = nullptr);

// Removes `file` (nothing to do when there is none), then syncs its folder
// unless `durable` is false. Returns the problem when the file could not be
// removed; a folder that cannot be synced afterwards is no failure, as above.
std::optional<SystemError> remove(const std::string& file, bool durable = true,
                                  std::string* warning = nullptr);

// Syncs the folder, so that a rename or a removal in it lasts. Blocks; any
// thread. Returns the problem, if any.
std::optional<SystemError> syncFolder(const std::string& folder);

// The folder part of a path ("." for a bare name).
std::string folderOf(const std::string& path);

}  // namespace DurableFile
