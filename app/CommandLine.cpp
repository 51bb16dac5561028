// --help, --version, --status and unknown options of the hushmoor command.
// They are answered before any backend is installed, so asking for help or
// the status starts no panel, adds no login item, takes no logind lock and
// starts no System Events.
#include "app/CommandLine.h"

#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: hushmoor [-SleepDelay N]\n"
    "       hushmoor --status | --help | --version\n"
    "\n"
    "Switches the Wi-Fi radio off just before the laptop sleeps and back on\n"
    "after wake if it had been on. Start it once: it stays in the background\n"
    "and keeps itself in your login items.\n"
    "\n"
    "  -SleepDelay N  seconds to hold the sleep back once the radio is off\n"
    "                 (0 means 5); overrides the settings file for this run\n"
    "  --status       say whether Hushmoor runs and does its job, and exit\n"
    "                 (0 when a copy runs with its sleep lock and no radio\n"
    "                 waits to be switched back on, 1 otherwise)\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Settings: ~/.config/com.kestrova.Hushmoor.defaults (in $XDG_CONFIG_HOME\n"
    "          when it is set), group [Defaults], for example SleepDelay=3\n"
    "Log:      standard error and the journal: journalctl --user -t Hushmoor\n"
    "\n"
    "More in the manual: man hushmoor\n";

// A full disk or a closed pipe must not pass for a help that was printed.
int finish(std::FILE* out, std::FILE* err) {
  if (std::fflush(out) == 0 && std::ferror(out) == 0) return 0;
  std::fprintf(err, "hushmoor: cannot write to standard output: %s\n", std::strerror(errno));
  return 1;
}

}  // namespace

std::optional<int> answerCommandLine(int argc, const char* const argv[], std::FILE* out,
                                     std::FILE* err,
                                     const std::function<int(std::FILE* out)>& status) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, out);
      return finish(out, err);
    }
    if (argument == "--version") {
      std::fputs("hushmoor " HUSHMOOR_VERSION "\n", out);
      return finish(out, err);
    }
    if (argument == "--status") {
      const int healthy = status(out);
      return finish(out, err) == 0 ? healthy : 1;
    }
    // Settings take one dash ("-SleepDelay 3"); two dashes are an option
    // this command does not have, so the user hears so instead of a start
    // that ignores it.
    if (argument.starts_with("--")) {
      std::fprintf(err, "hushmoor: unknown option %s\n\n%s", argv[i], kUsage);
      return 2;
    }
  }
  return std::nullopt;
}
