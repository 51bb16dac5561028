// Standard folders on Linux: the user's data folder (UserFolders.h).
#include "platform/foundation/NSPathUtilities.h"

#include <cstdlib>

#include "platform/foundation/UserFolders.h"

std::vector<NSString> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory,
                                                          NSSearchPathDomainMask domains,
                                                          bool expandTilde) {
  if ((domains & NSUserDomainMask) == 0) return {};
  if (directory != NSLibraryDirectory && directory != NSApplicationSupportDirectory) return {};
  if (expandTilde) return {NSString::stringWithUTF8String(UserFolders::data())};
  // Unexpanded, the default keeps its "~"; a data folder set elsewhere has none.
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return {NSString::stringWithUTF8String(dataHome)};
  return {NSString("~/.local/share")};
}
