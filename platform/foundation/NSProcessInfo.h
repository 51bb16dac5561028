// NSProcessInfo: the process's arguments, as NSApplicationMain was given them.
#pragma once

#include <string>
#include <vector>

class NSProcessInfo {
 public:
  static NSProcessInfo& processInfo();
  const std::vector<std::string>& arguments() const { return arguments_; }
  void setArguments(std::vector<std::string> arguments) { arguments_ = std::move(arguments); }

 private:
  std::vector<std::string> arguments_;
};
