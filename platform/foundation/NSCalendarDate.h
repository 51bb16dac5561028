// NSCalendarDate: a moment in the local time zone and its formatting.
// The clock is a seam so that tests can fix the time of day.
#pragma once

#include <ctime>
#include <functional>

#include "platform/foundation/NSString.h"

class NSCalendarDate {
 public:
  // Gives the current local date and time; replaceable for tests.
  using LocalClock = std::function<NSCalendarDate()>;

  // Now, in the local time zone, as told by the installed clock.
  static NSCalendarDate calendarDate();
  // Installs a clock; an empty one restores the system clock.
  static void setLocalClock(LocalClock clock);

  // A local date and time from its broken-down fields and milliseconds.
  explicit NSCalendarDate(const std::tm& local, int milliseconds = 0)
      : local_(local), milliseconds_(milliseconds) {}

  // Formats with strftime-like conversions (%Y %y %m %d %e %j %H %I %M %S %p
  // %a %A %b %B %Z %z %c %x %X), %F for milliseconds and %% for "%". Every
  // other character, an unknown conversion included, is copied as it stands.
  NSString descriptionWithCalendarFormat(const NSString& format) const;

 private:
  std::tm local_;
  int milliseconds_;
};
