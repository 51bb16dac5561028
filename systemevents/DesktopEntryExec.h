// The Exec line of a login item's desktop entry, derived from its path.
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

}  // namespace systemevents
