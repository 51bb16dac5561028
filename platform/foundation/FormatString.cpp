// Run-time half of the checked formats: substitution of rendered arguments.
#include "platform/foundation/FormatString.h"

#include <stdexcept>

namespace format_detail {

void formatStringError(const char* problem) { throw std::logic_error(problem); }

std::string substitute(std::string_view format, const std::string* rendered, std::size_t count) {
  std::string out;
  out.reserve(format.size());
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 == format.size()) {
      out += format[i];
      continue;
    }
    const char conversion = format[++i];
    if (conversion == '%') {
      out += '%';
    } else if (next < count) {
      out += rendered[next++];
    }
  }
  return out;
}

}  // namespace format_detail
