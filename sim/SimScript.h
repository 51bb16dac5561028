// hushmoor-sim's scripts: one command per line, split into words as a shell
// would (quotes or a backslash keep a space inside a word, as paths need); a
// word starting with "#" starts a comment; blank lines are ignored. The whole
// script is checked before anything runs, so a mistake on line 40 does not
// leave a half-run machine behind.
#pragma once

#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

struct SimCommand {
  enum class Kind {
    WifiOn,
    WifiOff,
    WifiAbsent,
    WifiFailOff,
    WifiFailOn,
    WifiOk,
    WifiOtherChange,
    RegistrationFail,
    RegistrationOk,
    PowerDelayLimit,
    DefaultsWrite,
    DefaultsDelete,
    Launch,
    Notify,
    Quit,
    Crash,
    Bundle,
    LoginItemsList,
    LoginItemsAdd,
    LoginItemsRemove,
    SystemEventsFail,
    SystemEventsOk,
    SystemEventsStop,
    Record,
    Status,
    Pass,
  };
  Kind kind;
  int line = 0;
  // Launch: process arguments; Defaults*: key [, value]; Bundle, LoginItemsAdd:
  // the path, absolute or "~/..." for the run's home.
  std::vector<std::string> arguments;
  uint32_t messageType = 0;  // Notify
  bool hidden = false;       // LoginItemsAdd
  long index = 0;  // LoginItemsRemove; PowerDelayLimit: seconds, -1 for none; Pass: seconds
  // The command as one line for echoing: its words, quoted where a shell
  // would need it, without the comment.
  std::string text = {};
};

class SimScriptError : public std::runtime_error {
 public:
  SimScriptError(int line, const std::string& message)
      : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// Throws SimScriptError for the first unknown command or malformed line.
std::vector<SimCommand> parseSimScript(std::istream& in);
// The command of one line's words (at least one).
SimCommand parseSimCommand(const std::vector<std::string>& words, int lineNumber);
