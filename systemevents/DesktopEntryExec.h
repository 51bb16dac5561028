// The Exec and TryExec lines of a login item's desktop entry, derived from its path.
#pragma once

#include <string>

namespace systemevents {

// One argument quoted as the Desktop Entry specification asks: inside double
// quotes, with '"', '`', '$' and '\' escaped by a backslash and '%' doubled.
// (The key file's own string escaping is applied later, when the value is
// stored.)
std::string quoteExecArgument(const std::string& argument);

// An application bundle runs its executable, an executable file runs itself,
// anything else (documents, folders, paths that are gone) opens with xdg-open.
std::string execLineForPath(const std::string& path);

// The program the entry's Exec line runs directly (a bundle's executable or an
// executable file), for TryExec: a desktop skips the entry once that program
// is gone, so an uninstalled application does not fail at every login. Empty
// when Exec opens the path with xdg-open, and for a program whose path holds a
// control character (see the definition).
std::string tryExecForPath(const std::string& path);

}  // namespace systemevents
