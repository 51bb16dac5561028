// The status report: each line from its own source, none of them changed.
#include "app/StatusReport.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>

#include "app/PowerHandler.h"
#include "platform/appkit/ApplicationInstanceLock.h"
#include "platform/corewlan/RadioSleepRecord.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/UserFolders.h"
#include "systemevents/LoginItemStore.h"

namespace {

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", value);
  return text;
}

// The running copy's own arguments ("-SleepDelay 3" among them), which its
// settings take first.
std::vector<std::string> argumentsOf(int pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::string> arguments;
  for (size_t start = 0, end; start < all.size(); start = end + 1) {
    end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    arguments.push_back(all.substr(start, end - start));
  }
  return arguments;
}

std::string radioLine(WirelessBackend& radios, std::optional<RadioBlocks> blocks) {
  if (!blocks || !radios.hasInterface("en1"))
    return "Radio: none: no wireless interface with a radio switch (rfkill) is there";
  const std::string device = radios.radioDevice("en1");
  const std::string name = device == "en1" ? "en1" : "en1 is " + device;
  if (blocks->soft && blocks->hard) return "Radio: " + name + ": off (soft and hard block)";
  if (blocks->hard) return "Radio: " + name + ": off by its hardware switch (hard block)";
  return "Radio: " + name + (blocks->soft ? ": off (soft block)" : ": on");
}

// What a pending record waits for, told from the radio as it is now.
std::string awaited(std::optional<RadioBlocks> blocks, bool running) {
  if (!blocks) return "the radio is not there; it is switched back on when it comes back";
  if (blocks->hard)
    return "the radio is held off by its hardware switch; it is switched back on when the "
           "switch is released";
  if (!blocks->soft) return "the radio is on again; the record goes at the next change of it";
  if (!running) return "the radio is switched back on at Hushmoor's next launch";
  return "a sleep is under way, or switching the radio back on failed (see the log); it is "
         "tried again at the next change of the radios, wake or launch";
}

}  // namespace

StatusReport makeStatusReport(const std::string& bundleIdentifier, const std::string& bundlePath,
                              const PowerSource& power, WirelessBackend& radios) {
  StatusReport report;
  auto& lines = report.lines;
  std::string problem;
  const std::optional<int> pid = ApplicationInstanceLock::holder(bundleIdentifier, &problem);
  if (pid)
    lines.push_back("Hushmoor: running, PID " + std::to_string(*pid));
  else if (problem.empty())
    lines.push_back("Hushmoor: not running (no copy holds " +
                    ApplicationInstanceLock::path(bundleIdentifier) + ")");
  else
    lines.push_back("Hushmoor: unknown: " + problem);

  const PowerSource::Report sleeps = power.report(pid.value_or(-1));
  if (!sleeps.reached)
    lines.push_back("Sleep lock: unknown: " + sleeps.problem);
  else if (!pid)
    lines.push_back("Sleep lock: none: sleeps do not wait for Hushmoor while it is not running");
  else if (sleeps.lockListed)
    lines.push_back("Sleep lock: held: " + sleeps.service + " waits for Hushmoor before each sleep");
  else
    lines.push_back("Sleep lock: not listed by " + sleeps.service +
                    ": sleeps do not wait for Hushmoor (see the log)");
  lines.push_back("Sleep hold limit: " +
                  (sleeps.holdLimit ? seconds(sleeps.holdLimit->count() / 1000.0) + " (" +
                                          sleeps.limitName + ")"
                                    : std::string(sleeps.reached ? "none" : "unknown")));

  const std::vector<std::string> arguments = pid ? argumentsOf(*pid) : std::vector<std::string>{};
  NSUserDefaults defaults(bundleIdentifier, arguments);
  const long sleepDelay = defaults.integerForKey("SleepDelay");
  const unsigned wait = sleepDelaySeconds(sleepDelay);
  const bool argument = std::find(arguments.begin(), arguments.end(), "-SleepDelay") != arguments.end();
  const std::string asked =
      "SleepDelay " + std::to_string(sleepDelay) +
      (argument ? " from the running copy's arguments" : " from " + defaults.applicationDomainPath()) +
      (sleepDelay <= 0 ? ", where 0 or none means 5 s" : "");
  if (sleeps.waitLimit && sleeps.waitLimit->count() < static_cast<long>(wait) * 1000)
    lines.push_back("Wait before a sleep: " + seconds(sleeps.waitLimit->count() / 1000.0) +
                    ", cut short: " + asked + " asks for " + seconds(wait) + ", but " +
                    sleeps.service + " holds a sleep back at most " +
                    seconds(sleeps.holdLimit->count() / 1000.0) + " (" + sleeps.limitName + ")");
  else
    lines.push_back("Wait before a sleep: " + seconds(wait) + " (" + asked + ")");

  const std::optional<RadioBlocks> blocks = radios.radioBlocks("en1");
  lines.push_back(radioLine(radios, blocks));

  const RadioSleepRecord::Reading record = RadioSleepRecord::read(RadioSleepRecord::path());
  if (record.record) {
    char since[32] = "";
    const std::time_t time = record.record->time;
    if (std::tm local; localtime_r(&time, &local) != nullptr)
      std::strftime(since, sizeof since, "%Y-%m-%d %H:%M:%S", &local);
    lines.push_back("Radio record: pending since " + std::string(since) + " for " +
                    record.record->device + ": " + awaited(blocks, pid.has_value()));
  } else if (record.present || record.inaccessible) {
    lines.push_back("Radio record: unreadable: " + record.problem);
  } else {
    lines.push_back("Radio record: none: no radio waits to be switched back on");
  }

  std::string item;
  for (const auto& entry : systemevents::LoginItemStore(UserFolders::config() + "/autostart").list())
    if (entry.path == bundlePath && item.empty()) item = entry.file;
  lines.push_back("Login item: " +
                  (item.empty() ? "none: Hushmoor adds itself at its next launch" : item));

  report.healthy = pid && sleeps.lockListed && !record.present && !record.inaccessible;
  return report;
}
