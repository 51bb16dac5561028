// Running the unchanged application on simulated hardware. While the
// application runs, the script is fed to the main run loop by a source of
// lower order than the power port's, so every notification a command posts is
// handled before the next command runs.
#include "sim/SimulatedMachine.h"

#include <signal.h>

#include <cstdio>
#include <filesystem>

#include "app/PowerHandler.h"
#include "loginitems/LoginItemsAE.h"
#include "platform/appkit/AlertPresenterSim.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/ProcessExit.h"
#include "platform/applevents/LaunchServices.h"
#include "platform/corefoundation/CFRunLoop.h"
#include "platform/corewlan/RadioSleepGuard.h"
#include "app/StatusReport.h"
#include "platform/corewlan/RadioSleepRecord.h"
#include "platform/corewlan/WirelessBackendSim.h"
#include "platform/foundation/LogSink.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PlatformServices.h"
#include "platform/foundation/SleeperSim.h"
#include "platform/iokit/PowerSourceSim.h"
#include "sim/SimHome.h"
#include "systemevents/SystemEventsControl.h"

namespace {

class LineLogSink : public LogSink {
 public:
  explicit LineLogSink(std::ostream& out) : out_(out) {}
  void writeLogMessage(std::string_view message) override {
    out_ << "log: " << oneLine(std::string(message)) << '\n';
  }

 private:
  std::ostream& out_;
};

// The end of a launch: reported once the shut-down sequence has run.
class LaunchExit : public ProcessExit {
 public:
  explicit LaunchExit(std::ostream& out) : out_(out) {}
  [[noreturn]] void exitProcess(int status) override {
    out_ << "terminated\n";
    throw SimulatedProcessExit{status};
  }

 private:
  std::ostream& out_;
};

// After the power port (order 0): a command runs only when the notifications
// of the previous one have been handled.
constexpr long kFeederOrder = 100;

// What "system-events fail" makes System Events answer: the status of an
// application that may not be sent events.
constexpr OSStatus kRefusedStatus = -1743;

}  // namespace

std::string oneLine(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (c == '\n')
      result += "\\n";
    else
      result += c;
  }
  return result;
}

SimulatedMachine::SimulatedMachine(std::ostream& out, std::string home, std::string bundlePath)
    : out_(out),
      home_(std::move(home)),
      bundlePath_(std::move(bundlePath)),
      bundleIdentifier_(NSLoadMainInterface().bundleIdentifier),
      backends_(std::make_shared<PowerSourceSim>(), false, std::make_shared<LineLogSink>(out_),
                std::make_shared<LaunchExit>(out_)) {
  backends_.power->setAcknowledgementObserver([this](uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    out_ << "ack: " << text << '\n';
  });
  backends_.wireless->setPowerObserver(
      [this](bool on) { out_ << "radio: " << (on ? "on" : "off") << '\n'; });
  backends_.alerts->setPanelObserver([this](const AlertPanel& panel, const NSString& button) {
    out_ << "panel: " << oneLine(panel.title.UTF8String()) << " | "
         << oneLine(panel.message.UTF8String()) << " | " << button.UTF8String() << '\n';
  });
  backends_.sleeper->setSleepObserver([this](unsigned int asked, unsigned int waited) {
    out_ << "wait: " << waited;
    if (waited != asked) out_ << " of " << asked << " (the system sleeps without waiting longer)";
    out_ << '\n';
  });
  // logind's own default: it waits at most 5 s for the answers to a will-sleep.
  backends_.power->setDelayLimit(std::chrono::seconds(5));

  // The build tree's System Events, never one installed for the user.
  LSSetApplicationSearchFoldersForTesting({HUSHMOOR_SIM_APPLICATIONS_DIR});
}

SimulatedMachine::~SimulatedMachine() {
  if (!SimHome::stopSystemEvents())
    std::fprintf(stderr, "hushmoor-sim: System Events did not stop\n");
  LSSetApplicationSearchFoldersForTesting({});
  NSBundle::setMainBundlePath("");
  NSUserDefaults::resetStandardUserDefaults();
}

int SimulatedMachine::run(const std::vector<SimCommand>& script) {
  script_ = &script;
  next_ = 0;
  failure_.clear();
  while (next_ < script.size() && failure_.empty()) {
    const SimCommand& command = script[next_++];
    echo(command);
    if (command.kind == SimCommand::Kind::Launch)
      launch(command);
    else
      execute(command);
  }
  out_.flush();
  script_ = nullptr;
  return failure_.empty() ? 0 : 1;
}

void SimulatedMachine::launch(const SimCommand& command) {
  // A new process: process-wide state fresh, stored defaults kept.
  resetProcessWideStateForTesting();
  NSUserDefaults::resetStandardUserDefaults();

  NSBundle::setMainBundlePath(NSString::stringWithUTF8String(bundlePath_));
  // Each process has its own guard of the radio, as LinuxMachine installs.
  auto guard = std::make_shared<RadioSleepGuard>(backends_.wireless);
  guard->setClock([this] { return now_; });
  PlatformServices process = PlatformServices::current();
  process.wireless = guard;
  process.launchStep = [guard] { guard->restoreAfterUnfinishedSleep(); };
  ScopedPlatformServices launched(std::move(process));
  feeder_ = CFRunLoopSourceCreateWithHandler([this] { feedRunningApplication(); }, kFeederOrder);
  CFRunLoopAddSource(CFRunLoopGetMain(), feeder_, kCFRunLoopCommonModes);
  CFRunLoopSourceSignal(feeder_);
  running_ = true;
  runApplicationMain(command);
  running_ = false;
  CFRunLoopSourceDestroy(feeder_);
  feeder_ = nullptr;
}

// The application's main with the bundle's executable and the command's
// arguments, as the process would get them.
int SimulatedMachine::runApplicationMain(const SimCommand& command) {
  std::vector<std::string> arguments{bundlePath_ + "/Contents/MacOS/Hushmoor"};
  arguments.insert(arguments.end(), command.arguments.begin(), command.arguments.end());
  std::vector<const char*> argv;
  for (const std::string& a : arguments) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  return NSApplicationMain(static_cast<int>(arguments.size()), argv.data());
}

// A second launch in the same session, while the first copy runs: the
// application's main finds the first copy and returns at once, before any of
// the application runs, so calling it from inside the running one is what a
// second process would do.
void SimulatedMachine::launchSecondCopy(const SimCommand& command) {
  const int status = runApplicationMain(command);  // it logs before the line below
  out_ << "second copy exited: " << status << '\n';
}

void SimulatedMachine::reportRecord() {
  const RadioSleepRecord::Reading reading = RadioSleepRecord::read(RadioSleepRecord::path());
  if (reading.record)
    out_ << "record: radio " << reading.record->interfaceName << " off for a sleep\n";
  else
    out_ << "record: " << (reading.present ? "unreadable" : "none") << '\n';
}

// What `hushmoor --status` would print on this machine, and its exit status.
void SimulatedMachine::reportStatus() {
  const StatusReport report = makeStatusReport(bundleIdentifier_, bundlePath_, power(), wireless());
  for (const std::string& line : report.lines) out_ << "status: " << line << '\n';
  out_ << "status: exit " << (report.healthy ? 0 : 1) << '\n';
}

void SimulatedMachine::feedRunningApplication() {
  // The end of the script quits the application.
  if (next_ == script_->size()) NSApp->terminate(nullptr);
  const SimCommand& command = (*script_)[next_++];
  echo(command);
  if (command.kind == SimCommand::Kind::Launch)
    launchSecondCopy(command);
  else
    execute(command);
  if (!failure_.empty()) NSApp->terminate(nullptr);
  CFRunLoopSourceSignal(feeder_);
}

void SimulatedMachine::echo(const SimCommand& command) {
  if (echo_) out_ << "> " << command.text << '\n';
}

void SimulatedMachine::execute(const SimCommand& command) {
  using K = SimCommand::Kind;
  switch (command.kind) {
    case K::WifiOn:
      backends_.wireless->setHardware(true, true);
      break;
    case K::WifiOff:
      backends_.wireless->setHardware(true, false);
      break;
    case K::WifiAbsent:
      backends_.wireless->setPresent(false);
      break;
    case K::WifiFailOff:
      backends_.wireless->setFailPowerOff(true);
      break;
    case K::WifiFailOn:
      backends_.wireless->setFailPowerOn(true);
      break;
    case K::WifiOtherChange:
      backends_.wireless->reportOtherChange();
      break;
    case K::WifiOk:
      backends_.wireless->setFailPowerOff(false);
      backends_.wireless->setFailPowerOn(false);
      break;
    case K::RegistrationFail:
      backends_.power->setRegistrationSucceeds(false);
      break;
    case K::RegistrationOk:
      backends_.power->setRegistrationSucceeds(true);
      break;
    case K::PowerDelayLimit:
      if (command.index < 0)
        backends_.power->setDelayLimit(std::nullopt);
      else
        backends_.power->setDelayLimit(std::chrono::seconds(command.index));
      break;
    case K::Record:
      reportRecord();
      break;
    case K::Status:
      reportStatus();
      break;
    case K::Pass:
      now_ += std::chrono::seconds(command.index);
      break;
    case K::DefaultsWrite:
    case K::DefaultsDelete: {
      // Another process (the user's "defaults" tool) changes the stored domain.
      NSUserDefaults store(bundleIdentifier_, {});
      if (command.kind == K::DefaultsWrite)
        std::visit(
            [&](auto value) {
              if constexpr (std::is_same_v<decltype(value), bool>)
                store.setBool(value, command.arguments[0]);
              else
                store.setInteger(value, command.arguments[0]);
            },
            *NSDefaultsValueFromString(command.arguments[1]));
      else
        store.removeObjectForKey(command.arguments[0]);
      if (!store.synchronize())
        failure_ = "line " + std::to_string(command.line) + ": cannot write " +
                   store.applicationDomainPath();
      break;
    }
    case K::Notify:
      backends_.power->post(command.messageType);
      break;
    case K::Quit:
      if (running_) NSApp->terminate(nullptr);
      break;
    case K::Crash:
      if (running_) crash();
      break;
    case K::Bundle: {
      // Used from the next launch on; a running application keeps its own.
      const std::string bundle = resolve(command.arguments[0]);
      std::error_code ec;
      std::filesystem::create_directories(bundle + "/Contents/MacOS", ec);
      if (ec)
        fail(command, "cannot create the bundle " + bundle + ": " + ec.message());
      else
        bundlePath_ = bundle;
      break;
    }
    case K::LoginItemsList:
    case K::LoginItemsAdd:
    case K::LoginItemsRemove:
      loginItemsCommand(command);
      break;
    case K::SystemEventsFail:
    case K::SystemEventsOk:
    case K::SystemEventsStop:
      systemEventsCommand(command);
      break;
    case K::Launch:
      break;  // handled by run()
  }
}

// The application is killed: no shut-down sequence runs.
// What the system takes back from a dead process goes too: its power
// registration (logind drops a dead process's lock, so an unacknowledged sleep
// goes on) and its notification port.
void SimulatedMachine::crash() {
  IODeregisterForSystemPower(&powerNotifier);
  IOServiceClose(powerConnection);
  IONotificationPortDestroy(powerNotificationPort);
  out_ << "crashed\n";
  throw SimulatedProcessExit{128 + SIGKILL};
}

std::string SimulatedMachine::resolve(const std::string& path) const {
  return path.starts_with("~/") ? home_ + path.substr(1) : path;
}

void SimulatedMachine::fail(const SimCommand& command, const std::string& reason) {
  failure_ = "line " + std::to_string(command.line) + ": " + reason;
}

// The machine reads and changes the list through System Events like any other
// program, so a refusing System Events refuses these commands too.
void SimulatedMachine::loginItemsCommand(const SimCommand& command) {
  using K = SimCommand::Kind;
  if (command.kind == K::LoginItemsAdd) {
    // Another program may list a path where nothing is (any more), so the
    // reference is made from the path as it stands.
    const FSRef item{resolve(command.arguments[0])};
    if (const OSStatus err = LIAEAddRefAtEnd(&item, command.hidden); err != noErr)
      fail(command, "cannot add a login item: status " + std::to_string(err));
    return;
  }
  if (command.kind == K::LoginItemsRemove) {
    if (const OSStatus err = LIAERemove(command.index); err != noErr)
      fail(command, "cannot remove login item " + std::to_string(command.index) + ": status " +
                        std::to_string(err));
    return;
  }
  CFArrayRef items = nullptr;
  if (const OSStatus err = LIAECopyLoginItems(&items); err != noErr) {
    fail(command, "cannot read the login items: status " + std::to_string(err));
    return;
  }
  const CFIndex count = CFArrayGetCount(items);
  for (CFIndex i = 0; i < count; ++i) {
    auto record = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(items, i));
    auto url = static_cast<CFURLRef>(CFDictionaryGetValue(record, kLIAEURL));
    auto hidden = static_cast<CFBooleanRef>(CFDictionaryGetValue(record, kLIAEHidden));
    out_ << "login-item: " << i << ' ' << url->path()
         << (CFBooleanGetValue(hidden) ? " hidden" : "") << '\n';
  }
  out_ << "login-items: " << count << '\n';
  CFRelease(items);
}

// A failure lasts until "ok", also across a stop: a System Events started
// later reads it from the environment it inherits.
void SimulatedMachine::systemEventsCommand(const SimCommand& command) {
  using K = SimCommand::Kind;
  ProcessSerialNumber psn;
  const bool running = SystemEventsFindRunning(&psn) == noErr;
  if (command.kind == K::SystemEventsStop) {
    if (running && !SimHome::stopSystemEvents()) fail(command, "System Events did not stop");
    return;
  }
  const OSStatus status = command.kind == K::SystemEventsFail ? kRefusedStatus : noErr;
  if (status != noErr)
    setenv(kSystemEventsFailureVariable, std::to_string(status).c_str(), 1);
  else
    unsetenv(kSystemEventsFailureVariable);
  if (running) {
    if (const OSStatus err = SystemEventsSetFailure(psn, status); err != noErr)
      fail(command, "System Events did not take the command: status " + std::to_string(err));
  }
}
