#include "platform/foundation/NSProcessInfo.h"

NSProcessInfo& NSProcessInfo::processInfo() {
  static NSProcessInfo info;
  return info;
}
