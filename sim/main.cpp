// hushmoor-sim [--echo] [--home DIR] [SCRIPT]: runs the application on the simulated
// machine, reading commands from SCRIPT or standard input and writing each
// observable event to standard output.
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "sim/SimHome.h"
#include "sim/SimScript.h"
#include "sim/SimulatedMachine.h"

namespace {
const char kUsage[] = "usage: hushmoor-sim [--echo] [--home DIR] [SCRIPT]\n";

// The whole reference: the options, every command and every output line.
const char kHelp[] = R"(
Runs the Hushmoor application on a simulated machine, one command per line
from SCRIPT or standard input ("#" starts a comment; quote or escape spaces).

options:
  --echo       write each command as "> COMMAND" before the events it causes
  --home DIR   the run's home ("~/" in paths), kept afterwards; default: a
               temporary folder removed at the end

commands:
  wifi on|off|absent            radio on, radio off, no wireless interface
  wifi fail-off|fail-on|ok      radio requests fail from now on; ok ends both
  wifi other-change             the kernel reports a change of another radio
  power-registration fail|ok    whether the next launch's registration works
  power-delay-limit N|none      how long the system waits for the answers to a
                                will-sleep (default 5 s, logind's own default)
  defaults write KEY VALUE      change a stored default (integer or YES/NO)
  defaults delete KEY           remove a stored default
  launch [ARG...]               start the application (panels get their
                                default button); while it runs: a second
                                copy in the same session
  quit                          terminate the application
  crash                         kill the application (no shut-down sequence)
  record                        show the record of a radio switched off for
                                a sleep
  status                        what `hushmoor --status` says on this machine
  pass SECONDS                  time passes (no sleep: the clock of reminders)
  sleep | can-sleep | wake      post 0xE0000280 | 0xE0000270 | 0xE0000300
  notify 0xHEX                  post any message code
  bundle PATH                   the bundle of the next launch
  login-items                   list the login items
  login-items add PATH [hidden] add a login item, as another program would
  login-items remove INDEX      remove the login item at INDEX (from 0)
  system-events fail|ok|stop    System Events refuses every event, behaves
                                again, or stops

output lines:
  > COMMAND                     the command that causes what follows (--echo)
  log: MESSAGE                  a log message (line breaks written as \n)
  panel: TITLE | MESSAGE | BUTTON   a panel and the button that dismissed it
  radio: off | radio: on        the radio was switched
  wait: N                       the application waited N seconds
  wait: N of M (...)            it asked for M, the system's limit ended it at N
  record: ...                   the radio record: "radio en1 off for a sleep",
                                "none" or "unreadable"
  status: LINE                  a line of `hushmoor --status`, then
                                "status: exit 0|1"
  second copy exited: STATUS    a second launch found the first and ended
  ack: 0xCODE                   a notification was acknowledged
  terminated                    the application ended
  crashed                       the application was killed
  login-item: INDEX PATH [hidden]   one login item
  login-items: N                the number of login items

A mistake in the script is reported with its line number on standard error
before anything runs (exit 1); usage mistakes exit 2.
)";

int usage() {
  std::cerr << kUsage;
  return 2;
}
}  // namespace

int main(int argc, char* argv[]) {
  std::optional<std::string> home;
  std::optional<std::string> scriptPath;
  bool echo = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--home") {
      if (++i == argc) return usage();
      home = argv[i];
    } else if (arg == "--echo") {
      echo = true;
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage << kHelp;
      return 0;
    } else if (!scriptPath && (arg == "-" || arg.empty() || arg[0] != '-')) {
      scriptPath = arg;
    } else {
      return usage();
    }
  }

  std::vector<SimCommand> script;
  const std::string name = scriptPath && *scriptPath != "-" ? *scriptPath : "<stdin>";
  try {
    if (name == "<stdin>") {
      script = parseSimScript(std::cin);
    } else {
      std::ifstream file(*scriptPath);
      if (!file) {
        std::cerr << "hushmoor-sim: cannot open " << *scriptPath << '\n';
        return 1;
      }
      script = parseSimScript(file);
    }
  } catch (const SimScriptError& e) {
    std::cerr << "hushmoor-sim: " << name << ": " << e.what() << '\n';
    return 1;
  }

  try {
    SimHome simHome(home);
    SimulatedMachine machine(std::cout, simHome.path(), simHome.bundlePath());
    machine.setEcho(echo);
    const int status = machine.run(script);
    if (status != 0) std::cerr << "hushmoor-sim: " << name << ": " << machine.failure() << '\n';
    return status;
  } catch (const std::exception& e) {
    std::cerr << "hushmoor-sim: " << e.what() << '\n';
    return 1;
  }
}
