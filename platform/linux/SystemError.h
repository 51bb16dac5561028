// SystemError: what a failed system call or system service said, kept as the
// errno value that tells the kind of failure and a sentence a person can act
// on. The platform's own error below NSError: the Linux clients and the file
// helpers report it, and NSError carries its code on to the application.
#pragma once

#include <cerrno>
#include <cstring>
#include <string>

struct SystemError {
  int code = 0;             // an errno value
  std::string description;  // "<what failed>: <why>"

  // "<what>: <the system's text for code>".
  static SystemError fromErrno(int code, const std::string& what) {
    return {code, what + ": " + std::strerror(code)};
  }
  // Refused for lack of rights, which a person may be able to grant.
  bool accessRefused() const { return code == EACCES || code == EPERM; }
};
