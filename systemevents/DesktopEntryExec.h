// The Exec and TryExec lines of a login item's desktop entry, derived from its path.
#pragma once

#include <string>

namespace systemevents {

// An application bundle runs its executable, an executable file runs itself,
// anything else (documents, folders, paths that are gone) opens with xdg-open.
// A path with characters launchers read differently goes through sh (see the
// definition), so gio and systemd-xdg-autostart-generator both start it.
std::string execLineForPath(const std::string& path);

// The program the entry's Exec line runs directly (a bundle's executable or an
// executable file), for TryExec: a desktop skips the entry once that program
// is gone, so an uninstalled application does not fail at every login. Empty
// when Exec opens the path with xdg-open, and for a program whose path must go
// through sh in Exec.
std::string tryExecForPath(const std::string& path);

}  // namespace systemevents
