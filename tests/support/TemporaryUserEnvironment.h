// A private user for one test: the simulator's private home (sim/SimHome.h:
// HOME, its configuration, data, state and runtime folders, put back and
// removed at the end, its System Events stopped) with the build tree's
// applications.
#pragma once

#include <fstream>
#include <optional>
#include <string>

#include "platform/applevents/LaunchServices.h"
#include "sim/SimHome.h"

class TemporaryUserEnvironment : public SimHome {
 public:
  TemporaryUserEnvironment() : SimHome(std::nullopt) {
    LSSetApplicationSearchFoldersForTesting({HUSHMOOR_TEST_APPLICATIONS_DIR});
  }
  ~TemporaryUserEnvironment() { LSSetApplicationSearchFoldersForTesting({}); }
  const std::string& root() const { return path(); }
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}
