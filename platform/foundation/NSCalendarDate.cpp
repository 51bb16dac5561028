// NSCalendarDate over the C library's local time and strftime.
#include "platform/foundation/NSCalendarDate.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <string_view>

namespace {

std::mutex clockMutex;
NSCalendarDate::LocalClock installedClock;

NSCalendarDate systemNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  return NSCalendarDate(local, static_cast<int>(ms));
}

// Conversions handed to strftime; the rest would be undefined or surprising there.
constexpr std::string_view kStrftimeConversions = "YymdejHIMSpaAbBZzcxX";

}  // namespace

NSCalendarDate NSCalendarDate::calendarDate() {
  LocalClock clock;
  {
    std::lock_guard lock(clockMutex);
    clock = installedClock;
  }
  return clock ? clock() : systemNow();
}

void NSCalendarDate::setLocalClock(LocalClock clock) {
  std::lock_guard lock(clockMutex);
  installedClock = std::move(clock);
}

NSString NSCalendarDate::descriptionWithCalendarFormat(const NSString& format) const {
  const std::string in = format.UTF8String();
  std::string out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%' || i + 1 == in.size()) {
      out += in[i];
      continue;
    }
    const char conversion = in[i + 1];
    if (conversion == '%') {
      out += '%';
    } else if (conversion == 'F') {
      char ms[8];
      std::snprintf(ms, sizeof ms, "%03d", milliseconds_ % 1000);
      out += ms;
    } else if (kStrftimeConversions.find(conversion) != std::string_view::npos) {
      const char spec[3] = {'%', conversion, '\0'};
      char buffer[128];
      out.append(buffer, std::strftime(buffer, sizeof buffer, spec, &local_));
    } else {
      out.append(in, i, 2);
    }
    ++i;
  }
  return NSString::stringWithUTF8String(out);
}
