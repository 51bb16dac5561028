// The simulated machine: the application's platform with simulated power,
// radio, panels, sleep and termination, driven by a script and reporting each
// observable event as one line. The login items are real: the System Events
// of the build tree, in the run's home, started by the first event that needs
// it and stopped when the machine goes.
#pragma once

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/machine/ScopedSimulatedBackends.h"
#include "sim/SimScript.h"

typedef struct __CFRunLoopSource* CFRunLoopSourceRef;

class SimulatedMachine {
 public:
  // Installs the simulated backends for the machine's lifetime. `home` is the
  // run's home ("~/" in paths); the application's bundle is at `bundlePath`
  // until a script says otherwise.
  SimulatedMachine(std::ostream& out, std::string home, std::string bundlePath);
  ~SimulatedMachine();
  SimulatedMachine(const SimulatedMachine&) = delete;
  SimulatedMachine& operator=(const SimulatedMachine&) = delete;

  // Runs the commands in order; the end of the script quits a running
  // application. Returns 0, or 1 after a command that cannot run (failure()
  // then says why, with the line number).
  int run(const std::vector<SimCommand>& script);
  const std::string& failure() const { return failure_; }
  // Whether each command is written as "> COMMAND" before the events it causes.
  void setEcho(bool echo) { echo_ = echo; }

  PowerSourceSim& power() { return *backends_.power; }
  WirelessBackendSim& wireless() { return *backends_.wireless; }

 private:
  void execute(const SimCommand& command);
  void echo(const SimCommand& command);
  void launch(const SimCommand& command);
  void launchSecondCopy(const SimCommand& command);
  int runApplicationMain(const SimCommand& command);
  void reportRecord();
  void reportStatus();
  void feedRunningApplication();
  [[noreturn]] void crash();
  void loginItemsCommand(const SimCommand& command);
  void systemEventsCommand(const SimCommand& command);
  std::string resolve(const std::string& path) const;
  void fail(const SimCommand& command, const std::string& reason);

  std::ostream& out_;
  std::string home_;
  std::string bundlePath_;
  std::string bundleIdentifier_;
  ScopedSimulatedBackends backends_;

  const std::vector<SimCommand>* script_ = nullptr;
  size_t next_ = 0;
  bool running_ = false;
  CFRunLoopSourceRef feeder_ = nullptr;
  std::string failure_;
  std::chrono::steady_clock::time_point now_{};  // the machine's clock, moved by `pass`
  bool echo_ = false;
};

// Log and panel texts on one output line: line breaks written as "\n", a
// single line break at the end dropped (it ends the log line anyway).
std::string oneLine(std::string text);
