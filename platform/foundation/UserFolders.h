// The user's base folders, after the XDG Base Directory conventions, in one
// place for every part of Hushmoor (settings, the radio record, the login
// items, the runtime folder of locks and sockets): a variable that holds an
// absolute path wins, a relative one is ignored, and otherwise the default
// lies under the home folder ($HOME when set, else the account's).
//
// Read afresh at every call rather than through GLib's g_get_user_*_dir,
// which keep the first answer for the life of the process: the simulated
// machine and the tests give each run a home of its own, and the same process
// must then see it. None of these blocks beyond reading the environment (and,
// without $HOME, the account database once).
#pragma once

#include <optional>
#include <string>

namespace UserFolders {
std::string home();
std::string config();  // $XDG_CONFIG_HOME or ~/.config
std::string data();    // $XDG_DATA_HOME or ~/.local/share
std::string state();   // $XDG_STATE_HOME or ~/.local/state
// $XDG_RUNTIME_DIR; none when it is unset or relative (the caller then picks
// a place of its own: the folder must be private to the user, which no
// default guarantees).
std::optional<std::string> runtime();
}  // namespace UserFolders
