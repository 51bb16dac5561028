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
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
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

// Works on the format's code units as they are, so a format of any length,
// an unpaired surrogate included, is copied without a round trip through UTF-8.
NSString NSCalendarDate::descriptionWithCalendarFormat(const NSString& format) const {
  const std::u16string& in = format.characters();
  std::u16string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != u'%' || i + 1 == in.size()) {
      out += in[i];
      continue;
    }
    const char16_t conversion = in[i + 1];
    const bool known =
        conversion < 0x80 &&
        kStrftimeConversions.find(static_cast<char>(conversion)) != std::string_view::npos;
    if (conversion == u'%') {
      out += u'%';
    } else if (conversion == u'F') {
      char ms[8];
      std::snprintf(ms, sizeof ms, "%03d", milliseconds_ % 1000);
      out += NSString(ms).characters();
    } else if (known) {
      const char spec[3] = {'%', static_cast<char>(conversion), '\0'};
      char buffer[128];
      const std::size_t size = std::strftime(buffer, sizeof buffer, spec, &local_);
      out += NSString::stringWithUTF8String(std::string_view(buffer, size)).characters();
    } else {
      out.append(in, i, 2);
    }
    ++i;
  }
  return NSString(std::move(out));
}
