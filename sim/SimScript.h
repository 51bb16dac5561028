// hushmoor-sim's scripts: one command per line, "#" starts a comment, blank
// lines are ignored. The whole script is checked before anything runs, so a
// mistake on line 40 does not leave a half-run machine behind.
#pragma once

#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

struct SimCommand {
  enum class Kind {
    WifiOn, WifiOff, WifiAbsent, WifiFailOff, WifiFailOn, WifiOk,
    RegistrationFail, RegistrationOk,
    DefaultsWrite, DefaultsDelete,
    Launch, Notify, Quit,
  };
  Kind kind;
  int line = 0;
  std::vector<std::string> arguments;  // Launch: process arguments; Defaults*: key [, value]
  uint32_t messageType = 0;            // Notify
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
SimCommand parseSimCommand(const std::string& line, int lineNumber);  // the line has text
