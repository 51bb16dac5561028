// hushmoor-sim [--home DIR] [SCRIPT]: runs the application on the simulated
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
int usage() {
  std::cerr << "usage: hushmoor-sim [--home DIR] [SCRIPT]\n";
  return 2;
}
}  // namespace

int main(int argc, char* argv[]) {
  std::optional<std::string> home;
  std::optional<std::string> scriptPath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--home") {
      if (++i == argc) return usage();
      home = argv[i];
    } else if (arg == "-h" || arg == "--help") {
      usage();
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
    const int status = machine.run(script);
    if (status != 0) std::cerr << "hushmoor-sim: " << name << ": " << machine.failure() << '\n';
    return status;
  } catch (const std::exception& e) {
    std::cerr << "hushmoor-sim: " << e.what() << '\n';
    return 1;
  }
}
